#include "cartogram/ForceRings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace tessaro {
namespace {

std::unique_ptr<CPolygonRing> Ring(std::vector<double> points, double ratio)
{
    auto ring = std::make_unique<CPolygonRing>();
    ring->SetPoints(static_cast<int32_t>(points.size() / 2), points.data(), true);
    ring->Values().push_back(ratio);
    return ring;
}

double Area(const CPolygonRing& ring)
{
    double area = 0.0;
    ring.AreaAndCentroid(nullptr, &area);
    return area;
}

// Clockwise square of side s with its lower left corner at (x, y).
std::unique_ptr<CPolygonRing> Square(double x, double y, double s, double ratio)
{
    return Ring({x, y, x, y + s, x + s, y + s, x + s, y, x, y}, ratio);
}

TEST(ForceRingSamples, OnlyClockwiseRingsWithAreaGetCirclePoints)
{
    std::vector<double> sources, centres;
    const auto counterClockwise = Ring({0, 0, 2, 0, 2, 2, 0, 2, 0, 0}, 2.0);
    const auto flat = Ring({0, 0, 1, 1, 2, 2, 0, 0}, 2.0);
    EXPECT_EQ(AppendCircleSamples(*counterClockwise, 16, 0.5, sources, centres, nullptr), 0);
    EXPECT_EQ(AppendCircleSamples(*flat, 16, 0.5, sources, centres, nullptr), 0);
    EXPECT_TRUE(sources.empty());

    const auto square = Square(0.0, 0.0, 2.0, 2.0);
    CPoint2D centre{-1.0, -1.0};
    EXPECT_EQ(AppendCircleSamples(*square, 16, -1.0, sources, centres, &centre), 16);
    EXPECT_EQ(AppendCircleSamples(*square, 16, 0.5, sources, centres, &centre), 24);
    ASSERT_EQ(sources.size(), 80u);
    ASSERT_EQ(centres.size(), 80u);
    EXPECT_DOUBLE_EQ(centre.X, 1.0);
    EXPECT_DOUBLE_EQ(centre.Y, 1.0);
    const double radius = std::sqrt(4.0 / std::numbers::pi);
    for (size_t k = 0; k < 32; k += 2)
        EXPECT_NEAR(std::hypot(sources[k] - 1.0, sources[k + 1] - 1.0), radius, 1e-12);
    // The square points sit at factor * radius on each axis: the last one is (+, +).
    EXPECT_NEAR(sources[78], 1.0 + 0.5 * radius, 1e-12);
    EXPECT_NEAR(sources[79], 1.0 + 0.5 * radius, 1e-12);

    std::vector<double> targets;
    AppendCircleTargets(sources, 16, centre, -2.0, targets);
    ASSERT_EQ(targets.size(), 48u);
    EXPECT_NEAR(targets[0], 1.0 - 2.0 * (sources[32] - 1.0), 1e-12);
}

TEST(ForceRingTargets, CompressionAndExaggeration)
{
    struct Case {
        double Ratio, MaxRatio, MinRatio, Factor;
    };
    const Case cases[] = {
        {2.0, 2.0, 0.5, (1.0 + (std::exp(1.0) - 1.0) * 6.0) * 2.0},  // about 22.62
        {0.5, 2.0, 0.5, (1.0 + std::log(0.5) * 9.0) * 0.5},          // about -2.62
        {1.0, 2.0, 0.5, 1.0},
        {100.0, 100.0, 0.5, (1.0 + (std::exp(9.0) - 1.0) * 6.0) * 10.0},  // compressed to 10
        {1e-4, 2.0, 1e-4, (1.0 + std::log(0.01) * 9.0) * 0.01},          // compressed to 0.01
    };
    for (const Case& c : cases) {
        CTargetFactorSettings settings;
        settings.MaxRatio = c.MaxRatio;
        settings.MinRatio = c.MinRatio;
        EXPECT_NEAR(TargetFactor(c.Ratio, settings), c.Factor, 1e-9 * std::fabs(c.Factor)) << c.Ratio;
    }
    CTargetFactorSettings settings;
    settings.MaxRatio = 2.0;
    EXPECT_NEAR(TargetFactor(2.0, settings), 22.62, 0.01);
    settings.MinRatio = 0.5;
    EXPECT_NEAR(TargetFactor(0.5, settings), -2.62, 0.01);
}

TEST(ForceRingTargets, AutoRatesBalanceGrowersAndShrinkers)
{
    struct Case {
        int32_t Growers, Shrinkers;
        double Enlarge, Shrink;
    };
    const Case cases[] = {{30, 10, 0.1, 0.1}, {10, 30, 0.1 / 3.0, 0.1}, {20, 20, 0.1, 0.1}, {0, 0, 0.1, 0.1}};
    for (const Case& c : cases) {
        double enlarge = 0.05, shrink = 0.1;
        BalanceExaggerationRates(c.Growers, c.Shrinkers, enlarge, shrink);
        EXPECT_DOUBLE_EQ(enlarge, c.Enlarge) << c.Growers << " / " << c.Shrinkers;
        EXPECT_DOUBLE_EQ(shrink, c.Shrink);
    }
}

double PieceAreaSum(const RingList& pieces)
{
    double sum = 0.0;
    for (const auto& piece : pieces)
        sum += Area(*piece);
    return sum;
}

TEST(ForceRingBuilder, SmallRingsStayWholeWithTheirRatioTwice)
{
    RingList input;
    input.push_back(Square(0.0, 0.0, 1.0, 1.5));
    RingList output;
    output.push_back(Square(5.0, 5.0, 1.0, 9.0)); // emptied by the clear flag
    // Share 1/100 against the limit 4/4^3.
    EXPECT_EQ(BuildForceRings(input, output, true, 100.0, 3, true), 1);
    EXPECT_EQ(output[0]->Values(), (std::vector<double>{1.5, 1.5, 0.0}));
    EXPECT_EQ(output[0]->PointCount(), 5);
}

TEST(ForceRingBuilder, PiecesOfALongThinRingCoverItsArea)
{
    RingList input;
    input.push_back(Ring({0, 0, 0, 2, 30, 1.5, 60, 0.5, 61, 0, 0, 0}, 0.7));
    RingList output;
    const int32_t count = BuildForceRings(input, output, true, 10.0, 2, false);
    ASSERT_GT(count, 10);
    CPolygonRing simplified;
    simplified.CopyFrom(*input[0]);
    simplified.SimplifyToCount(33, 0.0, false);
    EXPECT_NEAR(PieceAreaSum(output), Area(simplified), 1e-9 * std::fabs(Area(simplified)));
    for (const auto& piece : output)
        EXPECT_EQ(piece->Values(), (std::vector<double>{0.7, 0.7}));
}

TEST(ForceRingBuilder, DegenerateRingsStayWholeAndHairThinRingsAreCapped)
{
    RingList input;
    input.push_back(Ring({0, 0, 1, 1, 2, 2, 0, 0}, 2.0));  // no area at all
    // An L of arms 0.01 wide and 1000 long: uncapped it would ask for 50000^2 cells.
    input.push_back(Ring({0, 0, 0, 1000, 0.01, 1000, 0.01, 0.01, 1000, 0.01, 1000, 0, 0, 0}, 2.0));
    RingList output;
    BuildForceRings(input, output, true, 10.0, 1, false);
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(Area(*output[0]), 0.0);
    EXPECT_LE(output.size(), 1 + static_cast<size_t>(MaxForceRingCells));
    const RingList strip(std::make_move_iterator(output.begin() + 1), std::make_move_iterator(output.end()));
    EXPECT_NEAR(PieceAreaSum(strip), Area(*input[1]), 1e-6 * std::fabs(Area(*input[1])));

    std::vector<double> sources, centres;
    EXPECT_EQ(AppendCircleSamples(*output[0], 16, 1.0, sources, centres, nullptr), 0);

    // A diagonal sliver through cell corners, which the clip gets wrong: the force rings still
    // carry exactly its area.
    RingList sliver;
    sliver.push_back(Ring({0, 0, 0, 0.01, 1000, 700.01, 1000, 700, 0, 0}, 2.0));
    RingList sliverRings;
    BuildForceRings(sliver, sliverRings, true, 10.0, 1, false);
    EXPECT_NEAR(PieceAreaSum(sliverRings), Area(*sliver[0]), 1e-6 * std::fabs(Area(*sliver[0])));
    // A zero total area cannot rank rings by share: everything stays whole.
    EXPECT_EQ(BuildForceRings(input, output, true, 0.0, 1, false), 2);
}

// Star-shaped clockwise rings of random size: some stay whole, some are cut, and many are
// compact enough for the threaded builder's one-cell rule.
RingList RandomRings(int count, unsigned seed, double* totalArea)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> position(0.0, 1000.0), radius(1.0, 60.0), jitter(0.6, 1.0), stretch(1.0, 4.0);
    std::uniform_int_distribution<int> vertices(5, 40);
    RingList rings;
    *totalArea = 0.0;
    for (int r = 0; r < count; ++r) {
        const double cx = position(random), cy = position(random), size = radius(random), wide = stretch(random);
        const int n = vertices(random);
        std::vector<double> points;
        for (int k = 0; k < n; ++k) {
            const double angle = -2.0 * std::numbers::pi * k / n;
            const double reach = size * jitter(random);
            points.insert(points.end(), {cx + wide * reach * std::cos(angle), cy + reach * std::sin(angle)});
        }
        points.insert(points.end(), {points[0], points[1]});
        rings.push_back(Ring(points, 0.5 + r % 7 * 0.25));
        *totalArea += std::fabs(Area(*rings.back()));
    }
    return rings;
}

bool SameRings(const RingList& a, const RingList& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto n = static_cast<size_t>(a[i]->PointCount());
        if (b[i]->PointCount() != a[i]->PointCount() || a[i]->Values() != b[i]->Values() ||
            std::memcmp(a[i]->Points(), b[i]->Points(), 2 * n * sizeof(double)) != 0)
            return false;
    }
    return true;
}

TEST(ForceRingBuilderParallel, AnyWorkerCountGivesTheSameRings)
{
    double total = 0.0;
    const RingList input = RandomRings(400, 11, &total);
    RingList reference;
    const int32_t count = BuildForceRingsParallel(input, reference, 2, true, total, 5, true);
    ASSERT_GT(count, 500);
    for (int32_t threads : {3, 8}) {
        RingList output;
        EXPECT_EQ(BuildForceRingsParallel(input, output, threads, true, total, 5, true), count);
        EXPECT_TRUE(SameRings(reference, output)) << threads << " threads";
    }
    // One thread is the sequential builder, which cuts the compact rings as well.
    RingList sequential, single;
    BuildForceRings(input, sequential, true, total, 5, true);
    BuildForceRingsParallel(input, single, 1, true, total, 5, true);
    EXPECT_TRUE(SameRings(sequential, single));
    EXPECT_GE(sequential.size(), reference.size());
}

TEST(ForceRingBuilderParallel, MoreWorkersThanRingsAndAppendWithoutClear)
{
    RingList input;
    input.push_back(Square(0.0, 0.0, 1.0, 2.0));
    input.push_back(Square(3.0, 0.0, 1.0, 0.5));
    input.push_back(Square(6.0, 0.0, 1.0, 1.0));
    RingList output;
    output.push_back(Square(9.0, 9.0, 1.0, 3.0));
    EXPECT_EQ(BuildForceRingsParallel(input, output, 8, false, 300.0, 2, false), 4);
    EXPECT_EQ(output[0]->Values(), (std::vector<double>{3.0}));
    EXPECT_EQ(output[1]->Values(), (std::vector<double>{2.0, 2.0}));
    EXPECT_EQ(output[3]->Values(), (std::vector<double>{1.0, 1.0}));
}

TEST(ForceRingBuilderParallel, CompactRingsStayWholeOnlyWithThreads)
{
    RingList input;
    input.push_back(Square(0.0, 0.0, 10.0, 2.0));  // its whole total: always a candidate to cut
    input.push_back(Square(20.0, 0.0, 10.0, 2.0));
    RingList threaded, sequential;
    BuildForceRingsParallel(input, threaded, 2, true, 100.0, 4, false);
    BuildForceRings(input, sequential, true, 100.0, 4, false);
    ASSERT_EQ(threaded.size(), 2u);
    EXPECT_EQ(threaded[0]->PointCount(), 5);
    EXPECT_EQ(std::memcmp(threaded[0]->Points(), input[0]->Points(), 10 * sizeof(double)), 0);
    // The sequential builder cuts each square by its single cell, which gives the same area.
    ASSERT_EQ(sequential.size(), 2u);
    EXPECT_NEAR(Area(*sequential[1]), Area(*input[1]), 1e-9);
}

} // namespace
} // namespace tessaro
