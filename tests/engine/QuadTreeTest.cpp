// The quadtree over a map's vertices and the transformation that carries vertices through its
// displaced grid.
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace tessaro {

static bool operator==(const CPoint2D& a, const CPoint2D& b) { return a.X == b.X && a.Y == b.Y; }

namespace {

// Points in every finest cell of a depth-d tree over (0,0)-(side,side): a uniform tree.
std::vector<double> CellCentres(int depth, double side)
{
    const int cells = 1 << depth;
    const double step = side / cells;
    std::vector<double> points;
    for (int i = 0; i < cells; ++i)
        for (int j = 0; j < cells; ++j)
            points.insert(points.end(), {(i + 0.5) * step, (j + 0.5) * step});
    return points;
}

bool Build(CQuadTree& tree, double side, int depth, const std::vector<double>& points)
{
    CTreeRect rect{0.0, side, side, 0.0};
    return tree.BuildForPoints(rect, depth, static_cast<int>(points.size() / 2), points.data());
}

CPoint2D At(const CQuadTree& tree, int id, int map = 0)
{
    const CPoint2D* p = tree.Map(map)->Find(id);
    return p != nullptr ? *p : CPoint2D{NAN, NAN};
}

const CQuadTreeNode* Child(const CQuadTreeNode& node, int slot)
{
    return node.Children[static_cast<size_t>(slot)].get();
}

// Children sit in the slots bottom-left, top-left, top-right, bottom-right, their corners in
// the same order. A uniform tree of depth d has exactly (2^d + 1)^2 grid vertices when every
// side shared by two cells of one depth shares its midpoint; beside a coarser cell the midpoint
// hangs, a vertex of its own.
TEST(QuadTree, ChildrenAreTheQuadrantsAndSameDepthNeighboursShareMidpoints)
{
    CQuadTree one;
    ASSERT_TRUE(Build(one, 2.0, 1, {0.5, 0.5}));
    const double lefts[] = {0, 0, 1, 1}, bottoms[] = {0, 1, 1, 0};
    for (int slot = 0; slot < 4; ++slot) {
        const CQuadTreeNode* child = Child(one, slot);
        std::vector<CPoint2D> corners;
        ASSERT_EQ(one.NodeCorners(child, corners, 0), 4);
        const double x = lefts[slot], y = bottoms[slot];
        EXPECT_EQ(corners, (std::vector<CPoint2D>{{x, y}, {x, y + 1}, {x + 1, y + 1}, {x + 1, y}})) << slot;
        EXPECT_TRUE(child->Depth == 1 && child->Parent == &one && child->Tree == &one) << slot;
        EXPECT_EQ(CQuadTree::ChildIndex(child), slot);
    }
    EXPECT_EQ(CQuadTree::ChildIndex(&one), -1);

    for (int depth : {1, 2, 3, 5}) {
        CQuadTree tree;
        ASSERT_TRUE(Build(tree, 1.0, depth, CellCentres(depth, 1.0)));
        const int lines = (1 << depth) + 1;
        EXPECT_EQ(tree.NextVertexId, lines * lines) << "depth " << depth;
    }
    // Split the two bottom quadrants of (0,0)-(4,4): their common side's midpoint (2,1) is one id;
    // the midpoint (1,2) under the coarse top-left quadrant is a hanging vertex of its own.
    CQuadTree tree;
    ASSERT_TRUE(Build(tree, 4.0, 2, {0.5, 0.5, 3.5, 0.5}));
    EXPECT_EQ(tree.NextVertexId, 9 + 5 + 4);
    std::set<std::pair<double, double>> positions;
    tree.Map(0)->ForEach([&](int, const CPoint2D& p) { positions.insert({p.X, p.Y}); });
    EXPECT_EQ(positions.size(), tree.Map(0)->Size()) << "a grid position has two ids";
    const CQuadTreeNode* topLeft = Child(tree, 1);
    EXPECT_TRUE(topLeft->IsLeaf());
    const int hanging = Child(*Child(tree, 0), 2)->TopLeft; // top midpoint of the bottom-left quadrant
    EXPECT_EQ(At(tree, hanging), (CPoint2D{1.0, 2.0}));
    for (int corner : {topLeft->BottomLeft, topLeft->TopLeft, topLeft->TopRight, topLeft->BottomRight})
        EXPECT_NE(corner, hanging);
}

TEST(QuadTree, ContainmentTakesLeftAndBottomEdgesOnly)
{
    CQuadTree tree;
    ASSERT_TRUE(Build(tree, 1.0, 1, {0.25, 0.25}));
    const struct { double X, Y; bool Inside; } cases[] = {{1.0, 0.5, false}, {0.0, 0.5, true},     {0.5, 1.0, false},    {0.5, 0.0, true},
                 {0.0, 0.0, true},  {-1e-12, 0.5, false}, {0.5, -1e-12, false}, {0.999999, 0.999999, true}};
    for (const auto& c : cases) {
        EXPECT_EQ(tree.Contains(&tree, c.X, c.Y), c.Inside) << c.X << ", " << c.Y;
        EXPECT_EQ(tree.FindLeaf(&tree, c.X, c.Y) != nullptr, c.Inside) << c.X << ", " << c.Y;
    }
    // The shared side x = 0.5 belongs to the right-hand cell.
    EXPECT_EQ(tree.FindLeaf(&tree, 0.5, 0.25), Child(tree, 3));
}

TEST(QuadTree, NeighbourIsTheSameDepthCellAcrossEachSide)
{
    // Checked against geometry on every depth-2 node: the neighbour's bottom-left corner is one
    // cell away, or there is none at the border.
    CQuadTree tree;
    ASSERT_TRUE(Build(tree, 4.0, 2, CellCentres(2, 4.0)));
    const std::map<char, std::pair<double, double>> offsets{{'l', {-1, 0}}, {'r', {1, 0}}, {'t', {0, 1}}, {'b', {0, -1}}};
    int found = 0;
    for (const auto& quadrant : tree.Children)
        for (const auto& node : quadrant->Children)
            for (const auto& [direction, offset] : offsets) {
                const CPoint2D bl = At(tree, node->BottomLeft);
                const double x = bl.X + offset.first, y = bl.Y + offset.second;
                const bool inside = x >= 0 && x < 4 && y >= 0 && y < 4;
                for (char letter : {direction, static_cast<char>(std::toupper(direction))}) {
                    const CQuadTreeNode* neighbour = CQuadTree::Neighbour(node.get(), letter);
                    ASSERT_EQ(neighbour != nullptr, inside) << bl.X << ", " << bl.Y << " " << letter;
                    if (neighbour == nullptr)
                        continue;
                    ++found;
                    EXPECT_EQ(neighbour->Depth, 2);
                    EXPECT_EQ(At(tree, neighbour->BottomLeft), (CPoint2D{x, y}));
                }
            }
    EXPECT_EQ(found, 2 * 48);
    EXPECT_EQ(CQuadTree::Neighbour(&tree, 'l'), nullptr);
    EXPECT_EQ(CQuadTree::Neighbour(Child(tree, 0), 'x'), nullptr);

    // Across a coarser leaf there is no same-depth neighbour.
    CQuadTree partial;
    ASSERT_TRUE(Build(partial, 4.0, 2, {0.5, 0.5}));
    EXPECT_EQ(CQuadTree::Neighbour(Child(*Child(partial, 0), 3), 'r'), nullptr);
    EXPECT_EQ(CQuadTree::Neighbour(Child(partial, 0), 'r'), Child(partial, 3));
}

// The build squares the caller's rectangle by widening its shorter side about the centre, and
// refuses a flat rectangle or a depth below one, leaving the tree a single leaf.
TEST(QuadTree, BuildSquaresTheRectangleAndRefusesDegenerateInput)
{
    const std::array<CTreeRect, 2> cases[] = {
        {{{0, 2, 4, 0}, {0, 3, 4, -1}}}, {{{0, 4, 2, 0}, {-1, 4, 3, 0}}}, {{{1, 3, 3, 1}, {1, 3, 3, 1}}}};
    for (auto [rect, out] : cases) {
        CQuadTree tree;
        const double point[] = {rect.Left, rect.Bottom};
        ASSERT_TRUE(tree.BuildForPoints(rect, 3, 1, point));
        EXPECT_TRUE(rect.Left == out.Left && rect.Top == out.Top && rect.Right == out.Right && rect.Bottom == out.Bottom)
            << rect.Left << " " << rect.Top << " " << rect.Right << " " << rect.Bottom;
    }
    CQuadTree tree;
    const double point[] = {0.5, 0.5};
    CTreeRect flat{0, 1, 0, 0}, rect{0, 1, 2, 0};
    EXPECT_FALSE(tree.BuildForPoints(flat, 3, 1, point));
    EXPECT_FALSE(tree.BuildForPoints(rect, 0, 1, point));
    EXPECT_TRUE(tree.IsLeaf());
}

TEST(QuadTree, LeavesTileTheRootAndReachEachPointsDepth)
{
    std::mt19937 random(5);
    std::normal_distribution<double> spread(0.0, 0.08);
    std::vector<double> points;
    std::vector<int> depths;
    for (int k = 0; k < 600; ++k) {
        const double cx = k < 300 ? 0.3 : 0.7;
        points.push_back(std::clamp(cx + spread(random), 0.0, 0.999));
        points.push_back(std::clamp(cx + spread(random), 0.0, 0.999));
        depths.push_back(2 + k % 5);
    }
    // Points on the centre lines of the nodes above them belong to the quadrant above or to the
    // right, where the build must split too.
    for (const auto& [x, y] : {std::pair{0.5, 0.5}, {0.25, 0.625}, {0.8125, 0.375}, {0.0, 0.5}}) {
        points.insert(points.end(), {x, y});
        depths.push_back(5);
    }
    CQuadTree uniform, adaptive;
    ASSERT_TRUE(Build(uniform, 1.0, 6, points));
    CTreeRect rect{0, 1, 1, 0};
    ASSERT_TRUE(
        adaptive.BuildForPointsAdaptive(rect, 5, static_cast<int>(depths.size()), points.data(), depths.data()));
    for (size_t k = 0; k < depths.size(); ++k) {
        const CQuadTreeNode* leaf = adaptive.FindLeaf(&adaptive, points[2 * k], points[2 * k + 1]);
        ASSERT_NE(leaf, nullptr);
        EXPECT_GE(leaf->Depth, std::min(5, depths[k]));
        EXPECT_EQ(uniform.FindLeaf(&uniform, points[2 * k], points[2 * k + 1])->Depth, 6);
    }
    // Leaves come breadth-first and tile the root: their areas add up and every sample point
    // lies in exactly one.
    std::vector<const CQuadTreeNode*> leaves;
    adaptive.Leaves(leaves);
    double area = 0.0;
    std::vector<CPoint2D> corners;
    for (size_t k = 0; k < leaves.size(); ++k) {
        EXPECT_TRUE(k == 0 || leaves[k - 1]->Depth <= leaves[k]->Depth);
        ASSERT_EQ(adaptive.NodeCorners(leaves[k], corners, 0), 4);
        area += (corners[2].X - corners[0].X) * (corners[2].Y - corners[0].Y);
    }
    EXPECT_NEAR(area, 1.0, 1e-9);
    std::uniform_real_distribution<double> coordinate(0.0, 1.0);
    for (int k = 0; k < 2000; ++k) {
        const double x = coordinate(random), y = coordinate(random);
        ASSERT_EQ(std::count_if(leaves.begin(), leaves.end(), [&](const CQuadTreeNode* leaf) { return adaptive.Contains(leaf, x, y); }), 1)
            << x << ", " << y;
    }
}

// The leaves tile the root exactly only while every grid line holds one coordinate: a vertex
// on a line between leaves of different depths must belong to one of them, or a ring point
// crossing there would be moved by none. The tree here sits far from the origin on a side that
// is no power of two (its midpoints round), with leaves of many depths side by side; every grid
// vertex, and a point on each leaf's bottom and left sides, lies in exactly one leaf's half-open
// box, the one FindLeaf finds.
TEST(QuadTree, OnAnOffsetUnevenTreeEveryGridVertexLiesInExactlyOneLeaf)
{
    std::mt19937 random(11);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double x0 = 1.0e7 + 0.1, y0 = -3.3e6 + 0.7, side = 3.7e5 / 3.0;
    std::vector<double> points;
    std::vector<int> depths;
    for (int k = 0; k < 400; ++k) {
        const double u = unit(random), v = unit(random);
        points.insert(points.end(), {x0 + side * u * u, y0 + side * v * u});
        depths.push_back(1 + k % 9);
    }
    CQuadTree tree;
    CTreeRect rect{x0, y0 + side, x0 + side, y0};
    ASSERT_TRUE(tree.BuildForPointsAdaptive(rect, 9, static_cast<int>(depths.size()), points.data(), depths.data()));
    // Every grid vertex, and the midpoint of each leaf's bottom and left sides.
    std::vector<CPoint2D> probes;
    tree.Map(UndeformedMap)->ForEach([&](int, const CPoint2D& p) { probes.push_back(p); });
    std::vector<const CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    std::array<CPoint2D, 4> c{};
    for (const CQuadTreeNode* leaf : leaves) {
        ASSERT_TRUE(tree.NodeCorners(leaf, c, UndeformedMap));
        probes.push_back({0.5 * (c[0].X + c[2].X), c[0].Y});
        probes.push_back({c[0].X, 0.5 * (c[0].Y + c[2].Y)});
    }
    std::array<CPoint2D, 4> root{};
    ASSERT_TRUE(tree.NodeCorners(&tree, root, UndeformedMap));
    for (const CPoint2D& p : probes) {
        std::vector<const CQuadTreeNode*> holders;
        for (const CQuadTreeNode* leaf : leaves)
            if (tree.Contains(leaf, p.X, p.Y))
                holders.push_back(leaf);
        const CQuadTreeNode* found = tree.FindLeaf(&tree, p.X, p.Y);
        const bool onRoot = p.X == root[2].X || p.Y == root[2].Y; // the root's right and top sides
        ASSERT_EQ(holders.size(), onRoot ? 0u : 1u) << p.X << ", " << p.Y;
        EXPECT_EQ(found, holders.empty() ? nullptr : holders.front()) << p.X << ", " << p.Y;
    }
    EXPECT_GT(leaves.size(), 200u);
}

// What does not pair up with the stored maps is refused; Clear starts a fresh tree. (Collecting
// and storing by id is what every transformer test below builds its displaced map with.)
TEST(QuadTree, StoringRefusesWhatDoesNotPairUpAndClearStartsAFreshTree)
{
    CQuadTree tree;
    ASSERT_TRUE(Build(tree, 1.0, 3, {0.1, 0.1, 0.8, 0.3, 0.4, 0.9}));
    ASSERT_EQ(tree.DuplicateMap(true), 1);
    std::vector<double> points, unused;
    ASSERT_EQ(tree.CollectPoints(points, 0, -1), tree.NextVertexId);
    EXPECT_EQ(tree.CollectPoints(unused, 7), -1);
    EXPECT_EQ(tree.StorePoints(points, 7), -1);
    EXPECT_EQ(tree.StorePoints({1.0, 2.0}, 1), -1) << "a short buffer is refused";
    EXPECT_EQ(tree.DuplicateMap(false), 2);
    EXPECT_EQ(tree.CollectPoints(unused, 2, 0), -1) << "map 2 lacks every key of map 0";

    tree.CurrentMap = 1;
    tree.Clear();
    EXPECT_TRUE(tree.IsLeaf() && tree.VertexMaps.size() == 1u && tree.Map(0)->Size() == 0u);
    EXPECT_TRUE(tree.NextVertexId == 0 && tree.CurrentMap == 0 && tree.BottomLeft == -1);
}

using Deformation = std::function<CPoint2D(const CPoint2D&)>;
const Deformation Identity = [](const CPoint2D& p) { return p; };

// A tree over (0,0)-(1,1) refined along `points` to `depth`, with map 1 = f(map 0).
void BuildDeformed(CQuadTree& tree, int depth, const std::vector<double>& points, const Deformation& f)
{
    ASSERT_TRUE(Build(tree, 1.0, depth, points));
    ASSERT_EQ(tree.DuplicateMap(true), 1);
    std::vector<double> grid;
    tree.CollectPoints(grid, 0);
    for (size_t k = 0; k < grid.size(); k += 2) {
        const CPoint2D moved = f({grid[k], grid[k + 1]});
        grid[k] = moved.X, grid[k + 1] = moved.Y;
    }
    ASSERT_GT(tree.StorePoints(grid, 1), 0);
}

// A few hundred closed rings of random radius across the unit square, like a map's polygons.
std::vector<double> RandomRings(int rings, int perRing, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> centre(0.1, 0.9), radius(0.005, 0.08);
    std::vector<double> points;
    for (int r = 0; r < rings; ++r) {
        const double cx = centre(random), cy = centre(random), rad = radius(random);
        for (int k = 0; k < perRing; ++k) {
            const double angle = -2.0 * std::numbers::pi * (k % (perRing - 1)) / (perRing - 1); // clockwise, closed
            const double wobble = 1.0 + 0.2 * std::sin(5.0 * angle + r);
            points.insert(points.end(), {cx + rad * wobble * std::cos(angle), cy + rad * wobble * std::sin(angle)});
        }
    }
    return points;
}

// A smooth displacement, fixed on the border, whose Jacobian stays positive.
CPoint2D Swirl(const CPoint2D& p)
{
    const double pi = std::numbers::pi, bump = std::sin(pi * p.X) * std::sin(pi * p.Y);
    return {p.X + 0.06 * bump * std::sin(2.0 * pi * p.Y), p.Y + 0.06 * bump * std::cos(3.0 * pi * p.X)};
}

// threads == 0 runs the single-threaded form.
std::vector<double> Transformed(CQuadTree& tree, const std::vector<double>& in, int threads = 0, bool useCache = true,
                                int searchLevels = 3, bool expectHandled = true, bool privateCaches = false)
{
    std::vector<double> out = in;
    CQuadTreeTransformer transformer(&tree);
    const int n = static_cast<int>(in.size() / 2);
    CTransformOptions options{.UseCache = useCache, .SearchLevels = searchLevels, .Threads = threads};
    options.PrivateCaches = privateCaches;
    EXPECT_EQ(threads == 0 ? transformer.TransformVertices(in.data(), n, out.data(), options)
                           : transformer.TransformVerticesParallel(in.data(), n, out.data(), options),
              expectHandled);
    return out;
}

// The bottom-left leaf of a depth-1 tree over (0,0)-(1,1) has corner ids 0, 4, 8, 5. Only its
// corners move, so it is a non-affine quadrilateral cut along one diagonal; a vertex on the
// diagonal, or a hair to either side of it, follows that diagonal.
TEST(QuadTreeTransformer, TheDiagonalStartsAtTheFirstCornerOfAtLeastARightAngle)
{
    const struct {
        std::array<CPoint2D, 4> Displaced; // BottomLeft, TopLeft, TopRight, BottomRight
        CPoint2D DiagonalEnd;              // the image of (0.5, 0.5) seen from the diagonal's start
        bool FromCornerZero;
    } cases[] = {
        {{{{0, 0}, {0, 0.5}, {0.6, 0.55}, {0.5, 0}}}, {0.6, 0.55}, true}, // only the centre vertex moved
        {{{{0, 0}, {0, 0.5}, {0.5, 1.0}, {0.5, 0}}}, {0.5, 1.0}, true},   // 90 degrees at corner 0, 135 at 1
        {{{{0, 0}, {0.25, 0.5}, {0.5, 0.5}, {0.5, 0}}}, {0.5, 0.0}, false}, // acute corner 0, obtuse 1
        {{{{0.1, 0.1}, {0.1, 0.4}, {0.4, 0.4}, {0.4, 0.1}}}, {0.4, 0.4}, true}, // a displaced square
    };
    for (const auto& c : cases)
        for (bool useCache : {true, false}) {
            SCOPED_TRACE(testing::Message() << c.DiagonalEnd.X << ", " << c.DiagonalEnd.Y << " cache " << useCache);
            CQuadTree tree;
            BuildDeformed(tree, 1, {0.25, 0.25}, Identity);
            const int ids[4] = {0, 4, 8, 5};
            for (size_t k = 0; k < 4; ++k)
                tree.Map(1)->Set(ids[k], c.Displaced[k]);
            // Along the diagonal from corner 0 (to corner 2) or from corner 1 (to corner 3).
            const CPoint2D from = c.FromCornerZero ? c.Displaced[0] : c.Displaced[1];
            for (double t : {0.1, 0.5, 0.9}) {
                const double u = 0.5 * t, v = c.FromCornerZero ? u : 0.5 - u, e = 1e-9, f = c.FromCornerZero ? -e : e;
                const std::vector<double> out = Transformed(tree, {u, v, u + f, v + e, u - f, v - e}, 0, useCache);
                EXPECT_NEAR(out[0], from.X + t * (c.DiagonalEnd.X - from.X), 1e-12) << t;
                EXPECT_NEAR(out[1], from.Y + t * (c.DiagonalEnd.Y - from.Y), 1e-12) << t;
                for (size_t k = 2; k < out.size(); ++k)
                    EXPECT_NEAR(out[k], out[k % 2], 1e-8) << "either side of the diagonal, t = " << t;
            }
        }
}

TEST(QuadTreeTransformer, VerticesOutsideTheRootStayAndFailuresRestoreTheCurrentMap)
{
    CQuadTree tree;
    BuildDeformed(tree, 2, {0.3, 0.6}, [](const CPoint2D& p) { return CPoint2D{p.X + 1, p.Y}; });
    tree.CurrentMap = 1;
    const std::vector<double> in{-0.5, 0.5, 1.0, 0.5, 0.5, 1.0, 0.5, 0.5};
    const std::vector<double> out = Transformed(tree, in);
    EXPECT_EQ(std::vector<double>(out.begin(), out.begin() + 6), std::vector<double>(in.begin(), in.begin() + 6));
    EXPECT_NEAR(out[6], 1.5, 1e-12);
    EXPECT_EQ(tree.CurrentMap, 1);

    // A displaced map without the leaf's corners stops the call, for either form.
    tree.VertexMaps[1].Clear();
    for (int threads : {0, 2}) {
        EXPECT_EQ(Transformed(tree, in, threads, true, 3, false), in);
        EXPECT_EQ(tree.CurrentMap, 1);
    }
    double point[2] = {0.5, 0.5};
    EXPECT_FALSE(CQuadTreeTransformer(&tree).TransformVertices(point, 0, point, CTransformOptions{}));
}

double SignedArea(const std::vector<double>& p, size_t a, size_t b, size_t c)
{
    return (p[2 * b] - p[2 * a]) * (p[2 * c + 1] - p[2 * a + 1]) - (p[2 * c] - p[2 * a]) * (p[2 * b + 1] - p[2 * a + 1]);
}

// A fine triangulated lattice that crosses cell sides and diagonals everywhere and refines the
// tree uniformly to depth 5: no triangle of it may flip.
TEST(QuadTreeTransformer, SmoothDisplacementFlipsNoTriangle)
{
    const int side = 150;
    std::vector<double> lattice;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            lattice.insert(lattice.end(), {0.003 + 0.994 * i / (side - 1), 0.002 + 0.994 * j / (side - 1)});
    CQuadTree tree;
    BuildDeformed(tree, 5, lattice, Swirl);
    ASSERT_EQ(tree.NextVertexId, 33 * 33) << "a uniform depth-5 tree";
    const std::vector<double> out = Transformed(tree, lattice);
    int flipped = 0;
    for (int i = 0; i + 1 < side; ++i)
        for (int j = 0; j + 1 < side; ++j) {
            const size_t a = static_cast<size_t>(i * side + j), b = a + static_cast<size_t>(side), c = a + 1, d = b + 1;
            flipped += SignedArea(out, a, b, c) * SignedArea(lattice, a, b, c) <= 0.0 ? 1 : 0;
            flipped += SignedArea(out, b, d, c) * SignedArea(lattice, b, d, c) <= 0.0 ? 1 : 0;
        }
    EXPECT_EQ(flipped, 0);
}

// Neither the thread count, nor the cache, nor the cursor search depth changes a bit.
TEST(QuadTreeTransformerParallel, EveryThreadCountCacheAndSearchDepthGivesTheSameBits)
{
    CQuadTree tree;
    const std::vector<double> rings = RandomRings(300, 80, 21); // 24,000 vertices
    BuildDeformed(tree, 6, rings, Swirl);
    const std::vector<double> single = Transformed(tree, rings);
    ASSERT_NE(single, rings);
    // The rings wander over the tree's leaves, more than the 1,024 a worker keeps views of, and
    // come back: views are taken over by other leaves and loaded again.
    ASSERT_GT(tree.Map(0)->Size(), 2048u);
    for (int threads : {0, 1, 2, 3, 8})
        for (bool useCache : {true, false})
            for (bool privateCaches : {false, true})
                for (int levels : {0, 1, 2, 3, 6}) {
                    const std::vector<double> other =
                        Transformed(tree, rings, threads, useCache, levels, true, privateCaches);
                    EXPECT_EQ(std::memcmp(other.data(), single.data(), single.size() * sizeof(double)), 0)
                        << threads << " threads, cache " << useCache << ", private " << privateCaches << ", " << levels
                        << " search levels";
                }
    // A vertex transformed alone, with no view kept from any other leaf, lands where the whole
    // pass put it.
    for (size_t k = 0; k + 1 < rings.size(); k += 2 * 23) {
        const std::vector<double> alone = Transformed(tree, {rings[k], rings[k + 1]});
        EXPECT_EQ(alone[0], single[k]);
        EXPECT_EQ(alone[1], single[k + 1]);
    }
    EXPECT_EQ(tree.CurrentMap, 0);
    const std::vector<double> few{0.3, 0.7, 0.71, 0.2}; // fewer vertices than workers
    EXPECT_EQ(Transformed(tree, few, 8), Transformed(tree, few));
}

} // namespace
} // namespace tessaro
