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

// Every ring vertex's slot, found again after the table moved its entries.
void FindSlotsAgain(const CPolygonLayer& layer, CVertexUseTable& uses, std::vector<uint32_t>& slots)
{
    slots.clear();
    for (const auto* polygon : layer.Polygons())
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            for (int32_t i = 0; i < ring.PointCount(); ++i)
                slots.push_back(static_cast<uint32_t>(uses.Insert(KeyAt(ring.Points(), i))));
        }
}

// The chain of ring points [first - 1, last + 1] (the movable run and the two points around it),
// each with its tolerance, appended to `chains` from its smaller end.
void AppendChain(const CVertexUseTable& uses, const double* points, const uint32_t* slots, int32_t first, int32_t last,
                 CBorderChains& chains)
{
    const size_t start = chains.Points.size();
    for (int32_t i = first - 1; i <= last + 1; ++i) {
        chains.Points.push_back(KeyAt(points, i));
        chains.Tolerances.push_back(uses.Tolerance(uses.AtSlot(slots[i])));
        chains.Slots.push_back(slots[i]);
    }
    // From the smaller end, so the same chain runs the same way whichever ring found it.
    const auto begin = chains.Points.begin() + static_cast<std::ptrdiff_t>(start);
    const auto back = chains.Points.end() - 1;
    if (KeyLess(*back, *begin) || (*back == *begin && KeyLess(*(back - 1), *(begin + 1)))) {
        std::reverse(begin, chains.Points.end());
        std::reverse(chains.Tolerances.begin() + static_cast<std::ptrdiff_t>(start), chains.Tolerances.end());
        std::reverse(chains.Slots.begin() + static_cast<std::ptrdiff_t>(start), chains.Slots.end());
    }
    chains.Starts.push_back(start);
}

} // namespace

void CollectVertexUses(const CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses,
                       std::vector<uint32_t>& slots)
{
    // What every ring says about each of its vertices.
    size_t vertices = 0;
    for (const auto* polygon : layer.Polygons())
        vertices += static_cast<size_t>(std::max(0, polygon->TotalPointCount()));
    uses.ClearForVertices(vertices);
    slots.clear();
    slots.reserve(vertices);
    const size_t rehashes = uses.Rehashes();
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
                if (i + CVertexUseTable::PrefetchAhead < n)
                    uses.Prefetch(KeyAt(points, i + CVertexUseTable::PrefetchAhead));
                const size_t slot = uses.Insert(KeyAt(points, i));
                slots.push_back(static_cast<uint32_t>(slot));
                CVertexUse& use = uses.AtSlot(slot);
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
    if (uses.Rehashes() != rehashes)
        FindSlotsAgain(layer, uses, slots); // the table grew while it filled: its entries moved
}

CBorderChains CollectBorderChains(const CPolygonLayer& layer, CVertexUseTable& uses, const std::vector<uint32_t>& slots)
{
    // A movable vertex has the same two neighbours in every ring holding it, so a run of them
    // between two vertices that stay is the same run in each of its rings, the other way round in
    // the second: the first ring to meet it takes it. A ring starts and ends on a vertex that stays.
    CBorderChains chains;
    size_t at = 0;
    for (const auto* polygon : layer.Polygons()) {
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            const int32_t n = ring.PointCount();
            const double* points = ring.Points();
            const uint32_t* ringSlots = slots.data() + at;
            at += static_cast<size_t>(std::max(0, n));
            const auto free = [&](int32_t i) {
                if (i + CVertexUseTable::PrefetchAhead < n)
                    uses.PrefetchSlot(ringSlots[i + CVertexUseTable::PrefetchAhead]);
                CVertexUse& use = uses.AtSlot(ringSlots[i]);
                return !use.Chained && Movable(KeyAt(points, i), use);
            };
            for (int32_t i = 1; i < n - 1; ++i) {
                if (!free(i))
                    continue;
                int32_t last = i;
                uses.AtSlot(ringSlots[i]).Chained = true;
                while (last + 2 < n && free(last + 1))
                    uses.AtSlot(ringSlots[++last]).Chained = true;
                AppendChain(uses, points, ringSlots, i, last, chains);
                i = last + 1;
            }
        }
    }
    chains.Starts.push_back(chains.Points.size());
    return chains;
}

} // namespace tessaro
