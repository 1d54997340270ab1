#include "engine/BorderGraph.h"

#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Rings at or below this many points keep all of them.
constexpr int32_t MinPointsToSimplify = 8;

// A vertex that may go, as far as the rings holding it can tell: not kept, and with two distinct
// neighbours other than itself.
bool Movable(const CPointKey& key, const CVertexUse& use)
{
    return !use.Keep && use.Uses > 0 && !(key == use.Low) && !(key == use.High) && !(use.Low == use.High);
}

// The points from `key` onwards through `next`: every movable point not yet chained, and the
// first that is not (a vertex that stays, or `key` again around a ring), which ends the walk.
void WalkFrom(CVertexUseTable& uses, CPointKey key, CPointKey next, std::vector<CPointKey>& points,
              std::vector<double>& tolerances)
{
    points.clear();
    tolerances.clear();
    for (;;) {
        CVertexUse* use = uses.Find(next);
        points.push_back(next);
        tolerances.push_back(use == nullptr ? 0.0 : uses.Tolerance(*use));
        if (use == nullptr || use->Chained || !Movable(next, *use))
            return;
        use->Chained = true;
        const CPointKey after = use->Low == key ? use->High : use->Low;
        key = next;
        next = after;
    }
}

} // namespace

void CollectVertexUses(const CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses)
{
    // What every ring says about each of its vertices.
    size_t vertices = 0;
    for (const auto* polygon : layer.Polygons())
        vertices += static_cast<size_t>(std::max(0, polygon->TotalPointCount()));
    uses.ClearForVertices(vertices);
    // The vertices that make the layer's box stay, so the box does not shrink.
    const CExtent box = layer.BoundingBox();
    const auto onBox = [&box](const CPointKey& key) {
        return key.X == box.MinX || key.X == box.MaxX || key.Y == box.MinY || key.Y == box.MaxY;
    };
    for (const auto* polygon : layer.Polygons()) {
        CPoint2D centroid;
        double area = 0.0;
        polygon->AreaAndCentroid(&centroid, &area);
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            const int32_t n = ring.PointCount();
            double ringArea = 0.0;
            ring.AreaAndCentroid(nullptr, &ringArea);
            const double tolerance = relativeTolerance * std::sqrt(std::min(std::fabs(area), std::fabs(ringArea)));
            const uint32_t toleranceRing = uses.AddRing(tolerance);
            const double* points = ring.Points();
            for (int32_t i = 0; i < n; ++i) {
                CVertexUse& use = uses[KeyAt(points, i)];
                const int count = use.AddUse();
                if (count == 1 || tolerance < uses.Tolerance(use))
                    use.ToleranceRing = toleranceRing;
                // Ring ends, short rings and vertices used more than twice stay.
                if (i == 0 || i == n - 1 || n <= MinPointsToSimplify || count > 2 || !(tolerance > 0.0) ||
                    onBox(KeyAt(points, i))) {
                    use.Keep = true;
                    continue;
                }
                CPointKey low = KeyAt(points, i - 1), high = KeyAt(points, i + 1);
                if (KeyLess(high, low))
                    std::swap(low, high);
                if (count == 1) {
                    use.Low = low;
                    use.High = high;
                } else if (!(use.Low == low) || !(use.High == high)) {
                    use.Keep = true;
                }
            }
        }
    }
}

CBorderChains CollectBorderChains(CVertexUseTable& uses)
{
    CBorderChains chains;
    std::vector<CPointKey> before, after;
    std::vector<double> beforeTolerances, afterTolerances;
    uses.ForEach([&](const CPointKey& key, CVertexUse& use) {
        if (use.Chained || !Movable(key, use))
            return;
        use.Chained = true;
        WalkFrom(uses, key, use.Low, before, beforeTolerances);
        const bool around = before.back() == key; // a ring with no vertex that stays
        after.clear();
        afterTolerances.clear();
        if (!around)
            WalkFrom(uses, key, use.High, after, afterTolerances);
        const size_t start = chains.Points.size();
        chains.Points.insert(chains.Points.end(), before.rbegin(), before.rend());
        chains.Points.push_back(key); // around a ring, `key` ends the chain it starts
        chains.Points.insert(chains.Points.end(), after.begin(), after.end());
        chains.Tolerances.insert(chains.Tolerances.end(), beforeTolerances.rbegin(), beforeTolerances.rend());
        chains.Tolerances.push_back(uses.Tolerance(use));
        chains.Tolerances.insert(chains.Tolerances.end(), afterTolerances.begin(), afterTolerances.end());
        // From the smaller end, so the same chain runs the same way whichever vertex found it.
        const auto first = chains.Points.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = chains.Points.end() - 1;
        if (KeyLess(*last, *first) || (*last == *first && KeyLess(*(last - 1), *(first + 1)))) {
            std::reverse(first, chains.Points.end());
            std::reverse(chains.Tolerances.begin() + static_cast<std::ptrdiff_t>(start), chains.Tolerances.end());
        }
        chains.Starts.push_back(start);
    });
    chains.Starts.push_back(chains.Points.size());
    return chains;
}

} // namespace tessaro
