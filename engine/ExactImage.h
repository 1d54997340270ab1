#pragma once

#include <cstdint>

namespace tessaro {

class CPolygonLayer;
class CQuadTree;

// Inserts into every ring edge of the layer the points where it crosses a side of a leaf of the
// tree or the leaf's diagonal (the one its SplitCorner names, or the one from the bottom-left
// corner when none is set), so that every edge lies within one triangle of the piecewise-affine
// map: the map then carries each edge onto a straight edge, and the moved rings are the exact
// image of the rings. Positions and containment are read from the undeformed map (the tree's
// CurrentMap is restored afterwards). An edge shared by two rings gets the same points in both,
// whichever way each ring runs along it. The polygons are shared out among up to `threads`
// threads, each polygon's points found alike on any number. Returns the number of points
// inserted.
int64_t InsertLeafCrossings(CPolygonLayer& layer, CQuadTree& tree, int threads = 1);

} // namespace tessaro
