// The convergence loop on small maps whose answer is known, judged from outside: areas, validity
// and overlaps computed with Boost.Geometry on the solver's result.
#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/PolygonFixtures.h"

#include <boost/geometry.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <numeric>
#include <string>
#include <tuple>

namespace tessaro {
namespace {

namespace bg = boost::geometry;
using test::BoostPoint;
using test::BoostPolygon;
using test::BoostRecord;

using test::MakePolygon;
using test::SquarePoints;
using test::WeightedAreaError;

BoostRecord ToBoost(const CSimplePolygon& polygon)
{
    BoostRecord record;
    for (const auto& ring : polygon.Rings()) {
        BoostPolygon part;
        for (int32_t i = 0; i < ring->PointCount(); ++i)
            part.outer().push_back(BoostPoint(ring->Point(i).X, ring->Point(i).Y));
        record.push_back(std::move(part));
    }
    return record;
}

using test::Shares;

// Pairs of records whose interiors share some area.
std::vector<std::pair<size_t, size_t>> Overlaps(const std::vector<BoostRecord>& records)
{
    std::vector<std::pair<size_t, size_t>> pairs;
    for (size_t a = 0; a < records.size(); ++a)
        for (size_t b = a + 1; b < records.size(); ++b) {
            BoostRecord common;
            bg::intersection(records[a], records[b], common);
            if (bg::area(common) > 1e-9 * std::min(bg::area(records[a]), bg::area(records[b])))
                pairs.emplace_back(a, b);
        }
    return pairs;
}

struct MapCase {
    std::string Name;
    std::vector<std::vector<double>> Rings; // one polygon of one ring each
    std::vector<double> Sizes;
};

std::ostream& operator<<(std::ostream& out, const MapCase& map) { return out << map.Name; }

std::vector<std::vector<double>> GridSquares(int columns, int rows, double side)
{
    std::vector<std::vector<double>> rings;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            rings.push_back(SquarePoints(column * side, row * side, side));
    return rings;
}

// A clockwise square with a vertex every unit along its sides, as a real border would have.
std::vector<double> DenseSquare(double side)
{
    std::vector<double> ring;
    const auto n = static_cast<int>(side);
    for (int k = 0; k < n; ++k)
        ring.insert(ring.end(), {0.0, static_cast<double>(k)});
    for (int k = 0; k < n; ++k)
        ring.insert(ring.end(), {static_cast<double>(k), side});
    for (int k = n; k > 0; --k)
        ring.insert(ring.end(), {side, static_cast<double>(k)});
    for (int k = n; k >= 0; --k)
        ring.insert(ring.end(), {static_cast<double>(k), 0.0});
    return ring;
}

// A large square with a row of small squares along its top, the small ones to grow the most:
// leaves of many depths meet there, so the map has hanging vertices where it moves most.
MapCase SmallOnLarge(int count = 8, double bigSize = 8.0, double grow = 4.0, double shrink = 0.5)
{
    MapCase map{std::to_string(count) + " small squares on a large one", {DenseSquare(8)}, {bigSize}};
    const double side = 8.0 / count;
    for (int k = 0; k < count; ++k) {
        map.Rings.push_back(SquarePoints(k * side, 8, side));
        map.Sizes.push_back(k % 2 == 0 ? grow : shrink);
    }
    return map;
}

CartoParams ConvergenceParams()
{
    CartoParams params;
    params.SetConvergence();
    params.ThreadCount = 2;
    return params;
}

struct Outcome {
    CartogramSolution Solution;
    std::vector<BoostRecord> Records;
    CExtent Before;
    CExtent After;
};

Outcome Solve(const MapCase& map, const CartoParams& params)
{
    CPolygonLayer layer;
    for (const auto& ring : map.Rings)
        layer.Add(MakePolygon({ring}));
    Outcome outcome;
    outcome.Before = layer.BoundingBox();
    CQuadTree tree;
    CCartogramSolver solver(layer, tree, params, Shares(map.Sizes), outcome.Before);
    outcome.Solution = solver.Solve();
    outcome.After = layer.BoundingBox();
    for (const auto& polygon : layer.Polygons())
        outcome.Records.push_back(ToBoost(*polygon));
    return outcome;
}

// Each map with the density flow (true) and with the force field (false).
class ConvergenceMaps : public ::testing::TestWithParam<std::tuple<MapCase, bool>> {};

TEST_P(ConvergenceMaps, ReachTheTargetInTheirBoxWithoutAnInvalidRingOrAnOverlap)
{
    const MapCase& map = std::get<0>(GetParam());
    CartoParams params = ConvergenceParams();
    params.DensityFlow = std::get<1>(GetParam());
    const Outcome outcome = Solve(map, params);
    ASSERT_EQ(outcome.Solution.Result, CartogramSolution::Outcome::Completed);
    ASSERT_TRUE(outcome.Solution.LastMeasures);
    EXPECT_LT(outcome.Solution.LastMeasures->WeightedMeanError, params.TargetError);
    EXPECT_LT(WeightedAreaError(outcome.Records, Shares(map.Sizes)), params.TargetError);

    // Fitted back: inside the input's box, spanning it along one axis.
    const CExtent& in = outcome.Before;
    const CExtent& out = outcome.After;
    const double slack = 1e-9 * std::max(in.Width(), in.Height());
    EXPECT_GE(out.MinX, in.MinX - slack);
    EXPECT_GE(out.MinY, in.MinY - slack);
    EXPECT_LE(out.MaxX, in.MaxX + slack);
    EXPECT_LE(out.MaxY, in.MaxY + slack);
    EXPECT_TRUE(std::fabs(out.Width() - in.Width()) < slack || std::fabs(out.Height() - in.Height()) < slack);

    for (size_t i = 0; i < outcome.Records.size(); ++i)
        for (const BoostPolygon& part : outcome.Records[i]) {
            std::string reason;
            EXPECT_TRUE(bg::is_valid(part, reason)) << "polygon " << i << ": " << reason;
        }
    for (const auto& [a, b] : Overlaps(outcome.Records)) {
        BoostRecord common;
        bg::intersection(outcome.Records[a], outcome.Records[b], common);
        ADD_FAILURE() << "polygons " << a << " and " << b << " overlap by " << bg::area(common) << " of "
                      << bg::area(outcome.Records[a]) << " and " << bg::area(outcome.Records[b]) << " at "
                      << bg::wkt(common);
    }
}

INSTANTIATE_TEST_SUITE_P(
    KnownAnswers, ConvergenceMaps,
    ::testing::Combine(::testing::Values(MapCase{"one square, at its size from the start", GridSquares(1, 1, 1.0), {1}},
                      MapCase{"3 x 3 grid, the centre doubling", GridSquares(3, 3, 1.0), {1, 1, 1, 1, 2, 1, 1, 1, 1}},
                      MapCase{"two squares, 0.8 and 0.2", GridSquares(2, 1, 1.0), {0.8, 0.2}}, SmallOnLarge(),
                      // Strong pushes next to strong pulls: where an unguarded step folds the grid.
                      MapCase{"5 x 5 grid, the centre twenty times the others", GridSquares(5, 5, 1.0),
                              {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 20, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                      MapCase{"5 x 5 checkerboard of 9 and 1", GridSquares(5, 5, 1.0),
                              {9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9, 1, 9}},
                      MapCase{"4 x 4 grid, a corner fifty times the others", GridSquares(4, 4, 1.0),
                              {50, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
                      // A share of 1e-9, as a missing size made small: no stall, no fold.
                      MapCase{"3 x 3 grid, the centre nearly empty", GridSquares(3, 3, 1.0),
                              {1, 1, 1, 1, 1e-9, 1, 1, 1, 1}},
                      // Small squares whose field is steep beside a coarse leaf: where the grid
                      // cracks at hanging vertices unless they follow their sides.
                      SmallOnLarge(16, 8.0, 1.0, 0.05), SmallOnLarge(24, 8.0, 1.0, 0.05)),
                       ::testing::Bool()));

// The result is the round of the lowest error, whatever came after it; a run cancelled after
// round 1 also ends on its best round so far, exported as the result.
TEST(Convergence, TheResultIsTheRoundOfTheLowestErrorAndItsMeasuresAreTheFinalOnes)
{
    struct CRecording : CCartogramRoundSink, CCartogramFeedback {
        explicit CRecording(int cancelAfter) : CancelAfter(cancelAfter) {}
        void OnRoundDone(const SolverRound& round) override
        {
            Weighted.push_back(round.Measures.WeightedMeanError);
            if (round.Round == CancelAfter)
                Cancel();
        }
        void OnResult(int round) override { Result = round; }
        void OnStopped(const SolverStop& stop) override
        {
            Stop = stop.Round;
            Kept = stop.KeptRound;
            Final = stop.Measures.WeightedMeanError;
        }
        int CancelAfter;
        std::vector<double> Weighted;
        int Stop = -1, Kept = -1, Result = -1;
        double Final = 0.0;
    };
    const std::vector<double> shares = Shares({1, 9, 1, 9, 1, 9, 1, 9, 1});
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled after round 1" : "three rounds");
        CPolygonLayer layer;
        for (const auto& ring : GridSquares(3, 3, 1.0))
            layer.Add(MakePolygon({ring}));
        CartoParams params = ConvergenceParams();
        params.MaxSteps = cancel ? 50 : 3; // stops on the round count, well above the target
        CQuadTree tree;
        CCartogramSolver solver(layer, tree, params, shares, layer.BoundingBox());
        CRecording sink(cancel ? 1 : -1);
        const CartogramSolution solution = solver.Solve(&sink, &sink);
        EXPECT_EQ(solution.Result,
                  cancel ? CartogramSolution::Outcome::Cancelled : CartogramSolution::Outcome::Completed);
        // Stopped at round 3's measurement, or with the map at round 2 after the cancel.
        ASSERT_EQ(sink.Stop, cancel ? 2 : 3);
        ASSERT_EQ(sink.Weighted.size(), cancel ? 2u : 3u);
        // The kept measurement is the lowest of all taken.
        double lowest = cancel ? sink.Weighted.front() : sink.Final;
        for (const double weighted : sink.Weighted)
            lowest = std::min(lowest, weighted);
        EXPECT_EQ(sink.Final, lowest);
        EXPECT_EQ(solution.KeptRound, sink.Kept);
        EXPECT_EQ(solution.LastMeasures->WeightedMeanError, lowest);
        // One number for the result everywhere: the kept round's.
        EXPECT_EQ(sink.Result, sink.Kept);
        EXPECT_EQ(solution.LastRound, sink.Kept);
        CPoint2D centroid;
        double area = 0.0;
        layer.Polygon(1).AreaAndCentroid(&centroid, &area);
        EXPECT_GT(area, 1.0); // the restored layer is a moved one, not the input
        // The layer is the kept round's: measured from its geometry it has the kept figure.
        std::vector<BoostRecord> records;
        for (const auto& polygon : layer.Polygons())
            records.push_back(ToBoost(*polygon));
        EXPECT_NEAR(WeightedAreaError(records, shares), lowest, 1e-9);
    }
}

// A polygon without area and one wrapped round the map are moved with it and named.
TEST(Convergence, PolygonsTheFieldCannotPushAreMovedNamedAndCountedWhenTheyHaveArea)
{
    CPolygonLayer layer;
    for (const auto& ring : GridSquares(3, 1, 1.0))
        layer.Add(MakePolygon({ring}));
    layer.Add(MakePolygon({{1.2, 0.5, 1.5, 0.5, 1.8, 0.5, 1.2, 0.5}})); // a sliver of no area
    // A ring jumping from one side of the map to the other, as an antimeridian ring projected
    // without a cut.
    layer.Add(MakePolygon({{0.0, 1.0, 0.0, 1.1, 3.0, 1.1, 3.0, 1.0, 0.0, 1.0}}));
    const CExtent before = layer.BoundingBox();
    CQuadTree tree;
    CCartogramSolver solver(layer, tree, ConvergenceParams(), Shares({1, 2, 3, 1, 1}), before);
    const CartogramSolution solution = solver.Solve();
    ASSERT_EQ(solution.Result, CartogramSolution::Outcome::Completed);
    ASSERT_EQ(solution.LeftOut.size(), 2u);
    EXPECT_EQ(solution.LeftOut[0].Polygon, 3u);
    EXPECT_EQ(solution.LeftOut[0].Why, LeftOutPolygon::Reason::Degenerate);
    EXPECT_EQ(solution.LeftOut[1].Polygon, 4u);
    EXPECT_EQ(solution.LeftOut[1].Why, LeftOutPolygon::Reason::WideRing);
    // The sliver has no area to measure; the wide ring has, and counts though nothing pushes it:
    // the error reported is the one its geometry gives over every polygon with area.
    EXPECT_EQ(solution.LastMeasures->Ratios[3], 1.0);
    std::vector<BoostRecord> measured;
    for (const uint32_t polygon : {0u, 1u, 2u, 4u})
        measured.push_back(ToBoost(layer.Polygon(polygon)));
    const double fromGeometry = WeightedAreaError(measured, Shares({1, 2, 3, 1}));
    EXPECT_NEAR(solution.LastMeasures->WeightedMeanError, fromGeometry, 1e-9);
    // Left out of the measures, the wide ring would give another figure.
    std::vector<BoostRecord> pushed(measured.begin(), measured.begin() + 3);
    EXPECT_GT(std::fabs(WeightedAreaError(pushed, Shares({1, 2, 3})) - fromGeometry), 1e-4);
    // The sliver moved with the map.
    EXPECT_NE(layer.Polygon(3).Ring(0).Point(0).X, 1.2);
}

// A 5 x 5 map whose inner 3 x 3 squares must grow thirtyfold against the frame around them, with
// a tiny square in a notch of the centre one. The frame is squeezed into strips along the
// border over many rounds until its corners fold into spikes; the result must be the best
// round before that, with every ring valid and no neighbours overlapping.
TEST(Convergence, TheResultIsTheBestRoundWithoutANewInvalidRing)
{
    constexpr double notch = 0.05;
    MapCase map{"a squeezed frame", {}, {}};
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column) {
            const double x = column, y = row;
            if (row == 2 && column == 2)
                map.Rings.push_back({x, y + notch, x, y + 1, x + 1, y + 1, x + 1, y, x + notch, y, x + notch,
                                     y + notch, x, y + notch});
            else
                map.Rings.push_back(SquarePoints(x, y, 1.0));
            const bool inner = row >= 1 && row <= 3 && column >= 1 && column <= 3;
            map.Sizes.push_back(inner ? 30.0 : 0.1);
        }
    map.Rings.push_back(SquarePoints(2, 2, notch));
    map.Sizes.push_back(notch * notch);
    const auto invalidRings = [](const Outcome& outcome) {
        int invalid = 0;
        for (const BoostRecord& record : outcome.Records)
            for (const BoostPolygon& part : record)
                invalid += bg::is_valid(part) ? 0 : 1;
        return invalid;
    };
    // The force field squeezes the frame round after round; the check must keep the result
    // before the spikes.
    CartoParams params = ConvergenceParams();
    params.DensityFlow = false;
    params.MaxSteps = 70;
    params.KeepValid = false;
    const Outcome unchecked = Solve(map, params);
    ASSERT_GT(invalidRings(unchecked), 0) << "the map no longer squeezes its frame into spikes";

    params.KeepValid = true;
    const Outcome checked = Solve(map, params);
    ASSERT_EQ(checked.Solution.Result, CartogramSolution::Outcome::Completed);
    EXPECT_EQ(invalidRings(checked), 0);
    EXPECT_TRUE(Overlaps(checked.Records).empty());
    EXPECT_LT(checked.Solution.KeptRound, unchecked.Solution.KeptRound);
    // An earlier round kept: the result carries its number and, measured from the geometry, its figure.
    EXPECT_EQ(checked.Solution.LastRound, checked.Solution.KeptRound);
    EXPECT_NEAR(WeightedAreaError(checked.Records, Shares(map.Sizes)),
                checked.Solution.LastMeasures->WeightedMeanError, 1e-9);
    // The rounds before the spikes had come most of the way.
    EXPECT_LT(WeightedAreaError(checked.Records, Shares(map.Sizes)), 0.005);
    // The rounds passed over are counted, and the polygons whose rings turned invalid in them
    // named once each, in order: squares of the frame, none of those that grew.
    EXPECT_GT(checked.Solution.PassedOverInvalid, 0);
    const std::vector<uint32_t>& named = checked.Solution.TurnedInvalid;
    ASSERT_FALSE(named.empty());
    EXPECT_TRUE(std::adjacent_find(named.begin(), named.end(), std::greater_equal<>()) == named.end());
    for (const uint32_t i : named)
        EXPECT_TRUE(i < 25 && (i / 5 == 0 || i / 5 == 4 || i % 5 == 0 || i % 5 == 4)) << i;
}

// The density flow moves the same map as one smooth deformation: the frame thins without
// folding and the target is reached with nothing to pass over.
TEST(Convergence, TheFlowThinsTheSqueezedFrameWithoutFoldingIt)
{
    constexpr double notch = 0.05;
    MapCase map{"a squeezed frame", {}, {}};
    for (int row = 0; row < 5; ++row)
        for (int column = 0; column < 5; ++column) {
            map.Rings.push_back(SquarePoints(column, row, 1.0));
            const bool inner = row >= 1 && row <= 3 && column >= 1 && column <= 3;
            map.Sizes.push_back(inner ? 30.0 : 0.1);
        }
    map.Rings.push_back(SquarePoints(2 + notch, 2 + notch, notch));
    map.Sizes.push_back(notch * notch);
    CartoParams params = ConvergenceParams();
    params.KeepValid = false;
    const Outcome outcome = Solve(map, params);
    ASSERT_EQ(outcome.Solution.Result, CartogramSolution::Outcome::Completed);
    for (const BoostRecord& record : outcome.Records)
        for (const BoostPolygon& part : record)
            EXPECT_TRUE(bg::is_valid(part));
    EXPECT_LT(WeightedAreaError(outcome.Records, Shares(map.Sizes)), params.TargetError);
}

// The largest |A/D - 1| over the records, measured from their geometry against the shares.
double LargestDeviation(const std::vector<BoostRecord>& records, const std::vector<double>& shares)
{
    double total = 0.0;
    for (const BoostRecord& record : records)
        total += bg::area(record);
    double largest = 0.0;
    for (size_t i = 0; i < records.size(); ++i)
        largest = std::max(largest, std::fabs(bg::area(records[i]) / (shares[i] * total) - 1.0));
    return largest;
}

// The largest |deviation| a round reports over its fits.
double LargestDeviationOf(const RoundMeasures& measures)
{
    double largest = 0.0;
    for (const PolygonFit& fit : measures.Fits)
        largest = std::max(largest, std::fabs(fit.Deviation));
    return largest;
}

// Below the target, the loop goes on while a polygon of a visible share is further off than the
// largest error allows and that error still falls; the result is then the round of the smallest
// largest error.
TEST(Convergence, TheLargestErrorKeepsTheRoundsGoingWhileItFalls)
{
    struct CRounds : CCartogramRoundSink {
        void OnRoundDone(const SolverRound& round) override
        {
            Largest.push_back(round.Measures.WeightedMeanError < 0.01 ? LargestDeviationOf(round.Measures) : -1.0);
        }
        void OnStopped(const SolverStop& stop) override { Round = stop.Round; }
        std::vector<double> Largest; // per transformed round, -1 above the target
        int Round = -1;
    };
    // The centre must grow ninefold between shrinking neighbours: its error trails the mean's.
    const std::vector<double> shares = Shares({1, 1, 1, 1, 9, 1, 1, 1, 1});
    const auto run = [&](double largest, CRounds& rounds) {
        CPolygonLayer layer;
        for (const auto& ring : GridSquares(3, 3, 1.0))
            layer.Add(MakePolygon({ring}));
        CartoParams params = ConvergenceParams();
        params.LargestError = largest;
        params.TargetError = 0.01;
        params.MaxSteps = 60;
        params.FlowGrid = 256; // a set grid is never refined: the rule alone is tried
        CQuadTree tree;
        CCartogramSolver solver(layer, tree, params, shares, layer.BoundingBox());
        EXPECT_EQ(solver.Solve(&rounds).Result, CartogramSolution::Outcome::Completed);
        std::vector<BoostRecord> records;
        for (const auto& polygon : layer.Polygons())
            records.push_back(ToBoost(*polygon));
        return LargestDeviation(records, shares);
    };
    CRounds off, met, unreachable;
    run(0.0, off); // off: the first round below the target ends the run
    ASSERT_GE(off.Round, 1);
    EXPECT_LE(run(1e-3, met), 1e-3 * 1.000001);
    EXPECT_GT(met.Round, off.Round);

    const double result = run(1e-12, unreachable);
    ASSERT_GT(unreachable.Round, off.Round + 3);
    ASSERT_LT(unreachable.Round, 60) << "the rounds went on after the largest error stopped falling";
    const std::vector<double>& largest = unreachable.Largest;
    // The result is the round of the smallest largest error, as its geometry shows.
    double smallest = result;
    for (const double value : largest)
        if (value >= 0.0)
            smallest = std::min(smallest, value);
    EXPECT_NEAR(result, smallest, 1e-9);
}

// A polygon smaller than a cell of the flow's first grid, which must shrink to three fifths: it is
// scaled in place on top of the flow (or the grid is made finer for it), and each try judged by
// how near it comes, until it ends within 1 % of its size like every other polygon.
TEST(Convergence, APolygonSmallerThanAFlowCellEndsWithinOnePercent)
{
    // Eight squares in a row; the fourth has a notch on its right side where the tiny one sits,
    // shrinking from 4.5 to 2.7 shares in 10,000.
    constexpr double tiny = 0.06, change = 0.6;
    const double low = 0.5 - tiny / 2, high = low + tiny;
    MapCase map{"a tiny square in a notch", {}, {}};
    for (int k = 0; k < 8; ++k) {
        if (k == 3)
            map.Rings.push_back({3, 0, 3, 1, 4, 1, 4, high, 4 - tiny, high, 4 - tiny, low, 4, low, 4, 0, 3, 0});
        else if (k == 4)
            map.Rings.push_back({4, 0, 4, low, 4, high, 4, 1, 5, 1, 5, 0, 4, 0});
        else
            map.Rings.push_back(SquarePoints(k, 0, 1.0));
        map.Sizes.push_back(1.0 + k % 3);
    }
    map.Rings.push_back(SquarePoints(4 - tiny, low, tiny));
    // `change` times the share of the map it covers.
    const double total = std::accumulate(map.Sizes.begin(), map.Sizes.end(), 0.0);
    map.Sizes.push_back(change * tiny * tiny / 8.0 * total);
    const Outcome outcome = Solve(map, ConvergenceParams());
    ASSERT_EQ(outcome.Solution.Result, CartogramSolution::Outcome::Completed);
    EXPECT_LE(LargestDeviation(outcome.Records, Shares(map.Sizes)), 0.01);
    for (const BoostRecord& record : outcome.Records)
        for (const BoostPolygon& part : record)
            EXPECT_TRUE(bg::is_valid(part));
    EXPECT_TRUE(Overlaps(outcome.Records).empty());
}

// A map of towns: a grid of unit squares, every `every`th of them split into blocks x blocks tiny
// squares, the sizes spread over three orders of magnitude (a fixed sequence on every platform).
MapCase TownMap(int side, int every, int blocks)
{
    MapCase map{"towns", {}, {}};
    uint64_t state = 12345;
    const auto uniform = [&state] {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (static_cast<double>(state >> 11) + 0.5) / 9007199254740992.0;
    };
    const auto size = [&uniform] {
        const double u = uniform(), v = uniform(); // a normal draw by Box and Muller
        return std::exp(1.2 * std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v));
    };
    for (int square = 0; square < side * side; ++square) {
        const bool town = square % every == every / 2;
        const int n = town ? blocks : 1;
        for (int k = 0; k < n * n; ++k) {
            map.Rings.push_back(
                SquarePoints(square % side + double(k % n) / n, square / side + double(k / n) / n, 1.0 / n));
            map.Sizes.push_back(size() * (town ? 4.0 / (n * n) : 1.0));
        }
    }
    return map;
}

// Above the target, a step that lowers the weighted mean error by less than 15 % of it, in
// proportion to the step (a step of at least a half), makes the flow's grid finer when the map's
// ring points pay for the cells, and leaves it as it is when they do not: the towns' tiny squares
// are blurred on the first grid either way.
TEST(Convergence, AboveTheTargetACrawlMakesTheFlowGridFinerWhereThePointsPayForIt)
{
    struct CRounds : CCartogramRoundSink {
        void OnRoundDone(const SolverRound& round) override
        {
            Rounds.push_back({round.Measures.WeightedMeanError, round.Step, round.Retries, round.FlowCells});
        }
        struct Round {
            double Weighted, Step;
            int Retries, FlowCells;
        };
        std::vector<Round> Rounds;
    };
    const auto run = [](const MapCase& map, int rounds, double simplify) {
        CPolygonLayer layer;
        for (const auto& ring : map.Rings)
            layer.Add(MakePolygon({ring}));
        CartoParams params = ConvergenceParams();
        params.MaxSteps = rounds;
        params.SimplifyTolerance = simplify;
        CQuadTree tree;
        CCartogramSolver solver(layer, tree, params, Shares(map.Sizes), layer.BoundingBox());
        CRounds sink;
        EXPECT_EQ(solver.Solve(&sink).Result, CartogramSolution::Outcome::Completed);
        return sink.Rounds;
    };
    const double target = ConvergenceParams().TargetError;
    // Rounds above the target measured after a step that lowered the error by less than 15 % of
    // it times the step.
    const auto crawls = [target](const std::vector<CRounds::Round>& rounds) {
        std::vector<size_t> at;
        for (size_t r = 1; r < rounds.size(); ++r) {
            const double step = rounds[r - 1].Step > 0.999 ? 1.0 : rounds[r - 1].Step;
            const double fall = 1.0 - rounds[r].Weighted / rounds[r - 1].Weighted;
            if (rounds[r].Weighted >= target && step >= 0.5 && rounds[r - 1].Retries == 0 && fall < 0.15 * step)
                at.push_back(r);
        }
        return at;
    };

    // 873 polygons whose borders gain 40,000 points and more as they bend: a finer grid is paid for.
    const std::vector<CRounds::Round> many = run(TownMap(24, 192, 10), 13, ConvergenceParams().SimplifyTolerance);
    const std::vector<size_t> crawled = crawls(many);
    ASSERT_FALSE(crawled.empty());
    const size_t first = crawled.front();
    for (size_t r = 0; r < first; ++r)
        EXPECT_EQ(many[r].FlowCells, many[0].FlowCells);
    EXPECT_GT(many[first].FlowCells, many[0].FlowCells) << "round " << first;
    EXPECT_LE(many[first].FlowCells, 2 * many[0].FlowCells);

    // 454 polygons whose borders are thinned to few points (bends below 2 % of a polygon's root
    // area go): the points pay for no grid finer than the first, and it crawls and keeps it.
    const std::vector<CRounds::Round> few = run(TownMap(16, 128, 10), 13, 0.02);
    ASSERT_FALSE(crawls(few).empty());
    for (const CRounds::Round& round : few)
        if (round.Weighted >= target) {
            EXPECT_EQ(round.FlowCells, few[0].FlowCells);
        }
}

// On a set flow grid, which is never made finer, a largest error that stops falling by a tenth
// in three rounds has every polygon beyond it scaled in place on top of the flow: the rounds go
// on past the stall and take the largest error further down than the flow alone had.
TEST(Convergence, AStallOfTheLargestErrorOnTheFinestGridScalesThePolygonsBeyondItInPlace)
{
    struct CRounds : CCartogramRoundSink {
        void OnRoundDone(const SolverRound& round) override
        {
            Largest.push_back(round.Measures.WeightedMeanError < Target ? LargestDeviationOf(round.Measures) : -1.0);
        }
        double Target = 0.0;
        std::vector<double> Largest; // per transformed round, -1 above the target
    };
    const MapCase map = TownMap(10, 20, 3); // 140 squares; the towns' blocks blur on the set grid
    CPolygonLayer layer;
    for (const auto& ring : map.Rings)
        layer.Add(MakePolygon({ring}));
    CartoParams params = ConvergenceParams();
    params.FlowGrid = 96;
    params.LargestError = 0.003;
    CRounds rounds;
    rounds.Target = params.TargetError;
    CQuadTree tree;
    CCartogramSolver solver(layer, tree, params, Shares(map.Sizes), layer.BoundingBox());
    const CartogramSolution solution = solver.Solve(&rounds);
    ASSERT_EQ(solution.Result, CartogramSolution::Outcome::Completed);

    // The first stall among the transformed rounds: three rounds below the target after the largest
    // error last fell by a tenth.
    const std::vector<double>& largest = rounds.Largest;
    size_t stall = 0;
    double atFall = -1.0;
    for (size_t r = 0, fell = 0; r < largest.size() && stall == 0; ++r) {
        if (largest[r] < 0.0)
            continue;
        if (atFall < 0.0 || largest[r] < 0.9 * atFall) {
            atFall = largest[r];
            fell = r;
        }
        if (r - fell >= 3)
            stall = r;
    }
    ASSERT_GT(stall, 0u) << "the flow alone met the largest error, or the run ended at the stall";
    const double beforeStall = *std::min_element(largest.begin() + static_cast<std::ptrdiff_t>(stall - 3),
                                                 largest.begin() + static_cast<std::ptrdiff_t>(stall + 1));
    std::vector<BoostRecord> records;
    for (const auto& polygon : layer.Polygons())
        records.push_back(ToBoost(*polygon));
    EXPECT_LT(LargestDeviation(records, Shares(map.Sizes)), 0.9 * beforeStall);
    EXPECT_NEAR(LargestDeviation(records, Shares(map.Sizes)), LargestDeviationOf(*solution.LastMeasures), 1e-9);
    for (const BoostRecord& record : records)
        for (const BoostPolygon& part : record)
            EXPECT_TRUE(bg::is_valid(part));
    EXPECT_TRUE(Overlaps(records).empty());
}

// Above a target the map cannot reach (a polygon that cannot shrink to nothing keeps the
// weighted mean error up), tries that no longer lower the error do not end the run while a
// polygon of a visible share is beyond the largest error: the polygons beyond it are scaled in
// place on top of the flow first, and the result's largest error is below the one the tries
// stalled at.
TEST(Convergence, TriesThatStallAboveTheTargetScaleThePolygonsBeyondTheLargestErrorFirst)
{
    struct CRounds : CCartogramRoundSink {
        void OnRoundDone(const SolverRound& round) override
        {
            Steps.push_back(round.Step);
            Largest.push_back(LargestDeviationOf(round.Measures));
        }
        std::vector<double> Steps, Largest; // per transformed round
    };
    const MapCase map = TownMap(10, 20, 3);
    CPolygonLayer layer;
    for (const auto& ring : map.Rings)
        layer.Add(MakePolygon({ring}));
    CartoParams params = ConvergenceParams();
    params.FlowGrid = 96; // a set grid is never refined: the scaling alone is tried
    params.TargetError = 1e-7;
    params.LargestError = 0.003;
    params.MaxSteps = 200;
    CRounds rounds;
    CQuadTree tree;
    CCartogramSolver solver(layer, tree, params, Shares(map.Sizes), layer.BoundingBox());
    const CartogramSolution solution = solver.Solve(&rounds);
    ASSERT_EQ(solution.Result, CartogramSolution::Outcome::Completed);
    ASSERT_GE(solution.LastMeasures->WeightedMeanError, params.TargetError);

    // The first round whose tries found no step: the run ended there before.
    const auto stalled =
        std::find_if(rounds.Steps.begin(), rounds.Steps.end(), [](double step) { return step < 1e-3; });
    ASSERT_NE(stalled, rounds.Steps.end()) << "the tries never stalled";
    const size_t at = static_cast<size_t>(stalled - rounds.Steps.begin());
    ASSERT_GT(rounds.Steps.size(), at + 1) << "the run ended at the stall";
    std::vector<BoostRecord> records;
    for (const auto& polygon : layer.Polygons())
        records.push_back(ToBoost(*polygon));
    EXPECT_LT(LargestDeviation(records, Shares(map.Sizes)), 0.9 * rounds.Largest[at]);
    for (const BoostRecord& record : records)
        for (const BoostPolygon& part : record)
            EXPECT_TRUE(bg::is_valid(part));
    EXPECT_TRUE(Overlaps(records).empty());
}

} // namespace
} // namespace tessaro
