#include "engine/CartogramSolver.h"

#include "engine/CartogramFeedback.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace tessaro {
namespace {

// A clockwise square ring as a polygon of one ring.
std::unique_ptr<CSimplePolygon> SquarePolygon(double left, double bottom, double side)
{
    const double points[] = {left, bottom, left, bottom + side, left + side, bottom + side, left + side, bottom,
                             left, bottom};
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(5, points, true);
    auto polygon = std::make_unique<CSimplePolygon>();
    polygon->AddRing(std::move(ring));
    return polygon;
}

// A columns x rows grid of unit squares, row by row from the bottom left.
CPolygonLayer Grid(int columns, int rows)
{
    CPolygonLayer layer;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            layer.Add(SquarePolygon(column, row, 1.0));
    return layer;
}

std::vector<double> Shares(std::vector<double> sizes)
{
    const double sum = std::accumulate(sizes.begin(), sizes.end(), 0.0);
    for (double& size : sizes)
        size /= sum;
    return sizes;
}

CartoParams Params(int maxSteps)
{
    CartoParams params;
    params.MaxSteps = maxSteps;
    params.TreeDepth = 4;
    params.ThreadCount = 2;
    params.StopWhenErrorRises = false;
    // Gentle rates: the heavy defaults overshoot on a map of a few polygons.
    params.EnlargeRate = 1.0;
    params.ShrinkRate = 1.0;
    return params;
}

double PolygonArea(const CSimplePolygon& polygon)
{
    CPoint2D centroid;
    double area = 0.0;
    polygon.AreaAndCentroid(&centroid, &area);
    return area;
}

// Records what the solver reports, in order.
class CRecordingSink : public CCartogramRoundSink {
public:
    void OnTransformed(int round) override { Events.push_back("transformed " + std::to_string(round)); }
    void OnRoundDone(const SolverRound& round) override
    {
        Events.push_back("done " + std::to_string(round.Round));
        Weighted.push_back(round.Measures.WeightedMeanError);
    }
    void OnStopped(const SolverStop& stop) override { Events.push_back("stopped " + std::to_string(stop.Round)); }

    std::vector<std::string> Events;
    std::vector<double> Weighted;
};

class CCancelAfter : public CCartogramFeedback {
public:
    explicit CCancelAfter(int round, bool geometry = false) : Round_(round), Geometry_(geometry) {}
    void OnRound(std::shared_ptr<const CRoundFrame> frame) override
    {
        Frames.push_back(frame);
        if (frame->Round == Round_)
            Cancel();
    }
    bool WantsGeometry() const override { return Geometry_; }
    std::vector<std::shared_ptr<const CRoundFrame>> Frames;

private:
    int Round_;
    bool Geometry_;
};

struct Solved {
    CartogramSolution Solution;
    CRecordingSink Sink;
};

Solved Solve(CPolygonLayer& layer, const std::vector<double>& shares, const CartoParams& params,
             CCartogramFeedback* feedback = nullptr)
{
    CQuadTree tree;
    CCartogramSolver solver(layer, tree, params, shares, layer.BoundingBox());
    Solved solved;
    solved.Solution = solver.Solve(&solved.Sink, feedback);
    return solved;
}

TEST(CartogramSolver, FewerThanTwoStepsStillTransformTwoRoundsThenMeasureAThird)
{
    for (int maxSteps : {0, 1, 2}) {
        CPolygonLayer layer = Grid(3, 2);
        const Solved solved = Solve(layer, Shares({1, 2, 3, 4, 5, 6}), Params(maxSteps));
        EXPECT_EQ(solved.Solution.Result, CartogramSolution::Outcome::Completed);
        EXPECT_EQ(solved.Solution.RoundsTransformed, 2);
        EXPECT_EQ(solved.Solution.LastRound, 2);
        EXPECT_THAT(solved.Sink.Events, ::testing::ElementsAre("transformed 0", "done 0", "transformed 1", "done 1",
                                                               "stopped 2"));
    }
}

TEST(CartogramSolver, AMapAlreadyAtItsSharesStopsAtTheFirstMeasurement)
{
    CPolygonLayer layer = Grid(3, 2);
    const Solved solved = Solve(layer, Shares({7, 7, 7, 7, 7, 7}), Params(5));
    EXPECT_EQ(solved.Solution.RoundsTransformed, 0);
    EXPECT_THAT(solved.Sink.Events, ::testing::ElementsAre("stopped 0"));
}

TEST(CartogramSolver, TheErrorFallsRoundAfterRoundAndTheLayerStaysInItsBox)
{
    CPolygonLayer layer = Grid(3, 2);
    const CExtent before = layer.BoundingBox();
    const Solved solved = Solve(layer, Shares({1, 2, 3, 4, 5, 6}), Params(6));
    ASSERT_EQ(solved.Solution.Result, CartogramSolution::Outcome::Completed);
    const std::vector<double>& weighted = solved.Sink.Weighted;
    ASSERT_EQ(weighted.size(), 6u);
    EXPECT_LT(weighted.back(), 0.5 * weighted.front());
    for (size_t k = 1; k < weighted.size(); ++k)
        EXPECT_LT(weighted[k], weighted[k - 1]) << k;
    // The fit-back keeps the map in its box, one axis spanning it exactly.
    const CExtent after = layer.BoundingBox();
    const double slack = 1e-9 * before.Width();
    EXPECT_TRUE(std::fabs(after.Width() - before.Width()) < slack || std::fabs(after.Height() - before.Height()) < slack);
    EXPECT_GE(after.MinX, before.MinX - slack);
    EXPECT_LE(after.MaxX, before.MaxX + slack);
    EXPECT_GE(after.MinY, before.MinY - slack);
    EXPECT_LE(after.MaxY, before.MaxY + slack);
    // The largest share grew, the smallest shrank.
    double total = 0.0;
    for (uint32_t i = 0; i < layer.Count(); ++i)
        total += PolygonArea(layer.Polygon(i));
    EXPECT_GT(PolygonArea(layer.Polygon(5)) / total, 1.0 / 6.0);
    EXPECT_LT(PolygonArea(layer.Polygon(0)) / total, 1.0 / 6.0);
}

TEST(CartogramSolver, ACancelStopsAtTheRoundInHandAndTheFramesCarryGeometryOnRequest)
{
    CPolygonLayer layer = Grid(3, 2);
    CCancelAfter feedback(1, true);
    const Solved solved = Solve(layer, Shares({1, 2, 3, 4, 5, 6}), Params(8), &feedback);
    EXPECT_EQ(solved.Solution.Result, CartogramSolution::Outcome::Cancelled);
    EXPECT_EQ(solved.Solution.LastRound, 1);
    EXPECT_EQ(solved.Solution.RoundsTransformed, 2);
    ASSERT_EQ(feedback.Frames.size(), 2u);
    const CRoundFrame& last = *feedback.Frames.back();
    ASSERT_EQ(last.Polygons.size(), 6u);
    // The frame is the layer as round 1 left it, and the displaced grid that moved it.
    for (uint32_t i = 0; i < layer.Count(); ++i) {
        const CPolygonRing& ring = layer.Polygon(i).Ring(0);
        const std::vector<double> points(ring.Points(), ring.Points() + 2 * ring.PointCount());
        EXPECT_EQ(last.Polygons[i][0], points) << i;
    }
    EXPECT_FALSE(last.Cells.empty());
    EXPECT_EQ(last.Extent, layer.BoundingBox());
}

TEST(CartogramSolver, ACancelBeforeTheFirstRoundTransformsNothing)
{
    CPolygonLayer layer = Grid(3, 2);
    CCancelAfter feedback(-1);
    feedback.Cancel();
    const Solved solved = Solve(layer, Shares({1, 2, 3, 4, 5, 6}), Params(8), &feedback);
    EXPECT_EQ(solved.Solution.Result, CartogramSolution::Outcome::Cancelled);
    EXPECT_EQ(solved.Solution.LastRound, -1);
    EXPECT_TRUE(solved.Sink.Events.empty());
}

TEST(CartogramSolver, ADegeneratePolygonIsRefusedWithTheMeasurementsReason)
{
    CPolygonLayer layer = Grid(2, 1);
    const double flat[] = {3, 0, 3, 1, 3, 2, 3, 0};
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(4, flat, true);
    auto polygon = std::make_unique<CSimplePolygon>();
    polygon->AddRing(std::move(ring));
    layer.Add(std::move(polygon));
    const Solved solved = Solve(layer, Shares({1, 2, 3}), Params(2));
    EXPECT_EQ(solved.Solution.Result, CartogramSolution::Outcome::Refused);
    EXPECT_THAT(solved.Solution.Refusal, ::testing::HasSubstr("3"));
    EXPECT_TRUE(solved.Sink.Events.empty());
}

// One thread builds force rings without the compactness rule, so it is its own case; every
// count of two or more gives the same bits.
TEST(CartogramSolver, TwoAndFourThreadsGiveTheSameBits)
{
    CPolygonLayer one = Grid(4, 3);
    CPolygonLayer four = Grid(4, 3);
    const std::vector<double> shares = Shares({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    CartoParams params = Params(4);
    params.ThreadCount = 2;
    Solve(one, shares, params);
    params.ThreadCount = 4;
    Solve(four, shares, params);
    for (uint32_t i = 0; i < one.Count(); ++i) {
        const CPolygonRing& a = one.Polygon(i).Ring(0);
        const CPolygonRing& b = four.Polygon(i).Ring(0);
        ASSERT_EQ(a.PointCount(), b.PointCount()) << i;
        EXPECT_TRUE(std::equal(a.Points(), a.Points() + 2 * a.PointCount(), b.Points())) << i;
    }
}

} // namespace
} // namespace tessaro
