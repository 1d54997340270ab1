// Points moved with a round's transformation: inside the tree's box they follow its
// piecewise-affine map; outside it they take the displacement of the nearest point of the
// box's edge.
#include "engine/FollowerTransformer.h"

#include "engine/QuadTree.h"
#include "tests/support/QuadTreeFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace tessaro {
namespace {

// The deformation of the grid: an affine map, which the piecewise-affine map then is everywhere.
CPoint2D Affine(double x, double y) { return {1.5 * x + 0.25 * y + 3.0, -0.5 * x + 2.0 * y - 1.0}; }

// A tree over (0,0)-(10,10), refined about a few points, with map 1 = Affine(map 0).
void BuildAffine(CQuadTree& tree) { test::BuildMovedTree(tree, 10.0, Affine); }

struct FollowerCase {
    double X, Y;           // the point
    double EdgeX, EdgeY;   // the nearest point of the box
};

class FollowerTransformerTest : public ::testing::TestWithParam<FollowerCase> {};

TEST_P(FollowerTransformerTest, MovesByTheDisplacementAtTheNearestPointOfTheBox)
{
    CQuadTree tree;
    BuildAffine(tree);
    const FollowerCase c = GetParam();
    std::vector<double> points{c.X, c.Y};
    for (const bool fixedSplits : {false, true}) {
        std::vector<double> moved = points;
        ASSERT_TRUE(CFollowerTransformer::Move(tree, moved, fixedSplits));
        const CPoint2D edge = Affine(c.EdgeX, c.EdgeY);
        EXPECT_NEAR(moved[0], c.X + edge.X - c.EdgeX, 1e-9);
        EXPECT_NEAR(moved[1], c.Y + edge.Y - c.EdgeY, 1e-9);
    }
}

INSTANTIATE_TEST_SUITE_P(Points, FollowerTransformerTest,
                         ::testing::Values(FollowerCase{2.0, 3.0, 2.0, 3.0},     // inside: the map itself
                                           FollowerCase{0.0, 0.0, 0.0, 0.0},     // the box's corner
                                           FollowerCase{15.0, 4.0, 10.0, 4.0},   // beyond the right edge
                                           FollowerCase{-3.0, 12.0, 0.0, 10.0},  // beyond the top-left corner
                                           FollowerCase{6.0, -100.0, 6.0, 0.0},  // far below
                                           FollowerCase{10.0, 10.0, 10.0, 10.0}  // the top-right corner itself
                                           ));

// The convergence loop fixes each leaf's diagonal before it moves the grid, and the map's
// vertices are cut along it even where the displaced corners would choose the other one. Here
// every leaf's stored diagonal is the other one, and the grid is bent so that the two cuts give
// different images: points that follow the map with fixed splits land where the map's own
// vertices at the same places land.
TEST(FollowerTransformer, FollowsTheStoredDiagonalAsTheMapsVerticesDo)
{
    CQuadTree tree;
    test::BuildBentTreeWithOtherDiagonals(tree, 10.0);
    std::vector<double> points;
    for (double x = 0.3; x < 10.0; x += 0.7)
        for (double y = 0.2; y < 10.0; y += 0.9)
            points.insert(points.end(), {x, y});
    const std::vector<double> asTheMap = test::MovedAsTheMap(tree, points);

    std::vector<double> followed = points;
    ASSERT_TRUE(CFollowerTransformer::Move(tree, followed, true));
    for (size_t k = 0; k < points.size(); ++k)
        EXPECT_NEAR(followed[k], asTheMap[k], 1e-9) << "coordinate " << k;
    // The bend is strong enough that the chosen diagonals would have moved points elsewhere.
    std::vector<double> chosen = points;
    ASSERT_TRUE(CFollowerTransformer::Move(tree, chosen, false));
    double largest = 0.0;
    for (size_t k = 0; k < points.size(); ++k)
        largest = std::max(largest, std::fabs(chosen[k] - asTheMap[k]));
    EXPECT_GT(largest, 1e-3);
}

TEST(FollowerTransformer, LeavesThePointsWithoutADisplacedMap)
{
    CQuadTree tree;
    CTreeRect rect{0.0, 10.0, 10.0, 0.0};
    const std::vector<double> seed{1.0, 1.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 2, 1, seed.data()));
    std::vector<double> points{2.0, 2.0};
    EXPECT_FALSE(CFollowerTransformer::Move(tree, points, false));
    EXPECT_EQ(points, (std::vector<double>{2.0, 2.0}));
}

} // namespace
} // namespace tessaro
