#include "cli/FieldsCommand.h"

#include "cli/MapInput.h"
#include "document/ShapefileFields.h"

#include <ostream>

namespace tessaro {

int RunFieldsCommand(const std::string& path, const std::string& layer, std::ostream& out)
{
    if (!CheckMapInput(path, layer))
        return 2;
    const ShapefileFields fields = ReadsThroughOgr(path) ? ListLayerFields(path, layer) : ListShapefileFields(path);
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
