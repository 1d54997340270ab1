#pragma once

#include "geometry/Point2D.h"

#include <string>
#include <vector>

namespace tessaro {

// The geometry of a layer shown over the map (points, lines and polygon outlines), in map
// units, without its attributes: what a view needs to draw it.
struct CShapeLayer {
    std::string Name;
    std::vector<CPoint2D> Points;
    std::vector<std::vector<CPoint2D>> Lines;
    // Closed outlines (outer rings and holes alike); the last point need not repeat the first.
    std::vector<std::vector<CPoint2D>> Rings;

    bool Empty() const { return Points.empty() && Lines.empty() && Rings.empty(); }
};

} // namespace tessaro
