#include "engine/BorderGraph.h"

#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Rings at or below this many points keep all of them.
constexpr int32_t MinPointsToSimplify = 8;

double DistanceToChord(const CPointKey& v, const CPointKey& p, const CPointKey& q)
{
    const double dx = q.X - p.X, dy = q.Y - p.Y;
    const double length = std::hypot(dx, dy);
    if (length == 0.0)
        return std::hypot(v.X - p.X, v.Y - p.Y);
    return std::fabs(CrossProduct(dx, dy, v.X - p.X, v.Y - p.Y)) / length;
}

} // namespace

void CollectVertexUses(const CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses)
{
    // What every ring says about each of its vertices.
    size_t vertices = 0;
    for (const auto* polygon : layer.Polygons())
        vertices += static_cast<size_t>(std::max(0, polygon->TotalPointCount()));
    // Most vertices lie on a border of two rings; a map's coasts and outer border add more.
    uses.Clear(vertices / 2 + vertices / 8);
    // The vertices that make the layer's box stay, so the box does not shrink.
    const CExtent box = layer.BoundingBox();
    const auto onBox = [&box](const CPointKey& key) {
        return key.X == box.MinX || key.X == box.MaxX || key.Y == box.MinY || key.Y == box.MaxY;
    };
    for (const auto* polygon : layer.Polygons()) {
        CPoint2D centroid;
        double area = 0.0;
        polygon->AreaAndCentroid(&centroid, &area);
        const double tolerance = relativeTolerance * std::sqrt(std::fabs(area));
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            const int32_t n = ring.PointCount();
            const double* points = ring.Points();
            for (int32_t i = 0; i < n; ++i) {
                CVertexUse& use = uses[KeyAt(points, i)];
                use.Tolerance = ++use.Uses == 1 ? tolerance : std::min(use.Tolerance, tolerance);
                // Ring ends, short rings and vertices used more than twice stay.
                if (i == 0 || i == n - 1 || n <= MinPointsToSimplify || use.Uses > 2 || !(tolerance > 0.0) ||
                    onBox(KeyAt(points, i))) {
                    use.Keep = true;
                    continue;
                }
                CPointKey low = KeyAt(points, i - 1), high = KeyAt(points, i + 1);
                if (KeyLess(high, low))
                    std::swap(low, high);
                if (use.Uses == 1) {
                    use.Low = low;
                    use.High = high;
                } else if (!(use.Low == low) || !(use.High == high)) {
                    use.Keep = true;
                }
            }
        }
    }
}

std::vector<CPointKey> RemovalCandidates(CVertexUseTable& uses)
{
    std::vector<CPointKey> candidates;
    uses.ForEach([&candidates](const CPointKey& key, const CVertexUse& use) {
        if (!use.Keep && !(key == use.Low) && !(key == use.High) &&
            DistanceToChord(key, use.Low, use.High) <= use.Tolerance)
            candidates.push_back(key);
    });
    std::sort(candidates.begin(), candidates.end(), KeyLess);
    return candidates;
}

} // namespace tessaro
