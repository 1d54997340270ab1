#include "engine/GridDisplacement.h"

#include "engine/ParallelWorkers.h"
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"
#include "geometry/GeometryPrimitives.h"

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// Passes of the local guard over the triangles before it falls back on one step for all.
constexpr int LocalGuardPasses = 24;
// A vertex held back is held back a little more than its worst triangle needs, so that the next
// pass does not find the same triangle a rounding error short.
constexpr double HoldBackMargin = 0.95;
// Below these many per worker, triangles are looked at, leaves given their diagonals and nodes
// searched for hanging vertices on fewer threads.
constexpr size_t MinTrianglesPerWorker = 16384;
constexpr size_t MinLeavesPerWorker = 16384;
constexpr size_t MinNodesPerWorker = 4096;

enum Side { LeftSide, BottomSide, TopSide, RightSide };

// The two corner ids at the ends of a node's side and the id of the side's midpoint, which its
// children hold as a corner.
struct CSideIds {
    int First;
    int Second;
    int Middle;
};

CSideIds SideIds(const CQuadTreeNode& node, Side side)
{
    const auto& bottomLeftChild = *node.Children[0];
    const auto& topRightChild = *node.Children[2];
    switch (side) {
    case LeftSide:
        return {node.BottomLeft, node.TopLeft, bottomLeftChild.TopLeft};
    case BottomSide:
        return {node.BottomLeft, node.BottomRight, bottomLeftChild.BottomRight};
    case TopSide:
        return {node.TopLeft, node.TopRight, topRightChild.TopLeft};
    case RightSide:
        return {node.TopRight, node.BottomRight, topRightChild.BottomRight};
    }
    return {-1, -1, -1};
}

constexpr char SideLetter(Side side)
{
    return side == LeftSide ? 'l' : side == BottomSide ? 'b' : side == TopSide ? 't' : 'r';
}

// Whether a node's side lies on the border of the root, where no coarser leaf can lie across.
bool OnRootBorder(const CQuadTree& tree, const CQuadTreeNode& node, Side side)
{
    const CVertexMap& map = tree.VertexMaps[UndeformedMap];
    const CPoint2D* rootBottomLeft = map.Find(tree.BottomLeft);
    const CPoint2D* rootTopRight = map.Find(tree.TopRight);
    const CPoint2D* bottomLeft = map.Find(node.BottomLeft);
    const CPoint2D* topRight = map.Find(node.TopRight);
    if (rootBottomLeft == nullptr || rootTopRight == nullptr || bottomLeft == nullptr || topRight == nullptr)
        return true;
    switch (side) {
    case LeftSide:
        return bottomLeft->X == rootBottomLeft->X;
    case BottomSide:
        return bottomLeft->Y == rootBottomLeft->Y;
    case TopSide:
        return topRight->Y == rootTopRight->Y;
    case RightSide:
        return topRight->X == rootTopRight->X;
    }
    return true;
}

std::array<int, 4> CornerIds(const CQuadTreeNode& leaf)
{
    return {leaf.BottomLeft, leaf.TopLeft, leaf.TopRight, leaf.BottomRight};
}

} // namespace

CGridDisplacement::CGridDisplacement(std::vector<double> displacement, int threads)
    : D_(std::move(displacement)), E_(D_), HangingIndex_(D_.size() / 2, -1), Held_(D_.size() / 2, 1.0),
      Threads_(threads)
{
}

void CGridDisplacement::ApplyHangingContinuity(const CQuadTree& tree)
{
    Hanging_.clear();
    std::fill(HangingIndex_.begin(), HangingIndex_.end(), -1);
    const size_t count = D_.size() / 2;
    // Breadth first, a depth at a time: a node's corners belong to shallower nodes, whose sides
    // were settled first. The nodes of one depth are looked at on every thread, each chunk's
    // hanging vertices joined in the nodes' order.
    std::vector<const CQuadTreeNode*> level{&tree};
    while (!level.empty()) {
        const std::vector<CWorkChunk> chunks =
            SplitIntoChunks(level.size(), WorkersFor(level.size(), MinNodesPerWorker, Threads_));
        std::vector<std::vector<CHanging>> found(chunks.size());
        RunChunks(chunks, [&](size_t w, size_t k) { AppendHangingSides(tree, *level[k], count, found[w]); });
        for (const std::vector<CHanging>& part : found)
            for (const CHanging& hanging : part)
                if (HangingIndex_[hanging.Middle] < 0) {
                    HangingIndex_[hanging.Middle] = static_cast<int>(Hanging_.size());
                    Hanging_.push_back(hanging);
                }
        std::vector<const CQuadTreeNode*> next;
        for (const CQuadTreeNode* node : level)
            if (!node->IsLeaf())
                for (const auto& child : node->Children)
                    next.push_back(child.get());
        level = std::move(next);
    }
    Settle(D_);
    E_ = D_;
}

// Appends the midpoints of the node's sides that hang: across a side, a same-depth node that is
// split shares the midpoint as a corner; a leaf there, or a coarser leaf (no same-depth node),
// has it hanging on its side. Ids from `count` on are passed over.
void CGridDisplacement::AppendHangingSides(const CQuadTree& tree, const CQuadTreeNode& node, size_t count,
                                           std::vector<CHanging>& found)
{
    if (node.IsLeaf())
        return;
    for (const Side side : {LeftSide, BottomSide, TopSide, RightSide}) {
        const CQuadTreeNode* across = CQuadTree::Neighbour(&node, SideLetter(side));
        if ((across != nullptr && !across->IsLeaf()) || OnRootBorder(tree, node, side))
            continue;
        const CSideIds ids = SideIds(node, side);
        const auto a = static_cast<size_t>(ids.First), b = static_cast<size_t>(ids.Second),
                   m = static_cast<size_t>(ids.Middle);
        if (std::max({a, b, m}) < count)
            found.push_back({m, a, b});
    }
}

// Puts every hanging vertex at the mean of its side's ends, in the order they were found.
void CGridDisplacement::Settle(std::vector<double>& displacement) const
{
    for (const CHanging& h : Hanging_)
        for (size_t axis = 0; axis < 2; ++axis)
            displacement[2 * h.Middle + axis] = (displacement[2 * h.First + axis] + displacement[2 * h.Second + axis]) / 2.0;
}

double CGridDisplacement::FirstDrop(double b, double c, double ratio, double limit)
{
    // g(t) = c t^2 + b t + (1 - ratio), positive at 0; its smallest positive root, if any.
    const double g0 = 1.0 - ratio;
    double root = limit;
    const auto consider = [&root](double t) {
        if (t > 0.0 && t < root)
            root = t;
    };
    if (c == 0.0) {
        if (b < 0.0)
            consider(g0 / -b);
        return root;
    }
    const double discriminant = b * b - 4.0 * c * g0;
    if (discriminant < 0.0)
        return root;
    // The cancellation-free pair of roots.
    const double q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
    if (q != 0.0) {
        consider(q / c);
        consider(g0 / q);
    }
    return root;
}

void CGridDisplacement::FixSplits(CQuadTree& tree, double step)
{
    Positions_.assign(D_.size(), 0.0);
    tree.VertexMaps[UndeformedMap].ForEach([this](int id, const CPoint2D& p) {
        const auto k = static_cast<size_t>(id);
        if (2 * k + 1 < Positions_.size()) {
            Positions_[2 * k] = p.X;
            Positions_[2 * k + 1] = p.Y;
        }
    });
    std::vector<CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    // Each leaf decides its own diagonal and triangles; the chunks' triangles join in leaf order.
    const std::vector<CWorkChunk> chunks =
        SplitIntoChunks(leaves.size(), WorkersFor(leaves.size(), MinLeavesPerWorker, Threads_));
    std::vector<std::vector<CTriangle>> parts(chunks.size());
    RunChunks(chunks, [&](size_t w, size_t k) {
        CQuadTreeNode& leaf = *leaves[k];
        leaf.SplitCorner = SplitCornerAt(leaf, step);
        AppendTriangles(leaf, parts[w]);
    });
    Triangles_.clear();
    for (const std::vector<CTriangle>& part : parts)
        Triangles_.insert(Triangles_.end(), part.begin(), part.end());
}

// The corner the leaf's diagonal starts from on the grid moved by `step`, or -1 when a corner
// has no displacement.
int CGridDisplacement::SplitCornerAt(const CQuadTreeNode& leaf, double step) const
{
    std::array<CPoint2D, 4> displaced{};
    const std::array<int, 4> ids = CornerIds(leaf);
    for (size_t k = 0; k < 4; ++k) {
        const auto id = static_cast<size_t>(ids[k]);
        if (ids[k] < 0 || 2 * id + 1 >= D_.size())
            return -1;
        displaced[k] = {Positions_[2 * id] + step * D_[2 * id], Positions_[2 * id + 1] + step * D_[2 * id + 1]};
    }
    return ChooseSplitCorner(displaced);
}

// Appends the leaf's two triangles by its diagonal, those of no area left out.
void CGridDisplacement::AppendTriangles(const CQuadTreeNode& leaf, std::vector<CTriangle>& triangles) const
{
    if (leaf.SplitCorner < 0)
        return;
    const std::array<int, 4> ids = CornerIds(leaf);
    for (int t = 0; t < 2; ++t) {
        const std::array<size_t, 3> corners = SplitTriangleCorners(leaf.SplitCorner, t);
        CTriangle triangle{};
        for (size_t k = 0; k < 3; ++k)
            triangle.Ids[k] = static_cast<size_t>(ids[corners[k]]);
        const auto& p = Positions_;
        const auto [i0, i1, i2] = triangle.Ids;
        triangle.Area = CrossProduct(p[2 * i1] - p[2 * i0], p[2 * i1 + 1] - p[2 * i0 + 1], p[2 * i2] - p[2 * i0],
                                     p[2 * i2 + 1] - p[2 * i0 + 1]);
        if (triangle.Area != 0.0)
            triangles.push_back(triangle);
    }
}

double CGridDisplacement::Drop(const CTriangle& triangle, double minAreaRatio) const
{
    const auto& p = Positions_;
    const auto& e = E_;
    const auto [i0, i1, i2] = triangle.Ids;
    // Twice the signed area at t: a0 + a1 t + a2 t^2.
    const double ax = p[2 * i1] - p[2 * i0], ay = p[2 * i1 + 1] - p[2 * i0 + 1];
    const double bx = p[2 * i2] - p[2 * i0], by = p[2 * i2 + 1] - p[2 * i0 + 1];
    const double cx = e[2 * i1] - e[2 * i0], cy = e[2 * i1 + 1] - e[2 * i0 + 1];
    const double dx = e[2 * i2] - e[2 * i0], dy = e[2 * i2 + 1] - e[2 * i0 + 1];
    const double a1 = CrossProduct(ax, ay, dx, dy) + CrossProduct(cx, cy, bx, by);
    const double a2 = CrossProduct(cx, cy, dx, dy);
    return FirstDrop(a1 / triangle.Area, a2 / triangle.Area, minAreaRatio, 1.0);
}

// Lowers the factor of a vertex to `drop` times what it is now, or, for a hanging vertex, those
// of the ends it follows.
void CGridDisplacement::HoldBack(size_t id, double drop, const std::vector<double>& factors,
                                 std::vector<double>& lowered) const
{
    if (const int hanging = HangingIndex_[id]; hanging >= 0) {
        HoldBack(Hanging_[static_cast<size_t>(hanging)].First, drop, factors, lowered);
        HoldBack(Hanging_[static_cast<size_t>(hanging)].Second, drop, factors, lowered);
        return;
    }
    lowered[id] = std::min(lowered[id], factors[id] * drop);
}

bool CGridDisplacement::Corner(int id, double& x, double& y) const
{
    const auto k = static_cast<size_t>(id);
    if (id < 0 || 2 * k + 1 >= Positions_.size())
        return false;
    x = Positions_[2 * k];
    y = Positions_[2 * k + 1];
    return true;
}

void CGridDisplacement::HoldCorner(int id)
{
    if (id < 0 || static_cast<size_t>(id) >= Held_.size())
        return;
    const auto k = static_cast<size_t>(id);
    Held_[k] = 0.0;
    HoldsAny_ = true;
    if (const int hanging = HangingIndex_[k]; hanging >= 0) {
        HoldCorner(static_cast<int>(Hanging_[static_cast<size_t>(hanging)].First));
        HoldCorner(static_cast<int>(Hanging_[static_cast<size_t>(hanging)].Second));
    }
}

CGridDisplacement::CHolds CGridDisplacement::TakeHolds()
{
    CHolds holds{std::vector<double>(Held_.size(), 1.0), false};
    std::swap(holds.Held, Held_);
    std::swap(holds.Any, HoldsAny_);
    return holds;
}

void CGridDisplacement::RestoreHolds(CHolds holds)
{
    if (holds.Held.size() != Held_.size())
        return;
    Held_ = std::move(holds.Held);
    HoldsAny_ = holds.Any;
}

void CGridDisplacement::HoldStill(const CQuadTree& tree, double minX, double minY, double maxX, double maxY)
{
    std::vector<const CQuadTreeNode*> stack{&tree};
    while (!stack.empty()) {
        const CQuadTreeNode& node = *stack.back();
        stack.pop_back();
        double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
        if (!Corner(node.BottomLeft, x0, y0) || !Corner(node.TopRight, x1, y1))
            continue;
        if (x1 < minX || x0 > maxX || y1 < minY || y0 > maxY)
            continue;
        if (node.IsLeaf()) {
            for (const int id : CornerIds(node))
                HoldCorner(id);
            continue;
        }
        for (const auto& child : node.Children)
            stack.push_back(child.get());
    }
}

double CGridDisplacement::Guard(const CQuadTree& /*tree*/, double step, FoldGuardKind kind, double minAreaRatio)
{
    // Held vertices start (and, the factors only falling, stay) at factor 0.
    std::vector<double> factors = Held_;
    ScaleEffective(factors, step);
    if (HoldsAny_)
        Settle(E_);
    if (kind == FoldGuardKind::None)
        return step;

    // Held vertices would make the triangles around them cap the whole grid's step; the grid
    // is then held back around them alone.
    if (kind == FoldGuardKind::Global && !HoldsAny_)
        return step * CapAll(minAreaRatio);

    // Local: every vertex of a triangle that would fall below the ratio somewhere on the way is
    // held back by what that triangle needs; the triangles around it are looked at again. A
    // triangle's drop depends on its corners' E alone, so a later pass looks only at the
    // triangles with a corner that moved, those held back included.
    std::vector<uint8_t> moved(factors.size(), 0);
    for (int pass = 0; pass < LocalGuardPasses; ++pass) {
        const std::vector<CShortfall> shortfalls = Shortfalls(minAreaRatio, pass == 0 ? nullptr : &moved);
        if (shortfalls.empty())
            return step;
        std::vector<double> lowered = factors;
        for (const CShortfall& shortfall : shortfalls)
            for (const size_t id : Triangles_[shortfall.Triangle].Ids)
                HoldBack(id, shortfall.Drop * HoldBackMargin, factors, lowered);
        factors = std::move(lowered);
        ApplyFactors(factors, step, moved);
        for (const CShortfall& shortfall : shortfalls)
            for (const size_t id : Triangles_[shortfall.Triangle].Ids)
                moved[id] = 1;
    }
    // Still short somewhere: one more factor for the whole grid makes every triangle keep it.
    return step * CapAll(minAreaRatio);
}

std::vector<CGridDisplacement::CShortfall> CGridDisplacement::Shortfalls(double minAreaRatio,
                                                                         const std::vector<uint8_t>* moved) const
{
    const std::vector<CWorkChunk> chunks =
        SplitIntoChunks(Triangles_.size(), WorkersFor(Triangles_.size(), MinTrianglesPerWorker, Threads_));
    std::vector<std::vector<CShortfall>> found(chunks.size());
    RunChunks(chunks, [&](size_t w, size_t i) {
        const CTriangle& triangle = Triangles_[i];
        if (moved != nullptr &&
            !std::any_of(triangle.Ids.begin(), triangle.Ids.end(), [&](size_t id) { return (*moved)[id] != 0; }))
            return;
        if (const double drop = Drop(triangle, minAreaRatio); drop < 1.0)
            found[w].push_back({i, drop});
    });
    std::vector<CShortfall> all;
    for (std::vector<CShortfall>& part : found)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

void CGridDisplacement::ScaleEffective(const std::vector<double>& factors, double step)
{
    for (size_t id = 0; id < factors.size(); ++id) {
        E_[2 * id] = factors[id] * step * D_[2 * id];
        E_[2 * id + 1] = factors[id] * step * D_[2 * id + 1];
    }
}

void CGridDisplacement::ApplyFactors(const std::vector<double>& factors, double step, std::vector<uint8_t>& moved)
{
    const std::vector<double> before = E_;
    ScaleEffective(factors, step);
    Settle(E_);
    for (size_t id = 0; id < factors.size(); ++id)
        moved[id] = E_[2 * id] != before[2 * id] || E_[2 * id + 1] != before[2 * id + 1] ? 1 : 0;
}

double CGridDisplacement::CapAll(double minAreaRatio)
{
    // The least of the triangles' drops, whatever the order they are taken in.
    const std::vector<CWorkChunk> chunks =
        SplitIntoChunks(Triangles_.size(), WorkersFor(Triangles_.size(), MinTrianglesPerWorker, Threads_));
    std::vector<double> caps(chunks.size(), 1.0);
    RunChunks(chunks, [&](size_t w, size_t i) { caps[w] = std::min(caps[w], Drop(Triangles_[i], minAreaRatio)); });
    const double cap = caps.empty() ? 1.0 : *std::min_element(caps.begin(), caps.end());
    for (double& e : E_)
        e *= cap;
    return cap;
}

void CGridDisplacement::StoreDisplaced(CQuadTree& tree, double t) const
{
    const CVertexMap& undeformed = tree.VertexMaps[UndeformedMap];
    CVertexMap& displaced = tree.VertexMaps[DisplacedMap];
    undeformed.ForEach([&](int id, const CPoint2D& p) {
        const auto k = static_cast<size_t>(id);
        if (2 * k + 1 < E_.size())
            displaced.Set(id, {p.X + t * E_[2 * k], p.Y + t * E_[2 * k + 1]});
    });
}

} // namespace tessaro
