#pragma once

#include <vector>

namespace tessaro {

class CQuadTree;

// Moves points that are not part of the map (the vertices of other layers drawn with it) by a
// round's transformation: the piecewise-affine map that carries the tree's undeformed grid
// (map 0) onto its displaced grid (map 1), the map the round moved the polygons by. The points
// never take part in the tree's build or the force field, so moving them changes nothing of
// the map itself.
//
// A point outside the root's box has no leaf; it moves by the displacement of the nearest point
// of the box's edge, so a layer reaching beyond the map is carried along with its border
// instead of being torn from it. Cost: one leaf search and one affine map per point.
class CFollowerTransformer {
public:
    // Moves the flat x, y pairs in place. `fixedSplits` as the round's transformation used it
    // (the convergence loop cuts each leaf along its stored diagonal). False when the tree has
    // no displaced map or its root lacks a corner; the points are then left as they were.
    static bool Move(CQuadTree& tree, std::vector<double>& points, bool fixedSplits);
};

} // namespace tessaro
