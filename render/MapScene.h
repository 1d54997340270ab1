#pragma once

#include "document/MapColoring.h"
#include "document/MapStyle.h"
#include "document/PolygonMeasures.h"
#include "engine/RunMeasures.h"
#include "geometry/PolygonLayer.h"

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

struct CartogramRunSummary;

// Everything a published map shows, gathered once for every kind of output (the picture files,
// the web page, the desktop's export): the result's polygons, the map as the run started (in the
// same system and polygon order, for a page that moves between the two), and per polygon its
// name, label, value, fit and fill.
struct MapScene {
    const CPolygonLayer* Result = nullptr;
    const CPolygonLayer* Input = nullptr; // none when only the result is known
    // One per polygon in layer order, empty strings where there is none.
    std::vector<std::string> Names;
    // What a label shows inside each polygon, one per polygon, empty strings for none; empty
    // when no labels were asked for.
    std::vector<std::string> Labels;
    // The result's fit of each polygon (desired share, area share, error); empty when the
    // result has no measures.
    std::vector<PolygonFit> Fits;
    PolygonMeasures Measures;
    MapStyle Style;
    MapColoring Coloring;
    std::string Title;

    size_t Count() const { return Result == nullptr ? 0 : Result->Count(); }
};

// The scene of a completed run's result `result` (and `input`, when known) in `style`. The
// layers are not copied and must outlive the scene.
MapScene MakeMapScene(const CPolygonLayer& result, const CPolygonLayer* input, const CartogramRunSummary& summary,
                      const MapStyle& style);

} // namespace tessaro
