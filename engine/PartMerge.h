#pragma once

#include <cstdint>
#include <vector>

namespace tessaro {

class CPolygonLayer;

// Joins the outer rings of one polygon that share a border into one ring. A record split along a
// line (Russia and Chukotka, cut at 180° in the source and brought together again by a polar
// projection) has parts whose borders lie within rounding of each other; once the convergence
// mode gives every border the same vertices on both sides (within `tolerance`), those parts would
// share edges, which no valid polygon does. Each such group becomes one ring (their union, holes
// it encloses kept as holes); the polygon's other rings stay as they were. A group whose union
// does not come out as one piece of the same area is left alone.
// Returns the indices of the polygons changed.
std::vector<uint32_t> MergePartsSharingBorders(CPolygonLayer& layer, double tolerance);

} // namespace tessaro
