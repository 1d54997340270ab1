#include "engine/ShrinkFloor.h"

#include "engine/GridDisplacement.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

namespace tessaro::test {
namespace {

// A U-shaped strip, clockwise: its arms run up the left and right of the unit square's middle,
// so its box holds a square that none of its edges comes near.
const std::vector<double> Strip{0.2,  0.2,  0.2, 0.8, 0.25, 0.8, 0.25, 0.25, 0.75,
                                0.25, 0.75, 0.8, 0.8, 0.8,  0.8, 0.2,  0.2,  0.2};

// The strip with its left arm pushed right by `push` at its outer side, tapering to nothing at
// x = 0.3: the arm narrows and the strip loses area.
std::vector<double> Squeezed(double push)
{
    std::vector<double> points = Strip;
    for (size_t k = 0; k < points.size(); k += 2)
        if (points[k] < 0.3)
            points[k] += push * (0.3 - points[k]) / 0.1;
    return points;
}

void SetStrip(CPolygonLayer& layer, const std::vector<double>& points)
{
    ASSERT_TRUE(layer.Polygon(0).SetRingPoints(0, static_cast<int32_t>(points.size() / 2), points.data()));
}

// Whether every corner of `leaf` is where it started.
bool Still(const CQuadTree& tree, const CQuadTreeNode* leaf)
{
    std::array<CPoint2D, 4> from{}, to{};
    EXPECT_TRUE(tree.NodeCorners(leaf, from, UndeformedMap));
    EXPECT_TRUE(tree.NodeCorners(leaf, to, DisplacedMap));
    for (size_t k = 0; k < from.size(); ++k)
        if (from[k].X != to[k].X || from[k].Y != to[k].Y)
            return false;
    return true;
}

// Whether the closed box of `leaf` meets the box spanned by a and b (an axis-parallel segment's
// own points).
bool Meets(const CQuadTree& tree, const CQuadTreeNode* leaf, CPoint2D a, CPoint2D b)
{
    std::array<CPoint2D, 4> c{};
    EXPECT_TRUE(tree.NodeCorners(leaf, c, UndeformedMap));
    double x0 = c[0].X, y0 = c[0].Y, x1 = c[0].X, y1 = c[0].Y;
    for (const CPoint2D& p : c) {
        x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
    }
    return std::max(a.X, b.X) >= x0 && std::min(a.X, b.X) <= x1 && std::max(a.Y, b.Y) >= y0 && std::min(a.Y, b.Y) <= y1;
}

// A polygon that must grow is found only when a try takes it below its floor, and once a round; it
// is then held by the leaves its edges pass through, all of them still, and not by its box: the
// leaves of the square inside the strip's box still move with the grid.
TEST(ShrinkFloor, HoldsASqueezedStripByTheLeavesUnderItsEdgesNotByItsBox)
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({Strip}));
    layer.Add(MakePolygon({SquarePoints(0.4, 0.4, 0.2)}));
    std::vector<double> areas(2);
    std::vector<CPoint2D> centroids(2);
    for (uint32_t i = 0; i < 2; ++i)
        ASSERT_TRUE(layer.Polygon(i).AreaAndCentroid(&centroids[i], &areas[i]));
    ASSERT_GT(areas[0], 0.0);
    const double stripArea = areas[0];
    RoundMeasures measures;
    measures.Ratios = {1.5, 0.8}; // the strip must grow, the square shrink
    const std::vector<uint8_t> wide(2, 0);
    const std::vector<double> fractions{0.8, 0.2}; // above the strip's share: the floor is under its start
    std::vector<double> firstShares;
    CShrinkFloor floor(layer, measures, 0.97, areas, wide, fractions, firstShares);

    const auto measured = [&] {
        for (uint32_t i = 0; i < 2; ++i)
            layer.Polygon(i).AreaAndCentroid(&centroids[i], &areas[i]);
        return areas;
    };
    // Losing half a per cent of its share keeps the strip above 0.97 of it; losing 5 % does not.
    EXPECT_TRUE(floor.Watching());
    SetStrip(layer, Squeezed(0.004));
    EXPECT_FALSE(floor.FindBelowFloor(measured()));
    SetStrip(layer, Squeezed(0.04));
    ASSERT_TRUE(floor.FindBelowFloor(measured()));
    EXPECT_LT(areas[0], 0.9 * stripArea);
    EXPECT_FALSE(floor.FindBelowFloor(measured())) << "found once a round";
    SetStrip(layer, Strip);

    // Leaves of 1/64 over the unit square; the grid moves everything by (0.01, 0.01).
    std::vector<double> points;
    for (int i = 0; i < 64; ++i)
        for (int j = 0; j < 64; ++j)
            points.insert(points.end(), {(i + 0.5) / 64.0, (j + 0.5) / 64.0});
    CQuadTree tree;
    CTreeRect rect{0.0, 1.0, 1.0, 0.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 6, static_cast<int>(points.size() / 2), points.data()));
    tree.DuplicateMap(true);
    CGridDisplacement grid(std::vector<double>(2 * static_cast<size_t>(tree.NextVertexId), 0.01));
    grid.ApplyHangingContinuity(tree);
    grid.FixSplits(tree, 1.0);
    floor.HoldFound(grid, tree);
    ASSERT_TRUE(grid.HoldsAny());
    grid.Guard(tree, 1.0, FoldGuardKind::None, 0.5);
    grid.StoreDisplaced(tree, 1.0);

    std::vector<const CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    const CPolygonRing& ring = layer.Polygon(0).Ring(0);
    int underEdges = 0, inSquare = 0;
    for (const CQuadTreeNode* leaf : leaves) {
        bool onEdge = false;
        for (int32_t k = 0; k + 1 < ring.PointCount() && !onEdge; ++k)
            onEdge = Meets(tree, leaf, ring.Point(k), ring.Point(k + 1));
        if (onEdge) {
            ++underEdges;
            EXPECT_TRUE(Still(tree, leaf));
        } else if (Meets(tree, leaf, {0.4, 0.4}, {0.6, 0.6})) {
            ++inSquare;
            EXPECT_FALSE(Still(tree, leaf));
        }
    }
    EXPECT_GT(underEdges, 100);
    EXPECT_GT(inSquare, 100);
}

} // namespace
} // namespace tessaro::test
