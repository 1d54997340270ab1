#include "document/ShapefileFields.h"

#include "geodata/SizeField.h"
#include "platform/UserInterface.h"

namespace tessaro {

ShapefileFields ListShapefileFields(const std::string& shapefilePath)
{
    ShapefileFields fields;
    const std::string tablePath = TablePathFor(shapefilePath);
    std::optional<std::vector<std::string>> names = ListSizeFields(tablePath);
    if (!names) {
        ShowMessage("Cannot open the attribute table of " + shapefilePath + " (looked for the .dbf file of " +
                        tablePath + ").",
                    MessageKind::Error);
        return fields;
    }
    if (names->empty()) {
        ShowMessage("The attribute table " + tablePath + " has no numeric field to take sizes from.",
                    MessageKind::Error);
        fields.Result = ShapefileFields::Outcome::NoNumericField;
        return fields;
    }
    fields.Result = ShapefileFields::Outcome::Listed;
    fields.Names = std::move(*names);
    return fields;
}

} // namespace tessaro
