#include "engine/SharedBorders.h"

#include "engine/BorderGraph.h"
#include "engine/BorderStretch.h"
#include "engine/EdgeGrid.h"
#include "engine/ParallelWorkers.h"
#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace tessaro {
namespace {

// Below these many per worker, polygons are rewritten and removed points marked on fewer threads.
constexpr size_t MinPolygonsPerWorker = 256;
constexpr size_t MinPointsPerWorker = 16384;

// Rewrites every ring of one polygon without the points `drop` accepts, given their index among
// the polygon's points, ring after ring (never a ring's first or last point); the number dropped.
template <typename Drop> int64_t RemoveFromPolygon(CSimplePolygon& polygon, Drop& drop, std::vector<double>& kept)
{
    int64_t removed = 0;
    bool changed = false;
    size_t first = 0;
    for (int32_t r = 0; r < polygon.RingCount(); ++r) {
        const CPolygonRing& ring = polygon.Ring(r);
        const int32_t n = ring.PointCount();
        const double* points = ring.Points();
        kept.clear();
        for (int32_t i = 0; i < n; ++i) {
            if (i > 0 && i < n - 1 && drop(first + static_cast<size_t>(i))) {
                ++removed;
                continue;
            }
            kept.push_back(points[2 * i]);
            kept.push_back(points[2 * i + 1]);
        }
        if (static_cast<int32_t>(kept.size() / 2) != n) {
            polygon.SetRingPoints(r, static_cast<int32_t>(kept.size() / 2), kept.data());
            changed = true;
        }
        first += static_cast<size_t>(std::max(0, n));
    }
    if (changed)
        polygon.UpdateBoundingBox();
    return removed;
}

// The same for every polygon, on up to `threads` workers, with the points' indexes counted through
// the whole layer: `drop` only reads, and each polygon is rewritten by one worker alone.
template <typename Drop> int64_t RemovePoints(CPolygonLayer& layer, Drop&& drop, int threads)
{
    std::vector<size_t> firsts(layer.Count() + 1, 0);
    for (uint32_t i = 0; i < layer.Count(); ++i)
        firsts[i + 1] = firsts[i] + static_cast<size_t>(std::max(0, layer.Polygon(i).TotalPointCount()));
    return SumDealtOut(
        layer.Count(), MinPolygonsPerWorker, threads, [] { return std::vector<double>(); },
        [&](std::vector<double>& kept, size_t i) {
            const auto dropHere = [&drop, first = firsts[i]](size_t k) { return drop(first + k); };
            return RemoveFromPolygon(layer.Polygon(static_cast<uint32_t>(i)), dropHere, kept);
        });
}

// Calls rewrite(ring, points) for every ring of four points or more, `points` empty; a ring for
// which it returns true takes `points` (x, y pairs) as its points, and its polygon's box is made
// anew.
template <typename Rewrite> void RewriteRings(CPolygonLayer& layer, Rewrite&& rewrite)
{
    std::vector<double> points;
    for (auto* polygon : layer.Polygons()) {
        bool changed = false;
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            const CPolygonRing& ring = polygon->Ring(r);
            if (ring.PointCount() < 4)
                continue;
            points.clear();
            if (!rewrite(ring, points))
                continue;
            polygon->SetRingPoints(r, static_cast<int32_t>(points.size() / 2), points.data());
            changed = true;
        }
        if (changed)
            polygon->UpdateBoundingBox();
    }
}

// A point to insert into an edge, at parameter T along it.
struct CInsertion {
    double T;
    CPoint2D Point;
};

// Moves every vertex onto the smallest (by coordinates) of the vertices of rings of four points
// or more within `tolerance` of it, so borders drawn twice with rounding differences share their
// vertices exactly; points of a ring that come to coincide are merged. Returns the vertices moved.
int64_t SnapVertices(CPolygonLayer& layer, double tolerance)
{
    CVertexMoves targets;
    {
        CEdgeGrid grid(layer, tolerance);
        for (uint32_t e = 0; e < grid.Edges.size(); ++e) {
            const std::optional<CPoint2D> start = grid.WorkableStart(e);
            if (!start)
                continue;
            const CPoint2D v = *start;
            CPointKey target{v.X, v.Y};
            grid.ForEdges(v.X, v.Y, v.X, v.Y, [&](uint32_t k) {
                if (grid.OnShortRing(k))
                    return;
                const CPoint2D w = grid.Start(k);
                if (std::fabs(w.X - v.X) <= tolerance && std::fabs(w.Y - v.Y) <= tolerance &&
                    KeyLess({w.X, w.Y}, target))
                    target = {w.X, w.Y};
            });
            if (!(target == CPointKey{v.X, v.Y}))
                targets[{v.X, v.Y}] = target;
        }
    }
    if (targets.empty())
        return 0;
    int64_t moved = 0;
    RewriteRings(layer, [&](const CPolygonRing& ring, std::vector<double>& points) {
        const int64_t ringMoved = AppendMovedPoints(ring, targets, points);
        moved += ringMoved;
        // A ring the merging leaves without area keeps its points as they were.
        return ringMoved > 0 && points.size() >= 8;
    });
    return moved;
}

// For every edge, the vertices of other rings that lie within `tolerance` of it (T-junctions),
// at their parameters along it. False when there are none. A ring that already holds the vertex
// gets no second copy of it: the ring passes close by its own vertex there (a narrow inlet, or a
// loop it makes at a junction), and a second copy would make it touch itself, which no valid
// ring does.
bool FindInsertions(CEdgeGrid& grid, double tolerance, std::vector<std::vector<CInsertion>>& insertions)
{
    bool any = false;
    std::vector<std::pair<uint32_t, int32_t>> holders;
    for (uint32_t e = 0; e < grid.Edges.size(); ++e) {
        const std::optional<CPoint2D> start = grid.WorkableStart(e);
        if (!start)
            continue;
        const CPoint2D v = *start;
        // The rings with a vertex on v.
        holders.clear();
        grid.ForEdges(v.X, v.Y, v.X, v.Y, [&](uint32_t k) {
            if (SamePoint(v, grid.Start(k)))
                holders.emplace_back(grid.Edges[k].Polygon, grid.Edges[k].Ring);
        });
        const auto holds = [&holders](const CEdgeRef& edge) {
            return std::find(holders.begin(), holders.end(), std::make_pair(edge.Polygon, edge.Ring)) != holders.end();
        };
        // The edges of other rings that pass within the tolerance of the vertex.
        grid.ForEdges(v.X, v.Y, v.X, v.Y, [&](uint32_t k) {
            const CEdgeRef& other = grid.Edges[k];
            if (holds(other) || grid.OnShortRing(k))
                return;
            const CPoint2D a = grid.Start(k), b = grid.End(k);
            if (SamePoint(v, a) || SamePoint(v, b))
                return;
            const double dx = b.X - a.X, dy = b.Y - a.Y;
            const double length2 = dx * dx + dy * dy;
            if (length2 == 0.0)
                return;
            const double t = ((v.X - a.X) * dx + (v.Y - a.Y) * dy) / length2;
            if (t > 0.0 && t < 1.0 &&
                std::fabs(CrossProduct(dx, dy, v.X - a.X, v.Y - a.Y)) / std::sqrt(length2) <= tolerance) {
                insertions[k].push_back({t, v});
                any = true;
            }
        });
    }
    return any;
}

// Inserts the vertices found into their edges, in order along each; returns how many.
int64_t InsertAll(CPolygonLayer& layer, std::vector<std::vector<CInsertion>>& insertions)
{
    int64_t inserted = 0;
    std::vector<double> points;
    size_t edge = 0;
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        CSimplePolygon& polygon = layer.Polygon(i);
        bool changed = false;
        for (int32_t r = 0; r < polygon.RingCount(); ++r) {
            const CPolygonRing& ring = polygon.Ring(r);
            const int32_t n = ring.PointCount();
            // The grid lists every ring's edges in layer order.
            const size_t first = edge;
            edge += static_cast<size_t>(std::max(0, n - 1));
            if (std::all_of(insertions.begin() + static_cast<std::ptrdiff_t>(first),
                            insertions.begin() + static_cast<std::ptrdiff_t>(edge),
                            [](const std::vector<CInsertion>& list) { return list.empty(); }))
                continue;
            points.clear();
            for (int32_t k = 0; k + 1 < n; ++k) {
                points.push_back(ring.Points()[2 * k]);
                points.push_back(ring.Points()[2 * k + 1]);
                std::vector<CInsertion>& list = insertions[first + static_cast<size_t>(k)];
                std::sort(list.begin(), list.end(), [](const CInsertion& x, const CInsertion& y) { return x.T < y.T; });
                for (size_t m = 0; m < list.size(); ++m) {
                    if (m > 0 && SamePoint(list[m].Point, list[m - 1].Point))
                        continue;
                    points.push_back(list[m].Point.X);
                    points.push_back(list[m].Point.Y);
                    ++inserted;
                }
            }
            points.push_back(ring.Points()[2 * (n - 1)]);
            points.push_back(ring.Points()[2 * (n - 1) + 1]);
            polygon.SetRingPoints(r, static_cast<int32_t>(points.size() / 2), points.data());
            changed = true;
        }
        if (changed)
            polygon.UpdateBoundingBox();
    }
    return inserted;
}

// Whether the ring turns straight back at b: c lies on a's side of b, and each of a and c lies
// within `tolerance` of the line through b and the other (c = a is the tip of a hair out and back
// to one point). Cutting b leaves the ring's area as it was, to within the tolerance.
bool TurnsBack(const CPointKey& a, const CPointKey& b, const CPointKey& c, double tolerance)
{
    const double ax = a.X - b.X, ay = a.Y - b.Y, cx = c.X - b.X, cy = c.Y - b.Y;
    if (ax * cx + ay * cy <= 0.0)
        return false;
    const double cross = std::fabs(CrossProduct(ax, ay, cx, cy));
    return cross <= tolerance * std::hypot(ax, ay) && cross <= tolerance * std::hypot(cx, cy);
}

// A closed ring's points (the first repeated last) without spikes: a point where the ring turns
// straight back (within `tolerance`) is the tip of a hair of no width, which no valid ring has,
// and a map's next round would open it or make it cross itself, whichever way rounding goes.
// Points repeated in a row are merged. A ring whose start is such a tip starts at its neighbour.
std::vector<CPointKey> WithoutSpikes(const std::vector<CPointKey>& closed, double tolerance)
{
    std::vector<CPointKey> kept;
    for (size_t i = 0; i + 1 < closed.size(); ++i) {
        while (kept.size() >= 2 && TurnsBack(kept[kept.size() - 2], kept.back(), closed[i], tolerance))
            kept.pop_back();
        if (kept.empty() || !(kept.back() == closed[i]))
            kept.push_back(closed[i]);
    }
    // Across the closing point: the end back on the start, or a tip at either end.
    for (bool cut = true; cut && kept.size() >= 3;) {
        const size_t m = kept.size();
        cut = true;
        if (kept[m - 1] == kept[0] || TurnsBack(kept[m - 2], kept[m - 1], kept[0], tolerance))
            kept.pop_back();
        else if (TurnsBack(kept[m - 1], kept[0], kept[1], tolerance))
            kept.erase(kept.begin());
        else
            cut = false;
    }
    if (!kept.empty())
        kept.push_back(kept.front());
    return kept;
}

// Cuts the hairs of no width that a map may hold and that snapping near points together leaves
// (a ring that ran out and back within the tolerance now runs out and back along one line). A
// ring left without area keeps its points.
void CutSpikes(CPolygonLayer& layer, double tolerance)
{
    std::vector<CPointKey> closed;
    RewriteRings(layer, [&closed, tolerance](const CPolygonRing& ring, std::vector<double>& points) {
        closed.clear();
        for (int32_t i = 0; i < ring.PointCount(); ++i)
            closed.push_back(KeyAt(ring.Points(), i));
        const std::vector<CPointKey> kept = WithoutSpikes(closed, tolerance);
        if (kept.size() == closed.size() || kept.size() < 4)
            return false;
        for (const CPointKey& key : kept)
            points.insert(points.end(), {key.X, key.Y});
        return true;
    });
}

// The distance of points from the line through p and q, or from p when q is p; the chord's
// length is taken once for all the points of a stretch.
class CChord {
public:
    CChord(const CPointKey& p, const CPointKey& q)
        : P_(p), Dx_(q.X - p.X), Dy_(q.Y - p.Y), Length_(std::hypot(Dx_, Dy_))
    {
    }

    double Distance(const CPointKey& v) const
    {
        if (Length_ == 0.0)
            return std::hypot(v.X - P_.X, v.Y - P_.Y);
        return std::fabs(CrossProduct(Dx_, Dy_, v.X - P_.X, v.Y - P_.Y)) / Length_;
    }

private:
    CPointKey P_;
    double Dx_, Dy_, Length_;
};

struct CChordHash {
    size_t operator()(const std::pair<CPointKey, CPointKey>& chord) const
    {
        const CPointKeyHash hash;
        return hash(chord.first) * 31 + hash(chord.second);
    }
};

// The longest stretch replaced by one chord: the safety check's cost grows with its square.
constexpr size_t MaxStretchPoints = 128;
// Chains below this many per thread are thinned on fewer threads.
constexpr size_t MinChainsPerWorker = 256;

// One thread's work in a thinning pass: the grid of the rings as they were before it (shared,
// read only), the points each stretch must leave on their sides (or none), its own marks and room,
// and what it found.
struct CThinning {
    const CEdgeGrid& Grid;
    const CKeptPoints* Kept;
    CEdgeStamps Stamps;
    std::vector<std::pair<size_t, size_t>> Stack;
    std::vector<CPointKey> Inner;
    std::vector<size_t> Removed;     // the points of every stretch that goes, as chain point indexes
    std::vector<size_t> WholeChains; // chains whose one chord passed its checks, decided after
};

// What ThinChain does with a chain whose one chord passes the checks.
enum class WholeChain {
    Defer,  // note it: two chains may have become the same chord
    Refuse, // another chain became that chord: cut it as if the check had failed
};

// Thins chain `chain` as Douglas and Peucker thin a line: a stretch whose points all lie within
// their tolerances of its chord goes, when the check against the rings allows it. Otherwise it is
// cut at its point farthest from the chord (in tolerances), or in the middle when all are near but
// the check fails, and each half is tried. A chain's ends stay, and so does every end of a
// stretch, which lets the checks of one pass stand together.
void ThinChain(const CBorderChains& chains, size_t chain, WholeChain whole, CThinning& work)
{
    const size_t start = chains.Starts[chain];
    const size_t count = chains.Starts[chain + 1] - start;
    const CPointKey* points = chains.Points.data() + start;
    const double* tolerances = chains.Tolerances.data() + start;
    auto& stack = work.Stack;
    stack.assign(1, {0, count - 1});
    while (!stack.empty()) {
        const auto [i, j] = stack.back();
        stack.pop_back();
        if (j - i < 2)
            continue;
        size_t worst = i + 1;
        double worstRatio = -1.0;
        const CChord chord(points[i], points[j]);
        for (size_t k = i + 1; k < j; ++k) {
            const double ratio = chord.Distance(points[k]) / tolerances[k];
            if (ratio > worstRatio) {
                worstRatio = ratio;
                worst = k;
            }
        }
        size_t cut = worst;
        if (worstRatio <= 1.0 && points[i] != points[j]) {
            const bool wholeChain = i == 0 && j + 1 == count;
            if ((!wholeChain || whole == WholeChain::Defer) && j - i + 1 <= MaxStretchPoints &&
                StretchIsClear(work.Grid, work.Stamps, points + i, j - i + 1, work.Inner) &&
                (work.Kept == nullptr || StretchKeepsPointsSides(*work.Kept, points + i, j - i + 1))) {
                if (wholeChain)
                    work.WholeChains.push_back(chain);
                else
                    for (size_t k = i + 1; k < j; ++k)
                        work.Removed.push_back(start + k);
                continue;
            }
            // Too long, or something lies in the way: halves find the clear parts soonest.
            cut = (i + j) / 2;
        }
        stack.push_back({i, cut});
        stack.push_back({cut, j});
    }
}

// Thins every chain against `grid`, the chains shared out among `threads` threads, and returns the
// points that go, as indexes into the chains' points. Of two chains between the same two junctions
// that would each become one chord (the two sides of a sliver, each passing its checks against the
// other as it was), only the first in the chains' order goes whole: going together they would lay
// one edge on the other. The outcome does not depend on the thread count.
std::vector<size_t> ThinChains(const CBorderChains& chains, const CEdgeGrid& grid, const CKeptPoints* kept, int threads)
{
    const size_t workers = WorkersFor(chains.Count(), MinChainsPerWorker, threads);
    std::vector<CThinning> work;
    for (size_t w = 0; w < workers; ++w)
        work.push_back(CThinning{grid, kept, {}, {}, {}, {}, {}});
    RunWorkers(workers, [&](size_t w) {
        for (size_t c = w; c < chains.Count(); c += workers)
            ThinChain(chains, c, WholeChain::Defer, work[w]);
    });
    CThinning& first = work.front();
    for (size_t w = 1; w < workers; ++w) {
        first.Removed.insert(first.Removed.end(), work[w].Removed.begin(), work[w].Removed.end());
        first.WholeChains.insert(first.WholeChains.end(), work[w].WholeChains.begin(), work[w].WholeChains.end());
    }
    std::vector<size_t> whole = std::move(first.WholeChains);
    std::sort(whole.begin(), whole.end());
    std::unordered_set<std::pair<CPointKey, CPointKey>, CChordHash> chords;
    for (const size_t c : whole) {
        CPointKey p = chains.Points[chains.Starts[c]], q = chains.Points[chains.Starts[c + 1] - 1];
        if (KeyLess(q, p))
            std::swap(p, q);
        if (chords.insert({p, q}).second)
            for (size_t k = chains.Starts[c] + 1; k + 1 < chains.Starts[c + 1]; ++k)
                first.Removed.push_back(k);
        else
            ThinChain(chains, c, WholeChain::Refuse, first);
    }
    return std::move(first.Removed);
}

} // namespace

int64_t AppendMovedPoints(const CPolygonRing& ring, const CVertexMoves& moves, std::vector<double>& points)
{
    int64_t moved = 0;
    for (int32_t i = 0; i < ring.PointCount(); ++i) {
        CPointKey key = KeyAt(ring.Points(), i);
        if (const auto found = moves.find(key); found != moves.end()) {
            key = found->second;
            ++moved;
        }
        const size_t n = points.size();
        if (n >= 2 && points[n - 2] == key.X && points[n - 1] == key.Y)
            continue; // merged with the point before
        points.insert(points.end(), {key.X, key.Y});
    }
    return moved;
}

int64_t ShareBorderVertices(CPolygonLayer& layer, double tolerance)
{
    if (!(tolerance > 0.0))
        return 0;
    int64_t changed = SnapVertices(layer, tolerance);
    CEdgeGrid grid(layer, tolerance);
    std::vector<std::vector<CInsertion>> insertions(grid.Edges.size());
    if (FindInsertions(grid, tolerance, insertions))
        changed += InsertAll(layer, insertions);
    CutSpikes(layer, tolerance);
    return changed;
}

int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance)
{
    CVertexUseTable uses;
    return SimplifySharedBorders(layer, relativeTolerance, uses, 1);
}

int64_t SimplifySharedBorders(CPolygonLayer& layer, double relativeTolerance, CVertexUseTable& uses, int threads,
                              const CKeptPoints* kept)
{
    if (!(relativeTolerance > 0.0))
        return 0;
    // Every stretch is checked against the rings as they are, then all go together. The grid of
    // the rings is built beside the chains: both only read the layer.
    CBorderChains chains;
    std::optional<CEdgeGrid> grid;
    std::vector<uint32_t> slots;
    RunBoth(
        threads,
        [&] {
            CollectVertexUses(layer, relativeTolerance, uses, slots);
            chains = CollectBorderChains(layer, uses, slots);
        },
        [&] { grid.emplace(layer, 0.0); });
    if (chains.Count() == 0)
        return 0;
    const std::vector<size_t> removed =
        ThinChains(chains, *grid, kept != nullptr && !kept->Empty() ? kept : nullptr, threads);
    if (removed.empty())
        return 0;
    // Every removed point is in one chain, so the workers mark distinct entries.
    const std::vector<CWorkChunk> chunks =
        SplitIntoChunks(removed.size(), WorkersFor(removed.size(), MinPointsPerWorker, threads));
    RunChunks(chunks, [&](size_t, size_t k) { uses.AtSlot(chains.Slots[removed[k]]).Removed = true; });
    // The rings are read in order and their slots at random: the slot a few points on is asked for.
    const auto drop = [&uses, &slots](size_t vertex) {
        if (vertex + CVertexUseTable::PrefetchAhead < slots.size())
            uses.PrefetchSlot(slots[vertex + CVertexUseTable::PrefetchAhead]);
        return std::as_const(uses).AtSlot(slots[vertex]).Removed;
    };
    return RemovePoints(layer, drop, threads);
}

} // namespace tessaro
