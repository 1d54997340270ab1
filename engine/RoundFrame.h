#pragma once

#include "engine/RunMeasures.h"
#include "geometry/Extent.h"
#include "geometry/Point2D.h"

#include <array>
#include <string>
#include <vector>

namespace tessaro {

class CPolygonLayer;
class CQuadTree;

// One round of a cartogram run as a live view draws it: an immutable copy, made on the run's
// thread and handed to the feedback, which may keep it (on any thread) or drop it.
struct CRoundFrame {
    // The rings of one polygon, each as flat x, y pairs closed by repeating the first vertex.
    using PolygonRings = std::vector<std::vector<double>>;

    int Round = 0;            // the round just transformed
    RoundMeasures Measures;   // its measures, taken before the transformation
    std::string ElapsedText;  // its time column, as the information file gives it
    // Geometry, present only when the feedback asked for it.
    std::vector<PolygonRings> Polygons; // the layer after the round, in layer order
    std::vector<std::array<CPoint2D, 4>> Cells; // displaced quadtree leaves: bottom-left, top-left, top-right, bottom-right
    CExtent Extent; // the layer's extent after the round

    // Copies the layer's rings and the displaced leaves of `tree` into the frame.
    void CopyGeometry(const CPolygonLayer& layer, const CQuadTree& tree, int displacedMap);
};

} // namespace tessaro
