#include "engine/PartMerge.h"

#include "engine/SharedBorders.h"
#include "geometry/BoostRing.h"
#include "geometry/PolygonLayer.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <tuple>
#include <utility>

namespace tessaro {
namespace {

namespace bg = boost::geometry;
using BoostMultiPolygon = bg::model::multi_polygon<BoostPolygon>;
using Edge = std::pair<CPoint2D, CPoint2D>;

struct EdgeLess {
    bool operator()(const Edge& a, const Edge& b) const
    {
        const auto key = [](const Edge& e) { return std::make_tuple(e.first.X, e.first.Y, e.second.X, e.second.Y); };
        return key(a) < key(b);
    }
};

std::unique_ptr<CPolygonRing> CopyOf(const CPolygonRing& ring)
{
    auto copy = std::make_unique<CPolygonRing>();
    copy->CopyFrom(ring);
    return copy;
}

bool BoxesMeet(const CPolygonRing& a, const CPolygonRing& b, double tolerance)
{
    return a.MinX() <= b.MaxX() + tolerance && b.MinX() <= a.MaxX() + tolerance && a.MinY() <= b.MaxY() + tolerance &&
           b.MinY() <= a.MaxY() + tolerance;
}

// Whether any two of the polygon's outer rings come within `tolerance` of each other's boxes:
// the cheap test that lets nearly every polygon pass untouched.
bool PartsMayTouch(const CSimplePolygon& polygon, const std::vector<int32_t>& outer, double tolerance)
{
    for (size_t a = 0; a < outer.size(); ++a)
        for (size_t b = a + 1; b < outer.size(); ++b)
            if (BoxesMeet(polygon.Ring(outer[a]), polygon.Ring(outer[b]), tolerance))
                return true;
    return false;
}

int32_t Root(std::vector<int32_t>& parent, int32_t i)
{
    while (parent[static_cast<size_t>(i)] != i)
        i = parent[static_cast<size_t>(i)] = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
    return i;
}

// Groups of the snapped rings (by index) that share an edge, run one way in one ring and the
// other way in the other; rings sharing none are groups of their own.
std::vector<int32_t> GroupsSharingEdges(const CPolygonLayer& snapped)
{
    const int32_t count = static_cast<int32_t>(snapped.Count());
    std::vector<int32_t> parent(static_cast<size_t>(count));
    std::iota(parent.begin(), parent.end(), 0);
    std::map<Edge, int32_t, EdgeLess> edges;
    for (int32_t r = 0; r < count; ++r) {
        const CPolygonRing& ring = snapped.Polygon(static_cast<uint32_t>(r)).Ring(0);
        for (int32_t k = 0; k + 1 < ring.PointCount(); ++k)
            edges.emplace(Edge{ring.Point(k), ring.Point(k + 1)}, r);
    }
    for (int32_t r = 0; r < count; ++r) {
        const CPolygonRing& ring = snapped.Polygon(static_cast<uint32_t>(r)).Ring(0);
        for (int32_t k = 0; k + 1 < ring.PointCount(); ++k) {
            const auto other = edges.find(Edge{ring.Point(k + 1), ring.Point(k)});
            if (other != edges.end() && other->second != r)
                parent[static_cast<size_t>(Root(parent, r))] = Root(parent, other->second);
        }
    }
    for (int32_t r = 0; r < count; ++r)
        parent[static_cast<size_t>(r)] = Root(parent, r);
    return parent;
}

template <typename BoostRingType> std::unique_ptr<CPolygonRing> RingOf(const BoostRingType& points)
{
    std::vector<double> flat;
    flat.reserve(2 * points.size());
    for (const BoostPoint& p : points) {
        flat.push_back(p.x());
        flat.push_back(p.y());
    }
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(static_cast<int32_t>(points.size()), flat.data(), true);
    return ring;
}

// The union of the snapped rings `members` as one polygon's rings (its outer ring first), or
// nothing when it is not one piece of their summed area.
std::vector<std::unique_ptr<CPolygonRing>> UnionOf(const CPolygonLayer& snapped, const std::vector<int32_t>& members)
{
    BoostMultiPolygon joined;
    double summed = 0.0;
    for (const int32_t r : members) {
        const CPolygonRing& ring = snapped.Polygon(static_cast<uint32_t>(r)).Ring(0);
        summed -= ring.SignedArea();
        BoostMultiPolygon next;
        bg::union_(joined, ToBoostPolygon(ring, false), next);
        joined = std::move(next);
    }
    std::vector<std::unique_ptr<CPolygonRing>> rings;
    if (joined.size() != 1 || std::fabs(bg::area(joined) - summed) > 1e-9 * summed)
        return rings;
    rings.push_back(RingOf(joined.front().outer()));
    for (const auto& hole : joined.front().inners())
        rings.push_back(RingOf(hole));
    return rings;
}

// The polygon with its outer rings that share a border joined; null when none do.
std::unique_ptr<CSimplePolygon> Merged(const CSimplePolygon& polygon, double tolerance)
{
    std::vector<int32_t> outer;
    for (int32_t r = 0; r < polygon.RingCount(); ++r)
        if (polygon.Ring(r).SignedArea() < 0.0)
            outer.push_back(r);
    if (outer.size() < 2 || !PartsMayTouch(polygon, outer, tolerance))
        return nullptr;
    CPolygonLayer snapped;
    for (const int32_t r : outer) {
        auto part = std::make_unique<CSimplePolygon>();
        part->AddRing(CopyOf(polygon.Ring(r)));
        snapped.Add(std::move(part));
    }
    ShareBorderVertices(snapped, tolerance);
    const std::vector<int32_t> group = GroupsSharingEdges(snapped);
    std::vector<uint8_t> joined(static_cast<size_t>(polygon.RingCount()), 0);
    auto result = std::make_unique<CSimplePolygon>();
    for (int32_t g = 0; g < static_cast<int32_t>(group.size()); ++g) {
        std::vector<int32_t> members;
        for (int32_t r = 0; r < static_cast<int32_t>(group.size()); ++r)
            if (group[static_cast<size_t>(r)] == g)
                members.push_back(r);
        if (members.size() < 2)
            continue;
        std::vector<std::unique_ptr<CPolygonRing>> rings = UnionOf(snapped, members);
        if (rings.empty())
            continue;
        for (auto& ring : rings)
            result->AddRing(std::move(ring));
        for (const int32_t r : members)
            joined[static_cast<size_t>(outer[static_cast<size_t>(r)])] = 1;
    }
    if (result->RingCount() == 0)
        return nullptr;
    for (int32_t r = 0; r < polygon.RingCount(); ++r)
        if (joined[static_cast<size_t>(r)] == 0)
            result->AddRing(CopyOf(polygon.Ring(r)));
    result->Label = polygon.Label;
    return result;
}

} // namespace

std::vector<uint32_t> MergePartsSharingBorders(CPolygonLayer& layer, double tolerance)
{
    std::vector<uint32_t> changed;
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        std::unique_ptr<CSimplePolygon> merged = Merged(layer.Polygon(i), tolerance);
        if (!merged)
            continue;
        layer.Replace(i, std::move(merged));
        changed.push_back(i);
    }
    return changed;
}

} // namespace tessaro
