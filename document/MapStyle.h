#pragma once

#include "geodata/PictureCanvas.h"

namespace tessaro {

// How a map draws its polygons, on the screen and in its pictures. The defaults are the
// network view's own scene: polygons hollow with thin teal outlines on black, the quadtree as
// the display flags say, and the copied picture as it has always been.
struct MapStyle {
    enum class FillMode {
        None,     // hollow
        OneColor, // every polygon in FillColor
        ByValue,  // by the polygon's value, on a sequential scale
        ByError,  // by the polygon's deviation A/D − 1, on a diverging scale
    };

    FillMode Fill = FillMode::None;
    CPictureColor FillColor{238, 232, 213};
    CPictureColor OutlineColor{102, 204, 204};
    // In pixels of the screen; a picture draws it at the same size on its page.
    double OutlineWidth = 1.0;
    CPictureColor Background{0, 0, 0};
    // Off hides the quadtree (cells, diagonals and vertices) whatever the display flags say.
    bool ShowQuadtree = true;
    // The deviation at which the diverging scale reaches its darkest colours (0.5: ±50 %).
    double ErrorBound = 0.5;
    // Quantile classes of the value scale; 0 for a continuous ramp.
    int ValueClasses = 5;

    // Whether the map shows the view's own scene: no fill, and outline, background and quadtree
    // as they are by default. The fill colour, the bound and the classes then play no part.
    bool IsClassic() const;
    // Whether the polygons are filled by a scale, which a legend explains.
    bool HasLegend() const { return Fill == FillMode::ByValue || Fill == FillMode::ByError; }

    bool operator==(const MapStyle&) const = default;
};

} // namespace tessaro
