// The convergence loop's frame, and the loop judged from outside on one map placed and sized in
// many ways: the shares of the result must not depend on where the map lies or how large it is.
#include "engine/CartogramSolver.h"
#include "engine/MapFrame.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessaro {
namespace {

// A 3 x 3 grid of squares of side `side` from (x, y).
CPolygonLayer Grid(double x, double y, double side)
{
    CPolygonLayer layer;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            layer.Add(test::MakePolygon({test::SquarePoints(x + column * side, y + row * side, side)}));
    return layer;
}

std::vector<double> Points(const CPolygonLayer& layer)
{
    std::vector<double> points;
    for (const auto& polygon : layer.Polygons()) {
        std::vector<double> xy(2 * static_cast<size_t>(polygon->TotalPointCount()));
        polygon->CopyPointsTo(xy.data());
        points.insert(points.end(), xy.begin(), xy.end());
    }
    return points;
}

TEST(MapFrame, LeavesAMapInMetresAloneAndTakesAnyOtherInAndOutToTheBit)
{
    // A continent in metres around its projection's origin, or a few units at the origin:
    // nothing to do.
    EXPECT_TRUE(CMapFrame(CExtent{-2.4e6, 2.7e5, 2.3e6, 3.2e6}).IsIdentity());
    EXPECT_TRUE(CMapFrame(CExtent{0.0, 0.0, 5.0, 3.0}).IsIdentity());

    for (const auto& [x, y, side] : {std::tuple{1e7, -3e5, 1.0}, std::tuple{0.0, 0.0, 1e-6},
                                     std::tuple{-123456.789, 98765.4321, 0.37}, std::tuple{5e12, 5e12, 1e9}}) {
        SCOPED_TRACE(testing::Message() << x << ", " << y << ", side " << side);
        CPolygonLayer layer = Grid(x, y, side);
        const CExtent box = layer.BoundingBox();
        const CMapFrame frame(box);
        const std::vector<double> before = Points(layer);
        frame.ToFrame(layer);
        const CExtent inFrame = layer.BoundingBox();
        const double longer = std::max(inFrame.Width(), inFrame.Height());
        EXPECT_GE(longer, 1.0);
        EXPECT_LT(longer, std::exp2(24));
        // Next to the origin: within its own size of it.
        EXPECT_LE(std::fabs(inFrame.MinX + inFrame.MaxX) / 2, longer);
        EXPECT_LE(std::fabs(inFrame.MinY + inFrame.MaxY) / 2, longer);
        EXPECT_EQ(frame.FromFrame(inFrame), box);
        frame.FromFrame(layer);
        EXPECT_EQ(Points(layer), before);
    }
}

// Area shares of the layer, the map first moved back to the origin and its unit so that the
// measurement itself loses no digits to the offset.
std::vector<double> Shares(const CPolygonLayer& layer, double x, double y, double side)
{
    std::vector<double> areas;
    double total = 0.0;
    for (const auto& polygon : layer.Polygons()) {
        std::vector<double> xy(2 * static_cast<size_t>(polygon->TotalPointCount()));
        polygon->CopyPointsTo(xy.data());
        double twice = 0.0;
        for (size_t k = 0; k + 3 < xy.size(); k += 2)
            twice += ((xy[k] - x) / side) * ((xy[k + 3] - y) / side) - ((xy[k + 2] - x) / side) * ((xy[k + 1] - y) / side);
        areas.push_back(std::fabs(twice) / 2.0);
        total += areas.back();
    }
    for (double& area : areas)
        area /= total;
    return areas;
}

// The same map moved far from the origin or shrunk to a millionth gets the same result; before
// the frame such maps never moved, had every polygon left out, or ran out of memory.
TEST(MapFrame, TheConvergenceLoopGivesTheSameSharesWhereverTheMapLiesAndWhateverItsSize)
{
    const std::vector<double> sizes = {1, 2, 3, 4, 9, 4, 3, 2, 1};
    std::vector<double> fractions;
    for (const double size : sizes)
        fractions.push_back(size / 29.0);
    CartoParams params;
    params.SetConvergence();
    params.ThreadCount = 2;
    std::vector<double> reference;
    for (const auto& [x, y, side] : {std::tuple{0.0, 0.0, 1.0}, std::tuple{1e7, 1e7, 1.0}, std::tuple{1e5, 1e5, 1.0},
                                     std::tuple{1e4, -2e4, 1.0}, std::tuple{0.0, 0.0, 1e-6},
                                     std::tuple{-3e6, 4e6, 1e3}}) {
        SCOPED_TRACE(testing::Message() << x << ", " << y << ", side " << side);
        CPolygonLayer layer = Grid(x, y, side);
        const CExtent box = layer.BoundingBox();
        CQuadTree tree;
        CCartogramSolver solver(layer, tree, params, fractions, box);
        const CartogramSolution solution = solver.Solve();
        ASSERT_EQ(solution.Result, CartogramSolution::Outcome::Completed);
        ASSERT_TRUE(solution.LastMeasures);
        EXPECT_LT(solution.LastMeasures->WeightedMeanError, params.TargetError);
        EXPECT_TRUE(solution.LeftOut.empty());
        // Back where the caller keeps the map: inside its box.
        const CExtent after = layer.BoundingBox();
        const double slack = 1e-9 * 3 * side;
        EXPECT_GE(after.MinX, box.MinX - slack);
        EXPECT_LE(after.MaxX, box.MaxX + slack);
        EXPECT_GE(after.MinY, box.MinY - slack);
        EXPECT_LE(after.MaxY, box.MaxY + slack);
        EXPECT_EQ(solver.LayerExtent().MinX >= box.MinX - slack, true);

        const std::vector<double> shares = Shares(layer, x, y, side);
        double weighted = 0.0;
        for (size_t i = 0; i < shares.size(); ++i)
            weighted += std::fabs(shares[i] - fractions[i]) / (shares[i] + fractions[i]) * shares[i];
        EXPECT_LT(weighted, params.TargetError);
        if (reference.empty()) {
            reference = shares;
            continue;
        }
        for (size_t i = 0; i < shares.size(); ++i)
            EXPECT_NEAR(shares[i], reference[i], 1e-6) << "polygon " << i;
    }
}

} // namespace
} // namespace tessaro
