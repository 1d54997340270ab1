#pragma once

#include "geometry/Extent.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tessaro {

// What a shapefile holds, read the way the program opens one: the header's type and box, the
// records read, and what the network received from them.
struct ShapefileSummary {
    // What the records became.
    enum class Contents {
        Nothing,  // the read ended before the records: a question declined, a multipoint file
        Polygons, // Polygons, Rings, Vertices
        Chains,   // Chains, Nodes, TopologyMilliseconds
        Points,   // Points
    };

    int32_t ShapeType = 0;
    std::string ShapeTypeName; // "Polygon", "PolyLine", ...; a layer's OGR type: "Multi Polygon", ...
    std::string LayerName;     // the layer of a source read through OGR; empty for a shapefile
    int32_t RecordsRead = 0;   // records, or a layer's features
    CExtent HeaderExtent = CExtent::Zero(); // a layer's: the extent of the polygons read
    std::string LeftOut; // a layer's features without a polygon (LeftOutFeatureList); empty for none
    Contents Received = Contents::Nothing;
    // Every record was read: the file's contents, not a part of them.
    bool Whole = false;

    uint64_t Polygons = 0;
    uint64_t Rings = 0;
    uint64_t Vertices = 0;
    uint64_t Chains = 0;
    uint64_t Nodes = 0;
    double TopologyMilliseconds = -1.0; // -1 when the topology pass did not run
    uint64_t Points = 0;
};

// Reads the shapefile at `path` into a network of its own, under the wait indicator and at
// lowered priority, and sums it up. `asPolygonInput` reads it as the cartogram reads its input
// (polygons wanted, another type only after a Yes); otherwise any type is read without a
// question. Nothing when the file cannot be opened (its file error was shown) or its header
// was refused (the reader said why); a read that stopped at a damaged record still gives the
// summary of what it read, with Whole false.
std::optional<ShapefileSummary> SummariseShapefile(const std::string& path, bool asPolygonInput);

// The same summary of layer `layer` of a source read through OGR (the only layer when `layer` is
// empty), read as the cartogram reads it: its polygons, the features left out. Nothing, after a
// message, when the source cannot be opened or does not give the layer; a feature that cannot
// be read ends the reading after a message, with Whole false.
std::optional<ShapefileSummary> SummariseLayer(const std::string& path, const std::string& layer);

} // namespace tessaro
