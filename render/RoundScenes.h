#pragma once

#include "geometry/PolygonLayer.h"
#include "render/MapScene.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

class CCartogramJob;

// A round a run exported as a shapefile: its number and the .shp written.
struct ExportedRound {
    int Round = 0;
    std::string Shapefile;
};

// The rounds of a completed run written as shapefiles, in round order (none when the run
// exported through OGR in another format).
std::vector<ExportedRound> ExportedShapefileRounds(const CCartogramJob& job);

// The polygons of an exported round's shapefile; nullopt, after the reader's message, when it
// cannot be read whole.
std::optional<CPolygonLayer> ReadRoundLayer(const std::string& shapefile);

// The scene of a round's layer `round` drawn like the result's scene `result`: the same names,
// labels, values and style, each polygon's error A/D − 1 measured on the round's areas against
// the result's desired shares. `round` must outlive the scene.
MapScene MakeRoundScene(const CPolygonLayer& round, const MapScene& result);

// `pattern` with its "{round}" replaced by the round's number.
std::string RoundFileName(const std::string& pattern, int round);

} // namespace tessaro
