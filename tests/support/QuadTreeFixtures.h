#pragma once

#include "engine/QuadTree.h"
#include "geometry/Point2D.h"

#include <gtest/gtest.h>

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

} // namespace tessaro::test
