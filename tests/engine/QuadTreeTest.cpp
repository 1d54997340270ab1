#include "engine/QuadTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <map>
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
    CQuadTree uniform, adaptive;
    ASSERT_TRUE(Build(uniform, 1.0, 6, points));
    CTreeRect rect{0, 1, 1, 0};
    ASSERT_TRUE(adaptive.BuildForPointsAdaptive(rect, 5, 600, points.data(), depths.data()));
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

// The transformation collects the grid, displaces it and stores it back by id; what does not pair
// up is refused. Clear starts a fresh tree.
TEST(QuadTree, StoredPointsPairWithCollectedOnesAndClearStartsAFreshTree)
{
    CQuadTree tree;
    ASSERT_TRUE(Build(tree, 1.0, 3, {0.1, 0.1, 0.8, 0.3, 0.4, 0.9}));
    ASSERT_EQ(tree.DuplicateMap(true), 1);
    std::vector<double> points, displaced, unused;
    const int count = tree.CollectPoints(points, 0, -1);
    ASSERT_EQ(count, tree.NextVertexId);
    for (size_t k = 0; k < points.size(); ++k)
        points[k] = k % 2 == 0 ? points[k] + 10.0 : 2.0 * points[k];
    ASSERT_EQ(tree.StorePoints(points, 1, -1), count);
    for (int id = 0; id < count; ++id)
        EXPECT_EQ(At(tree, id, 1), (CPoint2D{At(tree, id, 0).X + 10.0, 2.0 * At(tree, id, 0).Y})) << id;
    EXPECT_EQ(tree.CollectPoints(displaced, 1, 0), count);
    EXPECT_EQ(displaced, points);
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

} // namespace
} // namespace tessaro
