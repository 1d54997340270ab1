#include "cli/FieldsCommand.h"

#include "geodata/SizeField.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {

int RunFieldsCommand(const std::string& shapefilePath, std::ostream& out)
{
    const std::string tablePath = TablePathFor(shapefilePath);
    const auto fields = ListSizeFields(tablePath);
    if (!fields) {
        ShowMessage("Cannot open the attribute table of " + shapefilePath + " (looked for the .dbf file of " +
                        tablePath + ").",
                    MessageKind::Error);
        return 2;
    }
    if (fields->empty()) {
        ShowMessage("The attribute table " + tablePath + " has no numeric field to take sizes from.",
                    MessageKind::Warning);
        return 1;
    }
    for (const std::string& name : *fields)
        out << name << '\n';
    return 0;
}

} // namespace tessaro
