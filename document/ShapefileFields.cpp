#include "document/ShapefileFields.h"

#include "geodata/OgrLayerReader.h"
#include "geodata/SizeField.h"
#include "platform/UserInterface.h"

namespace tessaro {

namespace {

// The fields of a table that was opened, `table` naming it in the message when it has none.
ShapefileFields Listed(std::vector<std::string> names, const std::string& table)
{
    ShapefileFields fields;
    if (names.empty()) {
        ShowMessage(table + " has no numeric field to take sizes from.", MessageKind::Error);
        fields.Result = ShapefileFields::Outcome::NoNumericField;
        return fields;
    }
    fields.Result = ShapefileFields::Outcome::Listed;
    fields.Names = std::move(names);
    return fields;
}

} // namespace

ShapefileFields ListShapefileFields(const std::string& shapefilePath)
{
    const std::string tablePath = TablePathFor(shapefilePath);
    std::optional<std::vector<std::string>> names = ListSizeFields(tablePath);
    if (!names) {
        ShowMessage("Cannot open the attribute table of " + shapefilePath + " (looked for the .dbf file of " +
                        tablePath + ").",
                    MessageKind::Error);
        return {};
    }
    return Listed(std::move(*names), "The attribute table " + tablePath);
}

ShapefileFields ListLayerFields(const std::string& path, const std::string& layer)
{
    COgrLayerReader reader;
    if (!reader.ReadFields(path, layer)) {
        ShowMessage(reader.Problem(), MessageKind::Error);
        return {};
    }
    std::vector<std::string> names = reader.Source().NumericFields;
    SortSizeFields(names);
    return Listed(std::move(names), "The layer " + reader.Source().LayerName + " of " + path);
}

} // namespace tessaro
