#pragma once

#include "geometry/Point2D.h"

#include <cstdint>
#include <vector>

namespace tessaro {

class CPolygonLayer;

// Which polygon of a map lies under a point: the even-odd rule over all the polygon's rings
// (a point inside a hole, or inside two overlapping rings of one polygon, is outside it), by
// crossings of a ray towards +x. Where polygons overlap, the first in layer order is the one
// the views draw on top and the one found. -1 when no polygon holds the point. A point exactly
// on a border may count for either side.
std::int32_t PolygonAt(const CPolygonLayer& layer, const CPoint2D& p);

// The same over polygons given as rings of flat x, y pairs (a running cartogram's frame).
std::int32_t PolygonAt(const std::vector<std::vector<std::vector<double>>>& polygons, const CPoint2D& p);

// The even-odd test over one ring of `count` points stored flat; whether its closing vertex
// repeats the first or not makes no difference.
bool RingHoldsOddly(const double* xy, std::int32_t count, const CPoint2D& p);

} // namespace tessaro
