#pragma once

#include "geodata/ShapeValidator.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {

// The check of a polygon shapefile before a cartogram: what would trouble the cartogram, by
// record, with the records labelled as a user finds them in a GIS program.
struct ShapefileCheck {
    struct Finding {
        // "12 (Texas)": the record's number from 1 in file order, and its name in parentheses
        // when the table beside the shapefile has a name field (NAME, or a text field whose
        // name contains NAME) and a row for it.
        std::string Record;
        std::string OtherRecord; // the second record of an overlap, labelled alike; else empty
        int64_t Ring = 0;        // the ring's number from 1; 0 for a finding about the record
        ShapeFindingKind Kind = ShapeFindingKind::OtherInvalid;
        std::string KindName; // "self-intersection"
        std::string Text;
    };

    std::vector<Finding> Findings;
    int32_t RecordsChecked = 0;
    // Every record was read. Otherwise a damaged record stopped the reading at record
    // RecordsChecked + 1 (the reader said why) and the records before it were checked.
    bool Whole = false;
    // The findings counted by kind, in the order of the kinds: (kind name, count).
    std::vector<std::pair<std::string, std::size_t>> CountsByKind;
};

// Reads the polygons of the shapefile at `path` as the program reads them, under the wait
// indicator and at lowered priority, and checks them (`overlaps`: every pair of records whose
// interiors overlap too). A file whose header names another shape type is refused before it is
// read, so no question about reading it anyway is asked. Nothing, after a message, when the
// file cannot be opened, its header is refused, it holds no polygons, or the table beside it is
// damaged (refused as the cartogram and the field listing refuse it). A table whose record
// count differs from the shape count is named in a warning when every shape was read.
std::optional<ShapefileCheck> CheckPolygonShapefile(const std::string& path, bool overlaps);

// The same check of the polygons of layer `layer` of a source read through OGR, read as the
// cartogram reads it (COgrLayerReader; the only layer when `layer` is empty). Records are the
// layer's features, numbered from 1 in reading order and named from the layer's name field;
// features without a polygon are named in a warning and not checked. Nothing, after a message,
// when the source cannot be opened or does not give the layer; a feature that cannot be read
// stops the reading, with Whole false.
std::optional<ShapefileCheck> CheckPolygonLayer(const std::string& path, const std::string& layer, bool overlaps);

} // namespace tessaro
