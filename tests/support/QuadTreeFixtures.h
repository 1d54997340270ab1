#pragma once

#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"
#include "geometry/Point2D.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

namespace tessaro::test {

// A depth-4 tree over (0,0)-(side,side), refined about three points near its lower left, whose
// map 1 is `move` applied to every grid vertex of map 0: a known deformation to move things by.
template <typename Move> void BuildMovedTree(CQuadTree& tree, double side, Move move)
{
    CTreeRect rect{0.0, side, side, 0.0};
    const std::vector<double> seeds{1.0, 1.0, 7.5, 2.5, 4.0, 9.0};
    ASSERT_TRUE(tree.BuildForPoints(rect, 4, 3, seeds.data()));
    ASSERT_EQ(tree.DuplicateMap(true), 1);
    std::vector<double> grid;
    tree.CollectPoints(grid, 0);
    for (size_t k = 0; k + 1 < grid.size(); k += 2) {
        const CPoint2D moved = move(grid[k], grid[k + 1]);
        grid[k] = moved.X;
        grid[k + 1] = moved.Y;
    }
    ASSERT_GT(tree.StorePoints(grid, 1), 0);
}

// A tree over (0,0)-(side,side) bent so that the two diagonals of a leaf give different images,
// each leaf's diagonal fixed to the one its displaced corners would not choose: what the
// convergence loop's fixed splits can leave, which a mover ignoring them would not follow.
inline void BuildBentTreeWithOtherDiagonals(CQuadTree& tree, double side)
{
    BuildMovedTree(tree, side, [side](double x, double y) {
        return CPoint2D{x + 0.4 * x * y / side, y + 0.3 * x * x / side};
    });
    std::vector<CQuadTreeNode*> leaves;
    tree.Leaves(leaves);
    for (CQuadTreeNode* leaf : leaves) {
        std::array<CPoint2D, 4> displaced;
        ASSERT_TRUE(tree.NodeCorners(leaf, displaced, DisplacedMap));
        leaf->SplitCorner = (ChooseSplitCorner(displaced) + 1) % 4;
    }
}

// The points moved as the map's own vertices at the same places are: through the tree's
// piecewise-affine map with its fixed diagonals.
inline std::vector<double> MovedAsTheMap(CQuadTree& tree, const std::vector<double>& points)
{
    std::vector<double> moved(points.size());
    CTransformOptions options;
    options.FromMap = UndeformedMap;
    options.ToMap = DisplacedMap;
    options.FixedSplits = true;
    EXPECT_TRUE(CQuadTreeTransformer(&tree).TransformVertices(points.data(), static_cast<int>(points.size() / 2),
                                                              moved.data(), options));
    return moved;
}

} // namespace tessaro::test
