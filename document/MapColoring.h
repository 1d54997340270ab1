#pragma once

#include "document/ColorScale.h"
#include "document/MapStyle.h"
#include "document/PolygonMeasures.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tessaro {

// The fill of every polygon of a map and the legend that explains the fills, as a style and the
// polygons' measures give them: what the screen and the pictures both draw.
struct MapColoring {
    // One colour per polygon in layer order; empty when the polygons are drawn hollow.
    std::vector<CPictureColor> Fills;
    // The legend of a fill by value or by error; no entries when there is none to show.
    std::string LegendTitle;
    std::vector<ColorLegendEntry> Legend;

    // Filling by value or error without a measure for every one of the `polygons` (before any
    // run, or for a layer the measures do not belong to) fills them all in the style's fill
    // colour and shows no legend.
    static MapColoring Make(const MapStyle& style, const PolygonMeasures& measures, size_t polygons);

    bool Filled() const { return !Fills.empty(); }
};

} // namespace tessaro
