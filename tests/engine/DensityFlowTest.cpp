#include "engine/DensityFlow.h"
#include "geometry/PolygonLayer.h"
#include "platform/Feedback.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;
using test::SquarePoints;

// On a grid of 30 cells over [0, 10]^2 grown by a quarter on every side, cells are 0.5 wide and
// the grid starts at -3 (32 cells: 30 rounded up with a cell on each side).
constexpr int Cells = 30;
const CExtent Box{0.0, 0.0, 10.0, 10.0};

CPolygonLayer Layer(const std::vector<std::vector<std::vector<double>>>& polygons)
{
    CPolygonLayer layer;
    for (const auto& rings : polygons)
        layer.Add(MakePolygon(rings));
    return layer;
}

// Three squares of different sizes apart from each other over [0, 10]^2.
CPolygonLayer ThreeSquares()
{
    return Layer({{SquarePoints(1, 1, 3)}, {SquarePoints(4.5, 4.5, 1)}, {SquarePoints(6, 1, 3)}});
}

// The points of a square lattice of spacing `step` over [0, 10]^2.
std::vector<double> Lattice(double step)
{
    std::vector<double> points;
    for (double x = 0.0; x <= 10.0; x += step)
        for (double y = 0.0; y <= 10.0; y += step)
            points.insert(points.end(), {x, y});
    return points;
}

double Mass(const CDensityFlow& flow)
{
    double excess = 0.0;
    for (int j = 0; j < flow.CellsY(); ++j)
        for (int i = 0; i < flow.CellsX(); ++i)
            excess += flow.Density(i, j) - 1.0;
    return excess;
}

TEST(DensityFlow, TheRasterHoldsEachPolygonsDensityOverItsCoverAndTheMeanElsewhere)
{
    CDensityFlow flow;
    // A square on cell lines, a hole of the sea in a ring, and a square half a cell off the lines.
    const CPolygonLayer layer = Layer(
        {{SquarePoints(4, 4, 2)}, {SquarePoints(0, 0, 3), SquarePoints(1, 1, 1, false)}, {SquarePoints(7.25, 7, 2)}});
    ASSERT_TRUE(flow.Rasterize(layer, {4.0, 3.0, 5.0}, Box, CExtent{}, Cells));
    ASSERT_EQ(flow.CellsX(), 32);
    ASSERT_DOUBLE_EQ(flow.CellSide(), 0.5);
    const auto cell = [](double x) { return static_cast<int>((x + 3.0) / 0.5); };
    EXPECT_DOUBLE_EQ(flow.Density(cell(4.1), cell(5.9)), 4.0);
    EXPECT_DOUBLE_EQ(flow.Density(cell(0.1), cell(2.9)), 3.0);
    EXPECT_DOUBLE_EQ(flow.Density(cell(1.5), cell(1.5)), 1.0); // the hole
    EXPECT_DOUBLE_EQ(flow.Density(cell(-2.0), cell(9.0)), 1.0);
    // The cells the shifted square half covers mix its density with the sea's.
    EXPECT_DOUBLE_EQ(flow.Density(cell(7.3), cell(8.0)), 3.0);
    EXPECT_DOUBLE_EQ(flow.Density(cell(9.1), cell(8.0)), 3.0);
    // Excess over the mean, in cells: 3 * 16 + 2 * (36 - 4) + 4 * 16.
    EXPECT_NEAR(Mass(flow), 48.0 + 64.0 + 64.0, 1e-9);
}

// The sea around a map four times as wide as tall is a quarter of its width on the left and the
// right, and a quarter of its height below and above: the map lies in the middle of the grid.
TEST(DensityFlow, ANonSquareMapHasAQuarterOfEachSideOfSeaOnBothSides)
{
    CDensityFlow flow;
    const CExtent wide{0.0, 0.0, 40.0, 10.0};
    const CPolygonLayer layer = Layer({{{0.0, 0.0, 0.0, 10.0, 40.0, 10.0, 40.0, 0.0, 0.0, 0.0}}});
    ASSERT_TRUE(flow.Rasterize(layer, {2.0}, wide, CExtent{}, 64));
    const double side = flow.CellSide();
    ASSERT_NEAR(side, 60.0 / 64.0, 1e-12);
    // The first and last rows (columns) whose centre line crosses the map.
    const auto span = [](int count, const auto& inside) {
        int first = count, last = -1;
        for (int k = 0; k < count; ++k)
            if (inside(k)) {
                first = std::min(first, k);
                last = std::max(last, k);
            }
        return std::pair{first, count - 1 - last};
    };
    const auto [below, above] = span(flow.CellsY(), [&](int j) { return flow.Density(flow.CellsX() / 2, j) > 1.5; });
    const auto [left, right] = span(flow.CellsX(), [&](int i) { return flow.Density(i, flow.CellsY() / 2) > 1.5; });
    EXPECT_LE(std::abs(below - above), 1) << below << " rows below, " << above << " above";
    EXPECT_LE(std::abs(left - right), 1) << left << " columns left, " << right << " right";
    // At least a quarter of the side; the rounding to sizes the transforms like adds cells.
    EXPECT_GE((below + 1) * side, 0.25 * 10.0);
    EXPECT_GE((left + 1) * side, 0.25 * 40.0);
}

TEST(DensityFlow, RefusesAnEmptyOrBoundlessBoxOrTooFewCells)
{
    CDensityFlow flow;
    const CPolygonLayer layer = Layer({{SquarePoints(4, 4, 2)}});
    EXPECT_FALSE(flow.Rasterize(layer, {2.0}, CExtent{}, CExtent{}, Cells));
    EXPECT_FALSE(flow.Rasterize(layer, {2.0}, Box, CExtent{}, 4));
    EXPECT_FALSE(flow.Rasterize(layer, {2.0}, Box, CExtent{}, 4097));
    // A box whose size overflows a double.
    EXPECT_FALSE(flow.Rasterize(layer, {2.0}, CExtent{-1e308, 0.0, 1e308, 1.0}, CExtent{}, Cells));
    // A reach that is not a number is no reach: the grid is the map's own.
    ASSERT_TRUE(flow.Rasterize(layer, {2.0}, Box, CExtent{std::nan(""), 0.0, 1.0, 1.0}, Cells));
    EXPECT_EQ(flow.CellsX(), 32);
    // Points far outside the map widen the grid instead of leaving it.
    ASSERT_TRUE(flow.Rasterize(layer, {2.0}, Box, CExtent{-100.0, 0.0, 0.0, 1.0}, Cells));
    EXPECT_GT(flow.CellSide() * flow.CellsX(), 112.5);
}

// A vertex that is not a number or lies absurdly far leaves its polygon's rows alone; the rest
// of the raster is as without it.
TEST(DensityFlow, ABrokenVertexSpoilsNoCell)
{
    CDensityFlow sound, broken;
    const CPolygonLayer good = Layer({{SquarePoints(4, 4, 2)}});
    std::vector<double> wild = SquarePoints(4, 4, 2);
    wild.insert(wild.end() - 2, {5.0, std::nan("")});
    const CPolygonLayer bad = Layer({{SquarePoints(4, 4, 2)}, {wild}, {SquarePoints(1, 1, 1e300)}});
    ASSERT_TRUE(sound.Rasterize(good, {2.0}, Box, CExtent{}, Cells));
    ASSERT_TRUE(broken.Rasterize(bad, {2.0, 0.0, 0.0}, Box, CExtent{}, Cells));
    for (int j = 0; j < sound.CellsY(); ++j)
        for (int i = 0; i < sound.CellsX(); ++i)
            ASSERT_EQ(sound.Density(i, j), broken.Density(i, j)) << i << ", " << j;
    // Given densities, the broken polygons are rasterised without reading out of bounds.
    EXPECT_TRUE(broken.Rasterize(bad, {2.0, 3.0, 3.0}, Box, CExtent{}, Cells));
}

// The points of a boundary around (5, 5), `n` to a side of the square of side 2 s.
std::vector<double> SquareBoundary(double s, int n)
{
    std::vector<double> points;
    for (int side = 0; side < 4; ++side)
        for (int k = 0; k < n; ++k) {
            const double t = -s + 2.0 * s * k / n;
            const double corners[4][2] = {{t, -s}, {s, t}, {-t, s}, {-s, -t}};
            points.push_back(5.0 + corners[side][0]);
            points.push_back(5.0 + corners[side][1]);
        }
    return points;
}

double ShoelaceArea(const std::vector<double>& points)
{
    double twice = 0.0;
    const size_t n = points.size() / 2;
    for (size_t k = 0; k < n; ++k) {
        const size_t m = (k + 1) % n;
        twice += points[2 * k] * points[2 * m + 1] - points[2 * m] * points[2 * k + 1];
    }
    return std::fabs(twice) / 2.0;
}

TEST(DensityFlow, ADenseSquareSpreadsToItsShareOfTheMeanDensityAndTheSeaStaysStillFarAway)
{
    CDensityFlow flow;
    const CPolygonLayer layer = Layer({{SquarePoints(4, 4, 2)}});
    ASSERT_TRUE(flow.Rasterize(layer, {4.0}, Box, CExtent{}, 60));
    // At rest the density is the grid's mean everywhere: the square's four units of mass per
    // unit of area then fill 4 * 4 / mean.
    const double cells = static_cast<double>(flow.CellsX()) * flow.CellsY();
    const double mean = 1.0 + Mass(flow) / cells;
    std::vector<double> points = SquareBoundary(1.0, 40);
    points.insert(points.end(), {5.0, 5.0, -2.0, 5.0});
    std::vector<double> moved;
    ASSERT_TRUE(flow.Displace(points, moved, 2, nullptr));
    ASSERT_EQ(moved.size(), points.size());
    const size_t boundary = points.size() - 4;
    std::vector<double> image(boundary);
    for (size_t k = 0; k < boundary; ++k)
        image[k] = points[k] + moved[k];
    // One flow over a square of eight cells a side comes within a few percent (the velocity
    // is interpolated across the jump at its border); the rounds of a run take the rest.
    EXPECT_NEAR(ShoelaceArea(image) / (16.0 / mean), 1.0, 0.06);
    // The centre stays by symmetry; a point near the wall moves a little outward at most.
    EXPECT_NEAR(moved[boundary], 0.0, 1e-6);
    EXPECT_NEAR(moved[boundary + 1], 0.0, 1e-6);
    EXPECT_LT(std::fabs(moved[boundary + 2]), 0.25);
    EXPECT_NEAR(moved[boundary + 3], 0.0, 1e-6);
    // Every boundary point moved outward.
    for (size_t k = 0; k < boundary; k += 2) {
        const double dx = points[k] - 5.0, dy = points[k + 1] - 5.0;
        EXPECT_GT(dx * moved[k] + dy * moved[k + 1], 0.0) << "point " << k / 2;
    }
}

// Densities 400,000 times apart, as a crowded small country beside an empty large one:
// the truncated series rings below the least density beside the steep edges, and dividing by
// that dip once made the steps crawl (thousands of them) without moving the map any better.
TEST(DensityFlow, AnExtremeContrastKeepsTheStepsFewAndTheDisplacementFinite)
{
    CDensityFlow flow;
    const CPolygonLayer layer = ThreeSquares();
    ASSERT_TRUE(flow.Rasterize(layer, {0.0005, 200.0, 1.0}, Box, CExtent{}, 60));
    std::vector<double> points = SquareBoundary(0.5, 20);
    // A lattice over the empty square, finer than a cell, as the tree's grid vertices lie.
    for (double x = 1.0; x <= 4.0; x += 0.05)
        for (double y = 1.0; y <= 4.0; y += 0.05)
            points.insert(points.end(), {x, y});
    std::vector<double> moved;
    ASSERT_TRUE(flow.Displace(points, moved, 1, nullptr));
    EXPECT_LT(flow.Steps(), 200);
    // The crowded square, 80 points on its boundary, grows.
    std::vector<double> image(80 * 2);
    for (size_t k = 0; k < image.size(); ++k)
        image[k] = points[k] + moved[k];
    EXPECT_GT(ShoelaceArea(image), 2.0);
    for (const double d : moved)
        EXPECT_TRUE(std::isfinite(d));
}

// A long strip at a ten-thousandth of the mean along the map's edge, its coast wiggling across
// the cells, as Antarctica at its population: the series rings below the strip's density beside
// its coast while the highest modes last, and dividing that ringing by the strip's density made
// the steps crawl (230 here). The flow takes few steps, shrinks the strip to a quarter, and its
// points land where steps fifty times as strict take them to within half a cell.
TEST(DensityFlow, AStripAtATenThousandthOfTheMeanShrinksWithoutCrawling)
{
    std::vector<double> strip{0.0, 0.0};
    for (double x = 0.0; x <= 10.0; x += 0.05)
        strip.insert(strip.end(), {x, 1.0 + 0.3 * std::sin(7.0 * x)});
    strip.insert(strip.end(), {10.0, 0.0});
    const CPolygonLayer layer = Layer({{strip}, {SquarePoints(2, 3, 2)}, {SquarePoints(6, 4, 3)}});
    // The strip's own points, then a lattice over it and its coast finer than a cell, as the
    // tree's grid vertices lie.
    std::vector<double> points = strip;
    for (double x = 0.0; x <= 10.0; x += 0.1)
        for (double y = -0.5; y <= 1.5; y += 0.05)
            points.insert(points.end(), {x, y});
    CDensityFlow usual, strict;
    strict.SetStepTolerance(0.004);
    std::vector<double> moved[2];
    for (const bool isStrict : {false, true}) {
        CDensityFlow& flow = isStrict ? strict : usual;
        ASSERT_TRUE(flow.Rasterize(layer, {1e-4, 3.0, 0.5}, Box, CExtent{}, 60));
        ASSERT_TRUE(flow.Displace(points, moved[isStrict ? 1 : 0], 2, nullptr));
    }
    EXPECT_LT(usual.Steps(), 80);
    double farthest = 0.0;
    for (size_t k = 0; k < points.size(); ++k) {
        ASSERT_TRUE(std::isfinite(moved[0][k]));
        farthest = std::max(farthest, std::fabs(moved[0][k] - moved[1][k]));
    }
    EXPECT_LT(farthest / usual.CellSide(), 0.5);
    std::vector<double> image(strip.size());
    for (size_t k = 0; k < strip.size(); ++k)
        image[k] = strip[k] + moved[0][k];
    EXPECT_LT(ShoelaceArea(image), 0.3 * ShoelaceArea(strip));
}

// The transforms and the interpolation are cut into parts that do not depend on the thread
// count: any number of threads gives the same bits (a run is reproducible on any machine).
TEST(DensityFlow, EveryThreadCountMovesThePointsByTheSameBits)
{
    const CPolygonLayer layer = ThreeSquares();
    const std::vector<double> points = Lattice(0.05);
    std::vector<std::vector<double>> moved(3);
    const int threads[3] = {1, 2, 5};
    for (size_t k = 0; k < 3; ++k) {
        CDensityFlow flow;
        // A non-square box: rows and columns are cut differently.
        ASSERT_TRUE(flow.Rasterize(layer, {0.5, 6.0, 2.0}, CExtent{0.0, 0.0, 10.0, 7.3}, CExtent{}, 83, threads[k]));
        ASSERT_TRUE(flow.Displace(points, moved[k], threads[k], nullptr));
    }
    ASSERT_GT(*std::max_element(moved[0].begin(), moved[0].end()), 0.1);
    EXPECT_EQ(moved[1], moved[0]);
    EXPECT_EQ(moved[2], moved[0]);
}

// How far two flows' points land apart, in cells of the reference's grid.
struct FlowGap {
    double Longest = 0.0;  // the reference's longest move along an axis
    double Farthest = 0.0; // the other's farthest landing from the reference's, along an axis
};

// Moves a lattice over the three squares, at `densities` on 120 cells, with `reference` and with
// `other`, and compares where they land.
FlowGap Compare(CDensityFlow& reference, CDensityFlow& other, const std::vector<double>& densities)
{
    const std::vector<double> points = Lattice(0.1);
    std::vector<double> exact, moved;
    FlowGap gap;
    for (CDensityFlow* flow : {&reference, &other})
        EXPECT_TRUE(flow->Rasterize(ThreeSquares(), densities, Box, CExtent{}, 120));
    if (!reference.Displace(points, exact, 2, nullptr) || !other.Displace(points, moved, 2, nullptr) ||
        exact.size() != moved.size()) {
        ADD_FAILURE() << "a flow did not move the points";
        return gap;
    }
    for (size_t k = 0; k < exact.size(); ++k) {
        gap.Longest = std::max(gap.Longest, std::fabs(exact[k]));
        gap.Farthest = std::max(gap.Farthest, std::fabs(moved[k] - exact[k]));
    }
    gap.Longest /= reference.CellSide();
    gap.Farthest /= reference.CellSide();
    return gap;
}

// Once the density is nearly even the flow ends in one linear step: the points land where the
// whole integration takes them, to within a quarter of the fifth of a cell a step may err, in
// fewer steps.
TEST(DensityFlow, TheLinearLastStepLandsWhereTheWholeFlowDoes)
{
    CDensityFlow whole, tailed;
    whole.SetTailTolerance(0.0);
    const FlowGap gap = Compare(whole, tailed, {0.5, 6.0, 2.0});
    EXPECT_GT(gap.Longest, 5.0);
    EXPECT_LT(gap.Farthest, 0.05);
    EXPECT_LT(tailed.Steps(), whole.Steps());
}

// The steps lengthen as the flow calms down, each still held to its tolerance: the points land
// where steps fifty times as strict take them to within half a cell (about 0.4 here; each round's
// flow starts from where the last one left the map), a strong contrast included, in a fifth of
// the steps or fewer.
TEST(DensityFlow, LongerStepsAsTheFlowCalmsLandWhereStrictStepsDo)
{
    for (const std::vector<double>& densities : {std::vector<double>{0.5, 6.0, 2.0}, {0.01, 40.0, 1.0}}) {
        CDensityFlow strict, usual;
        strict.SetStepTolerance(0.004);
        strict.SetTailTolerance(0.0);
        usual.SetTailTolerance(0.0);
        const FlowGap gap = Compare(strict, usual, densities);
        EXPECT_GT(gap.Longest, 5.0);
        EXPECT_LT(gap.Farthest, 0.5) << "densities " << densities[0] << ", " << densities[1];
        EXPECT_LT(usual.Steps() * 5, strict.Steps());
    }
}

// Between rounds the flow gives its grids back: a released flow rasterised again moves the points
// by the same bits as a new one, and has no densities to report meanwhile.
TEST(DensityFlow, AReleasedFlowRasterisedAgainMovesAsANewOne)
{
    const CPolygonLayer layer = ThreeSquares();
    const std::vector<double> points = Lattice(0.1);
    CDensityFlow reused, fresh;
    std::vector<double> first, again, expected;
    ASSERT_TRUE(reused.Rasterize(layer, {0.5, 6.0, 2.0}, Box, CExtent{}, 120));
    ASSERT_TRUE(reused.Displace(points, first, 2, nullptr));
    reused.ReleaseGrids();
    EXPECT_TRUE(std::isnan(reused.Density(0, 0)));
    for (CDensityFlow* flow : {&reused, &fresh})
        ASSERT_TRUE(flow->Rasterize(layer, {2.0, 1.0, 0.5}, Box, CExtent{}, 96));
    ASSERT_TRUE(reused.Displace(points, again, 2, nullptr));
    ASSERT_TRUE(fresh.Displace(points, expected, 2, nullptr));
    EXPECT_GT(*std::max_element(expected.begin(), expected.end()), 0.1);
    EXPECT_EQ(again, expected);
}

TEST(DensityFlow, AnEvenDensityMovesNothingAndACancelStops)
{
    CDensityFlow flow;
    const CPolygonLayer layer = Layer({{SquarePoints(0, 0, 5)}, {SquarePoints(5, 0, 5)}});
    ASSERT_TRUE(flow.Rasterize(layer, {1.0, 1.0}, Box, CExtent{}, Cells));
    const std::vector<double> points{1.0, 1.0, 5.0, 2.5, 9.0, 4.0};
    std::vector<double> moved;
    ASSERT_TRUE(flow.Displace(points, moved, 1, nullptr));
    for (const double d : moved)
        EXPECT_NEAR(d, 0.0, 1e-9);

    ASSERT_TRUE(flow.Rasterize(layer, {3.0, 1.0}, Box, CExtent{}, Cells));
    CFeedback feedback;
    feedback.Cancel();
    EXPECT_FALSE(flow.Displace(points, moved, 1, &feedback));
}

TEST(DensityFlow, TheMapChoosesAboutThreeCellsAcrossTheMedianPolygonWithinBounds)
{
    struct Case {
        CExtent Box;
        std::vector<double> Areas;
        int Cells;
    };
    const Case cases[] = {
        {{0, 0, 1000, 500}, {100.0, 1.0, 1e6}, 450},                // 1.5 * 1000 / (10 / 3)
        {{0, 0, 100, 50}, {4.0, 1e4, 1e4}, 128},                    // 5 cells: the floor
        {{0, 0, 1000, 1000}, {1e-4, 1e-4, 1.0}, 1024},              // millions: the ceiling
        {{0, 0, 1000, 1000}, {}, 128},                              // nothing measured
        {{0, 0, 1000, 500}, {0.0, -5.0, 100.0, std::nan("")}, 450}, // only sound areas count
    };
    for (const Case& c : cases)
        EXPECT_EQ(CDensityFlow::CellsFor(c.Box, c.Areas, 3.0), c.Cells) << c.Areas.size();
}

} // namespace
} // namespace tessaro
