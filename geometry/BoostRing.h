#pragma once

#include "geometry/PolygonRing.h"

#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

namespace tessaro {

// Boost.Geometry's polygon: clockwise and closed by default, the same convention as our rings.
using BoostPoint = boost::geometry::model::d2::point_xy<double>;
using BoostPolygon = boost::geometry::model::polygon<BoostPoint>;

// The ring as the outer ring of a Boost polygon, its points reversed with `reverse`, closed when
// its last point is not its first. Boost reads a counter-clockwise ring (a hole, or a cell given
// the other way round) as the plane outside it, so such a ring is passed reversed.
inline BoostPolygon ToBoostPolygon(const CPolygonRing& ring, bool reverse)
{
    BoostPolygon polygon;
    auto& outer = polygon.outer();
    const int32_t n = ring.PointCount();
    outer.reserve(static_cast<size_t>(n) + 1);
    for (int32_t k = 0; k < n; ++k) {
        const CPoint2D p = ring.Point(reverse ? n - 1 - k : k);
        outer.emplace_back(p.X, p.Y);
    }
    if (n > 0 && (outer.front().x() != outer.back().x() || outer.front().y() != outer.back().y()))
        outer.push_back(outer.front());
    return polygon;
}

} // namespace tessaro
