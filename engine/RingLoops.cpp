#include "engine/RingLoops.h"

#include "engine/BorderGraph.h"
#include "engine/ParallelWorkers.h"
#include "engine/SharedBorders.h"
#include "geometry/BoostRing.h"
#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

#include <boost/geometry.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <unordered_map>
#include <utility>

namespace tessaro {
namespace {

namespace bg = boost::geometry;

// Passes of cuts at most: a cut can uncover another crossing behind the loop it cut.
constexpr int MaxLoopPasses = 4;

// A loop to cut: its vertices, each with the point it moves to.
struct CLoop {
    std::vector<std::pair<CPointKey, CPointKey>> Moves;
    double Area = 0.0;
};

// A proper crossing of the ring's edges S and T (S < T, an edge numbered by its first point).
struct CEdgeCrossing {
    size_t S, T;
    CPoint2D Point;
};

// The point where segments a-b and c-d cross, when each has its ends strictly on both sides of
// the other.
std::optional<CPoint2D> ProperCrossing(const CPoint2D& a, const CPoint2D& b, const CPoint2D& c, const CPoint2D& d)
{
    if (SideOfLine(a, b, c) * SideOfLine(a, b, d) >= 0 || SideOfLine(c, d, a) * SideOfLine(c, d, b) >= 0)
        return std::nullopt;
    const double denominator = CrossProduct(b.X - a.X, b.Y - a.Y, d.X - c.X, d.Y - c.Y);
    if (denominator == 0.0)
        return std::nullopt;
    const double t = CrossProduct(c.X - a.X, c.Y - a.Y, d.X - c.X, d.Y - c.Y) / denominator;
    return CPoint2D{a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y)};
}

// A ring's distinct points: its closing point (the first repeated last) left off.
std::vector<CPoint2D> OpenPoints(const CPolygonRing& ring)
{
    std::vector<CPoint2D> points;
    for (int32_t i = 0; i < ring.PointCount(); ++i)
        points.push_back(ring.Point(i));
    if (points.size() >= 2 && SamePoint(points.front(), points.back()))
        points.pop_back();
    return points;
}

// The absolute area of the loop that runs from `from` through points[first], ... (`count` of
// them, wrapping around the ring) to `to` and straight back to `from`.
double LoopArea(const std::vector<CPoint2D>& points, size_t first, size_t count, const CPoint2D& from,
                const CPoint2D& to)
{
    const size_t m = points.size();
    double twice = 0.0;
    CPoint2D previous = from;
    for (size_t k = 0; k <= count; ++k) {
        const CPoint2D& p = k < count ? points[(first + k) % m] : to;
        twice += previous.X * p.Y - p.X * previous.Y;
        previous = p;
    }
    twice += previous.X * from.Y - from.X * previous.Y;
    return std::fabs(twice) / 2.0;
}

// The two loops a crossing of edges s and t (s < t) splits the ring into: the points s+1..t, and
// the points t+1..s around the ring's start. The smaller, when it is small enough to cut and holds
// at most half the ring's points: its points all move to the crossing.
std::optional<CLoop> SmallerLoop(const std::vector<CPoint2D>& points, const CEdgeCrossing& crossing, double maxArea)
{
    const size_t m = points.size();
    const size_t insideCount = crossing.T - crossing.S, outsideCount = m - insideCount;
    const double inside = LoopArea(points, crossing.S + 1, insideCount, crossing.Point, crossing.Point);
    const double outside = LoopArea(points, crossing.T + 1, outsideCount, crossing.Point, crossing.Point);
    const bool takeInside = inside <= outside;
    const size_t first = takeInside ? crossing.S + 1 : crossing.T + 1;
    const size_t count = takeInside ? insideCount : outsideCount;
    const double area = std::min(inside, outside);
    if (!(area <= maxArea) || 2 * count > m)
        return std::nullopt;
    CLoop loop;
    loop.Area = area;
    const CPointKey to{crossing.Point.X, crossing.Point.Y};
    for (size_t k = 0; k < count; ++k) {
        const CPoint2D& p = points[(first + k) % m];
        loop.Moves.push_back({{p.X, p.Y}, to});
    }
    return loop;
}

// The edge of a crossing other than `e`, and where the two cross.
struct CCrossingOn {
    size_t Other;
    CPoint2D Point;
};

// A stretch of the ring poked through one of its own edges `e`: the edges `a` and `b` both cross
// e, so the points between them, a+1 .. b going round the way that does not pass e, lie beyond
// it. The loop between the two crossings is the part on the wrong side; when it is small enough
// and holds at most half the ring's points, its points move to their nearest on the chord from
// the last point before it to the first after it, never back past the one before, so they keep
// their order and come to e's own side.
// Cutting the whole loop behind either crossing instead would take off the tip of a needle whose
// sides cross only where one point pokes through.
std::optional<CLoop> PokedLoop(const std::vector<CPoint2D>& points, size_t e, const CCrossingOn& a,
                               const CCrossingOn& b, double maxArea)
{
    const size_t m = points.size();
    const auto forward = [m](size_t from, size_t to) { return (to + m - from) % m; };
    // Going a -> b forward must not pass edge e; else the other way round.
    const bool aFirst = forward(a.Other, e) > forward(a.Other, b.Other);
    const CCrossingOn& enter = aFirst ? a : b;
    const CCrossingOn& leave = aFirst ? b : a;
    const size_t count = forward(enter.Other, leave.Other);
    if (count == 0 || 2 * count > m)
        return std::nullopt;
    const double area = LoopArea(points, enter.Other + 1, count, enter.Point, leave.Point);
    if (!(area <= maxArea))
        return std::nullopt;
    const CPoint2D& from = points[enter.Other];
    const CPoint2D& to = points[(leave.Other + 1) % m];
    const double dx = to.X - from.X, dy = to.Y - from.Y, length2 = dx * dx + dy * dy;
    if (!(length2 > 0.0))
        return std::nullopt;
    CLoop loop;
    loop.Area = area;
    double last = 0.0;
    for (size_t k = 1; k <= count; ++k) {
        const CPoint2D& p = points[(enter.Other + k) % m];
        const double along = ((p.X - from.X) * dx + (p.Y - from.Y) * dy) / length2;
        last = std::clamp(along, last, 1.0);
        loop.Moves.push_back({{p.X, p.Y}, {from.X + last * dx, from.Y + last * dy}});
    }
    return loop;
}

// Every proper crossing of two edges of the ring. The edges are swept in the order of their
// least x.
std::vector<CEdgeCrossing> SelfCrossings(const std::vector<CPoint2D>& points)
{
    const size_t m = points.size();
    const auto minX = [&](size_t e) { return std::min(points[e].X, points[(e + 1) % m].X); };
    const auto maxX = [&](size_t e) { return std::max(points[e].X, points[(e + 1) % m].X); };
    std::vector<size_t> order(m);
    std::iota(order.begin(), order.end(), size_t{0});
    std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return minX(a) < minX(b); });
    std::vector<CEdgeCrossing> crossings;
    for (size_t k = 0; k < m; ++k) {
        const size_t e = order[k];
        for (size_t l = k + 1; l < m && minX(order[l]) <= maxX(e); ++l) {
            const size_t f = order[l];
            const size_t s = std::min(e, f), t = std::max(e, f);
            if (t - s < 2 || (s == 0 && t == m - 1))
                continue; // neighbouring edges meet at their shared point
            if (const auto point = ProperCrossing(points[s], points[s + 1], points[t], points[(t + 1) % m]))
                crossings.push_back({s, t, *point});
        }
    }
    return crossings;
}

void KeepSmaller(std::optional<CLoop>& best, std::optional<CLoop> loop)
{
    if (loop && (!best || loop->Area < best->Area))
        best = std::move(loop);
}

// The smallest loop of the ring, holding at most `maxShare` of its area: behind one crossing of
// two edges, or between two crossings of one edge.
std::optional<CLoop> FindSmallLoop(const CPolygonRing& ring, double maxShare)
{
    const std::vector<CPoint2D> points = OpenPoints(ring);
    if (points.size() < 4)
        return std::nullopt;
    double area = 0.0;
    ring.AreaAndCentroid(nullptr, &area);
    const double maxArea = maxShare * std::fabs(area);
    const std::vector<CEdgeCrossing> crossings = SelfCrossings(points);
    std::optional<CLoop> best;
    std::unordered_map<size_t, std::vector<CCrossingOn>> byEdge;
    for (const CEdgeCrossing& crossing : crossings) {
        KeepSmaller(best, SmallerLoop(points, crossing, maxArea));
        byEdge[crossing.S].push_back({crossing.T, crossing.Point});
        byEdge[crossing.T].push_back({crossing.S, crossing.Point});
    }
    for (const auto& [e, on] : byEdge)
        for (size_t i = 0; i < on.size(); ++i)
            for (size_t j = i + 1; j < on.size(); ++j)
                KeepSmaller(best, PokedLoop(points, e, on[i], on[j], maxArea));
    return best;
}

// A ring's points as they were, to be put back when a pass fails.
struct CSavedRing {
    CSimplePolygon* Polygon;
    int32_t Ring;
    size_t Index; // in layer order
    std::vector<double> Points;
};

// Moves the vertices in every ring holding them, and checks the rings moved: false (with every
// ring put back) when one became invalid that was valid, or too short to be a ring.
bool MoveVertices(CPolygonLayer& layer, const CVertexMoves& moves, std::vector<uint8_t>& invalid)
{
    std::vector<CSavedRing> saved;
    std::vector<uint8_t> nowInvalid;
    std::vector<double> points;
    size_t index = 0;
    bool sound = true;
    for (auto* polygon : layer.Polygons()) {
        for (int32_t r = 0; r < polygon->RingCount() && sound; ++r, ++index) {
            const CPolygonRing& ring = polygon->Ring(r);
            points.clear();
            if (AppendMovedPoints(ring, moves, points) == 0)
                continue;
            saved.push_back(
                {polygon, r, index, std::vector<double>(ring.Points(), ring.Points() + 2 * ring.PointCount())});
            const bool set =
                points.size() >= 8 && polygon->SetRingPoints(r, static_cast<int32_t>(points.size() / 2), points.data());
            nowInvalid.push_back(!set || RingIsInvalid(polygon->Ring(r)) ? 1 : 0);
            sound = set && (nowInvalid.back() == 0 || invalid[index] != 0);
        }
    }
    for (size_t k = 0; k < saved.size(); ++k) {
        const CSavedRing& ring = saved[k];
        if (!sound)
            ring.Polygon->SetRingPoints(ring.Ring, static_cast<int32_t>(ring.Points.size() / 2), ring.Points.data());
        else
            invalid[ring.Index] = nowInvalid[k];
        ring.Polygon->UpdateBoundingBox();
    }
    return sound;
}

std::vector<const CPolygonRing*> RingsOf(const CPolygonLayer& layer)
{
    std::vector<const CPolygonRing*> rings;
    for (const auto* polygon : layer.Polygons())
        for (const auto& ring : polygon->Rings())
            rings.push_back(ring.get());
    return rings;
}

} // namespace

bool RingIsInvalid(const CPolygonRing& ring)
{
    if (ring.PointCount() < 3)
        return true;
    // A hole runs the other way round: turned clockwise by the area Boost finds for it.
    BoostPolygon polygon = ToBoostPolygon(ring, false);
    if (bg::area(polygon) < 0.0)
        std::reverse(polygon.outer().begin(), polygon.outer().end());
    return !bg::is_valid(polygon);
}

std::vector<uint8_t> FindInvalidRings(const CPolygonLayer& layer, int threads)
{
    const std::vector<const CPolygonRing*> rings = RingsOf(layer);
    std::vector<uint8_t> invalid(rings.size(), 0);
    const std::vector<CWorkChunk> chunks = SplitIntoChunks(rings.size(), static_cast<size_t>(std::max(1, threads)));
    RunChunks(chunks, [&](size_t, size_t k) { invalid[k] = RingIsInvalid(*rings[k]) ? 1 : 0; });
    return invalid;
}

int CutSmallLoops(CPolygonLayer& layer, std::vector<uint8_t>& invalid, const std::vector<uint8_t>& leaveAlone,
                  double maxLoopShare)
{
    int cut = 0;
    for (int pass = 0; pass < MaxLoopPasses; ++pass) {
        const std::vector<const CPolygonRing*> rings = RingsOf(layer);
        CVertexMoves moves;
        int found = 0;
        for (size_t k = 0; k < rings.size() && k < invalid.size(); ++k) {
            if (invalid[k] == 0 || (k < leaveAlone.size() && leaveAlone[k] != 0))
                continue;
            const std::optional<CLoop> loop = FindSmallLoop(*rings[k], maxLoopShare);
            // Two loops sharing a vertex would each move it: the second waits for the next pass.
            if (!loop || std::any_of(loop->Moves.begin(), loop->Moves.end(),
                                     [&](const auto& move) { return moves.count(move.first) != 0; }))
                continue;
            moves.insert(loop->Moves.begin(), loop->Moves.end());
            ++found;
        }
        if (found == 0 || !MoveVertices(layer, moves, invalid))
            break;
        cut += found;
    }
    return cut;
}

} // namespace tessaro
