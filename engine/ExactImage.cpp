#include "engine/ExactImage.h"

#include "engine/ParallelWorkers.h"
#include "engine/QuadTree.h"
#include "geometry/GeometryPrimitives.h"
#include "geometry/PolygonLayer.h"
#include "geometry/SimplePolygon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace tessaro {
namespace {

// Crossings closer than this share of the tree's side to each other or to an end of the edge are
// one point: the edge then runs along a side or through a corner. A second point there would add
// an edge so short that the rounding of the two maps on either side could turn it round, a spike.
constexpr double PointTolerance = 1e-9;
// Nodes tried from the last edge's leaf up before a search from the root.
constexpr int CursorSearchLevels = 3;
// Polygons below this many per thread are cut on fewer threads.
constexpr size_t MinPolygonsPerWorker = 64;

struct CBox {
    double MinX, MinY, MaxX, MaxY;
};

bool operator<(const CPoint2D& a, const CPoint2D& b)
{
    return a.X < b.X || (a.X == b.X && a.Y < b.Y);
}

// The range [t0, t1] of a + t (b - a), t in [0, 1], inside the closed box; false when none.
bool Clip(const CPoint2D& a, const CPoint2D& b, const CBox& box, double& t0, double& t1)
{
    t0 = 0.0;
    t1 = 1.0;
    const double d[2] = {b.X - a.X, b.Y - a.Y};
    const double start[2] = {a.X, a.Y};
    const double low[2] = {box.MinX, box.MinY};
    const double high[2] = {box.MaxX, box.MaxY};
    for (int axis = 0; axis < 2; ++axis) {
        if (d[axis] == 0.0) {
            if (start[axis] < low[axis] || start[axis] > high[axis])
                return false;
            continue;
        }
        double enter = (low[axis] - start[axis]) / d[axis];
        double leave = (high[axis] - start[axis]) / d[axis];
        if (enter > leave)
            std::swap(enter, leave);
        t0 = std::max(t0, enter);
        t1 = std::min(t1, leave);
        if (t0 > t1)
            return false;
    }
    return true;
}

// The corners of a leaf, bottom-left, top-left, top-right, bottom-right, from the undeformed map.
bool LeafCorners(const CVertexMap& map, const CQuadTreeNode& node, std::array<CPoint2D, 4>& corners)
{
    const std::array<int, 4> ids{node.BottomLeft, node.TopLeft, node.TopRight, node.BottomRight};
    for (size_t k = 0; k < 4; ++k) {
        const CPoint2D* p = map.Find(ids[k]);
        if (p == nullptr)
            return false;
        corners[k] = *p;
    }
    return true;
}

// The diagonal of a leaf: from corner k to corner k + 2.
void Diagonal(const std::array<CPoint2D, 4>& corners, int split, CPoint2D& from, CPoint2D& to)
{
    const int k = split < 0 ? 0 : split % 4;
    from = corners[static_cast<size_t>(k)];
    to = corners[static_cast<size_t>((k + 2) % 4)];
}

// Gathers the crossing parameters of one edge, in its canonical direction (from the smaller end).
class CCrossings {
public:
    explicit CCrossings(CQuadTree& tree) : Tree_(tree), Map_(tree.VertexMaps[UndeformedMap])
    {
        std::array<CPoint2D, 4> root{};
        if (LeafCorners(Map_, tree, root))
            MinGap_ = PointTolerance * std::max(root[2].X - root[0].X, root[2].Y - root[0].Y);
    }

    void ResetCursor() { Cursor_ = nullptr; }

    // Parameters in (0, 1), ascending and apart, where a -> b crosses leaf sides or diagonals.
    const std::vector<double>& Of(const CPoint2D& a, const CPoint2D& b)
    {
        Ts_.clear();
        if (!WithinOneTriangle(a, b))
            Visit(SmallestNodeAround(a, b), a, b);
        std::sort(Ts_.begin(), Ts_.end());
        Kept_.clear();
        const double gap = MinGap_ / std::hypot(b.X - a.X, b.Y - a.Y);
        double last = 0.0;
        for (const double t : Ts_) {
            if (t - last > gap && t < 1.0 - gap) {
                Kept_.push_back(t);
                last = t;
            }
        }
        return Kept_;
    }

private:
    // The common case: both ends in the closed box of one leaf, on one side of its diagonal.
    bool WithinOneTriangle(const CPoint2D& a, const CPoint2D& b)
    {
        Cursor_ = Tree_.LocateLeaf(Cursor_, a.X, a.Y, CursorSearchLevels);
        if (Cursor_ == nullptr)
            return false;
        std::array<CPoint2D, 4> c{};
        if (!LeafCorners(Map_, *Cursor_, c))
            return false;
        if (b.X < c[0].X || b.X > c[2].X || b.Y < c[0].Y || b.Y > c[2].Y || a.X < c[0].X || a.X > c[2].X ||
            a.Y < c[0].Y || a.Y > c[2].Y)
            return false;
        CPoint2D from, to;
        Diagonal(c, Cursor_->SplitCorner, from, to);
        const double sa = CrossProduct(to.X - from.X, to.Y - from.Y, a.X - from.X, a.Y - from.Y);
        const double sb = CrossProduct(to.X - from.X, to.Y - from.Y, b.X - from.X, b.Y - from.Y);
        return !((sa > 0.0 && sb < 0.0) || (sa < 0.0 && sb > 0.0));
    }

    // The smallest node up from the leaf of `a` whose open box holds both ends, or the root: no
    // leaf outside it meets the edge, not even at its border, so the search may start there.
    const CQuadTreeNode& SmallestNodeAround(const CPoint2D& a, const CPoint2D& b) const
    {
        for (const CQuadTreeNode* node = Cursor_; node != nullptr; node = node->Parent) {
            const CPoint2D* low = Map_.Find(node->BottomLeft);
            const CPoint2D* high = Map_.Find(node->TopRight);
            if (low == nullptr || high == nullptr)
                break;
            if (low->X < std::min(a.X, b.X) && std::max(a.X, b.X) < high->X && low->Y < std::min(a.Y, b.Y) &&
                std::max(a.Y, b.Y) < high->Y)
                return *node;
        }
        return Tree_;
    }

    void Visit(const CQuadTreeNode& node, const CPoint2D& a, const CPoint2D& b)
    {
        std::array<CPoint2D, 4> c{};
        if (!LeafCorners(Map_, node, c))
            return;
        double t0 = 0.0, t1 = 1.0;
        if (!Clip(a, b, {c[0].X, c[0].Y, c[2].X, c[2].Y}, t0, t1))
            return;
        if (!node.IsLeaf()) {
            for (const auto& child : node.Children)
                Visit(*child, a, b);
            return;
        }
        Ts_.push_back(t0);
        Ts_.push_back(t1);
        CPoint2D from, to;
        Diagonal(c, node.SplitCorner, from, to);
        const double ex = b.X - a.X, ey = b.Y - a.Y;
        const double fx = to.X - from.X, fy = to.Y - from.Y;
        const double denominator = CrossProduct(ex, ey, fx, fy);
        if (denominator == 0.0)
            return; // along the diagonal or parallel to it: no crossing
        const double t = CrossProduct(from.X - a.X, from.Y - a.Y, fx, fy) / denominator;
        const double u = CrossProduct(from.X - a.X, from.Y - a.Y, ex, ey) / denominator;
        if (t > t0 && t < t1 && u >= 0.0 && u <= 1.0)
            Ts_.push_back(t);
    }

    CQuadTree& Tree_;
    const CVertexMap& Map_;
    CQuadTreeNode* Cursor_ = nullptr;
    double MinGap_ = 0.0;
    std::vector<double> Ts_;
    std::vector<double> Kept_;
};

// Inserts the crossings into the rings of one polygon; the number inserted.
int64_t InsertIntoPolygon(CSimplePolygon& polygon, CCrossings& crossings, std::vector<double>& points)
{
    int64_t inserted = 0;
    bool changed = false;
    for (int32_t r = 0; r < polygon.RingCount(); ++r) {
        const CPolygonRing& ring = polygon.Ring(r);
        const int32_t n = ring.PointCount();
        // A ring of fewer than four points encloses nothing; it stays as the input has it.
        if (n < 4)
            continue;
        points.clear();
        const double* source = ring.Points();
        for (int32_t i = 0; i + 1 < n; ++i) {
            const CPoint2D p{source[2 * i], source[2 * i + 1]};
            const CPoint2D q{source[2 * i + 2], source[2 * i + 3]};
            points.push_back(p.X);
            points.push_back(p.Y);
            // Computed from the smaller end, so a border's two rings get the same bits.
            const bool forward = !(q < p);
            const CPoint2D a = forward ? p : q;
            const CPoint2D b = forward ? q : p;
            const std::vector<double>& ts = crossings.Of(a, b);
            for (size_t k = 0; k < ts.size(); ++k) {
                const double t = ts[forward ? k : ts.size() - 1 - k];
                points.push_back(a.X + t * (b.X - a.X));
                points.push_back(a.Y + t * (b.Y - a.Y));
            }
            inserted += static_cast<int64_t>(ts.size());
        }
        points.push_back(source[2 * (n - 1)]);
        points.push_back(source[2 * (n - 1) + 1]);
        const auto count = static_cast<int32_t>(points.size() / 2);
        if (count != n) {
            polygon.SetRingPoints(r, count, points.data());
            changed = true;
        }
    }
    if (changed)
        polygon.UpdateBoundingBox();
    return inserted;
}

} // namespace

int64_t InsertLeafCrossings(CPolygonLayer& layer, CQuadTree& tree, int threads)
{
    const CCurrentMapScope undeformed(&tree, UndeformedMap);
    struct CWorkerState {
        CCrossings Crossings;
        std::vector<double> Points;
    };
    return SumDealtOut(
        layer.Count(), MinPolygonsPerWorker, threads,
        [&tree] {
            return CWorkerState{CCrossings(tree), {}};
        },
        [&layer](CWorkerState& state, size_t i) {
            // Each polygon's search starts from the root: its points do not depend on the
            // polygons before it.
            state.Crossings.ResetCursor();
            return InsertIntoPolygon(layer.Polygon(static_cast<uint32_t>(i)), state.Crossings, state.Points);
        });
}

} // namespace tessaro
