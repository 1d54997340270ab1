#pragma once

#include "geodata/OgrLayerReader.h"
#include "network/Network.h"

#include <memory>
#include <optional>
#include <string>

namespace tessaro {

// The polygons of one layer of a source read through OGR, as the cartogram reads them.
struct PolygonLayerRead {
    std::unique_ptr<CNetwork> Network; // the layer's polygons, keyed by coordinates
    OgrPolygonSource Source;
    bool Whole = false; // every feature was read
};

// Reads layer `layer` of `path` (the only layer when empty) through COgrLayerReader, under the
// wait indicator and at lowered priority. Nothing, after a message, when the source cannot be
// opened or does not give the layer; a feature that cannot be read ends the reading after a
// message, with Whole false.
std::optional<PolygonLayerRead> ReadPolygonLayer(const std::string& path, const std::string& layer);

} // namespace tessaro
