#include "geometry/PolygonHit.h"

#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

namespace tessaro {

bool RingHoldsOddly(const double* xy, std::int32_t count, const CPoint2D& p)
{
    bool inside = false;
    for (std::int32_t i = 0, j = count - 1; i < count; j = i++)
        if (EdgeCrossesRay({xy[2 * j], xy[2 * j + 1]}, {xy[2 * i], xy[2 * i + 1]}, p))
            inside = !inside;
    return inside;
}

std::int32_t PolygonAt(const CPolygonLayer& layer, const CPoint2D& p)
{
    for (std::uint32_t i = 0; i < layer.Count(); ++i) {
        const CSimplePolygon& polygon = layer.Polygon(i);
        if (p.X < polygon.MinX() || p.X > polygon.MaxX() || p.Y < polygon.MinY() || p.Y > polygon.MaxY())
            continue;
        bool inside = false;
        for (const auto& ring : polygon.Rings())
            inside ^= RingHoldsOddly(ring->Points(), ring->PointCount(), p);
        if (inside)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

std::int32_t PolygonAt(const std::vector<std::vector<std::vector<double>>>& polygons, const CPoint2D& p)
{
    for (size_t i = 0; i < polygons.size(); ++i) {
        bool inside = false;
        for (const std::vector<double>& ring : polygons[i])
            inside ^= RingHoldsOddly(ring.data(), static_cast<std::int32_t>(ring.size() / 2), p);
        if (inside)
            return static_cast<std::int32_t>(i);
    }
    return -1;
}

} // namespace tessaro
