#include "cli/FieldsCommand.h"

#include "document/ShapefileFields.h"

#include <ostream>

namespace tessaro {

int RunFieldsCommand(const std::string& shapefilePath, std::ostream& out)
{
    const ShapefileFields fields = ListShapefileFields(shapefilePath);
    switch (fields.Result) {
    case ShapefileFields::Outcome::NoTable:
        return 2;
    case ShapefileFields::Outcome::NoNumericField:
        return 1;
    case ShapefileFields::Outcome::Listed:
        break;
    }
    for (const std::string& name : fields.Names)
        out << name << '\n';
    return 0;
}

} // namespace tessaro
