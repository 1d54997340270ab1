#pragma once

#include <string>
#include <vector>

namespace tessaro {

// The fields a cartogram can take its sizes from: the numeric fields of the attribute table
// beside a shapefile, in the order the cartogram command's field list shows them.
struct ShapefileFields {
    enum class Outcome {
        Listed,         // Names holds at least one field
        NoNumericField, // the table has none; an error said so
        NoTable,        // there is no table to open; an error said which file was looked for
    };
    Outcome Result = Outcome::NoTable;
    std::vector<std::string> Names;
};

ShapefileFields ListShapefileFields(const std::string& shapefilePath);

// The same fields of layer `layer` of a source read through OGR (the only layer when empty):
// its integer and real fields, in the same order. NoTable when the source cannot be opened or
// does not give the layer; the error says why.
ShapefileFields ListLayerFields(const std::string& path, const std::string& layer);

} // namespace tessaro
