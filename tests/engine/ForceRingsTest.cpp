#include "engine/ForceRings.h"

#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>

namespace tessaro {
namespace {

// A ring with its ratio in Values slot 0; a clockwise square of side s from (x, y).
std::unique_ptr<CPolygonRing> Ring(const std::vector<double>& points, double ratio)
{
    auto ring = test::MakeRing(points);
    ring->Values().push_back(ratio);
    return ring;
}

std::unique_ptr<CPolygonRing> Square(double x, double y, double s, double ratio) { return Ring(test::SquarePoints(x, y, s), ratio); }

double Area(const CPolygonRing& ring)
{
    double area = 0.0;
    ring.AreaAndCentroid(nullptr, &area);
    return area;
}

double AreaSum(const RingList& rings, size_t first = 0)
{
    double sum = 0.0;
    for (size_t k = first; k < rings.size(); ++k)
        sum += Area(*rings[k]);
    return sum;
}

TEST(ForceRingSamples, OnlyClockwiseRingsWithAreaGetCirclePoints)
{
    std::vector<double> sources, centres, targets;
    EXPECT_EQ(AppendCircleSamples(*Ring({0, 0, 2, 0, 2, 2, 0, 2, 0, 0}, 2.0), 16, 0.5, sources, centres, nullptr), 0)
        << "counter-clockwise";
    EXPECT_EQ(AppendCircleSamples(*Ring({0, 0, 1, 1, 2, 2, 0, 0}, 2.0), 16, 0.5, sources, centres, nullptr), 0)
        << "flat";
    EXPECT_TRUE(sources.empty());

    const auto square = Square(0.0, 0.0, 2.0, 2.0);
    CPoint2D centre{-1.0, -1.0};
    EXPECT_EQ(AppendCircleSamples(*square, 16, -1.0, sources, centres, &centre), 16);
    EXPECT_EQ(AppendCircleSamples(*square, 16, 0.5, sources, centres, &centre), 24);
    ASSERT_TRUE(sources.size() == 80u && centres.size() == 80u);
    EXPECT_TRUE(centre.X == 1.0 && centre.Y == 1.0);
    const double radius = std::sqrt(4.0 / std::numbers::pi);
    for (size_t k = 0; k < 32; k += 2)
        EXPECT_NEAR(std::hypot(sources[k] - 1.0, sources[k + 1] - 1.0), radius, 1e-12);
    // The square points sit at factor * radius on each axis: the last one is (+, +).
    EXPECT_NEAR(sources[78], 1.0 + 0.5 * radius, 1e-12);
    EXPECT_NEAR(sources[79], 1.0 + 0.5 * radius, 1e-12);
    AppendCircleTargets(sources, 16, centre, -2.0, targets);
    ASSERT_EQ(targets.size(), 48u);
    EXPECT_NEAR(targets[0], 1.0 - 2.0 * (sources[32] - 1.0), 1e-12);
}

TEST(ForceRingTargets, CompressionExaggerationAndAutoRates)
{
    // Ratio, largest and smallest ratio of the round, F.
    const std::array<double, 4> cases[] = {
        {2.0, 2.0, 0.5, 22.619381941508543}, {0.5, 2.0, 0.5, -2.619162312519754}, {1.0, 2.0, 0.5, 1.0},
        {100.0, 100.0, 0.5, 486135.03565452306}, // compressed to 10
        {1e-4, 2.0, 1e-4, -0.4044653167389282},  // compressed to 0.01
    };
    for (const auto& [ratio, maxRatio, minRatio, factor] : cases) {
        CTargetFactorSettings settings;
        settings.MaxRatio = maxRatio;
        settings.MinRatio = minRatio;
        EXPECT_NEAR(TargetFactor(ratio, settings), factor, 1e-9 * std::fabs(factor)) << ratio;
    }
    // Growers, shrinkers, enlarge and shrink rates from 0.05 and 0.1.
    const std::array<double, 4> rates[] = {{30, 10, 0.1, 0.1}, {10, 30, 0.1 / 3.0, 0.1}, {20, 20, 0.1, 0.1}, {0, 0, 0.1, 0.1}};
    for (const auto& [growers, shrinkers, enlarge, shrink] : rates) {
        double e = 0.05, s = 0.1;
        BalanceExaggerationRates(static_cast<int32_t>(growers), static_cast<int32_t>(shrinkers), e, s);
        EXPECT_TRUE(e == enlarge && s == shrink) << growers << " / " << shrinkers << ": " << e << ", " << s;
    }
}

TEST(ForceRingBuilder, SmallRingsStayWholeAndLongThinRingsArePiecesCoveringTheirArea)
{
    RingList input, output;
    input.push_back(Square(0.0, 0.0, 1.0, 1.5));
    input[0]->Values().push_back(0.25); // carried into slot 2 on request
    output.push_back(Square(5.0, 5.0, 1.0, 9.0)); // emptied by the clear flag
    // Share 1/100 against the limit 4/4^3.
    EXPECT_EQ(BuildForceRings(input, output, CForceRingOptions{.TotalArea = 100.0, .Depth = 3, .CarrySourceValue = true}), 1);
    EXPECT_EQ(output[0]->Values(), (std::vector<double>{1.5, 1.5, 0.25}));
    EXPECT_EQ(output[0]->PointCount(), 5);

    input[0] = Ring({0, 0, 0, 2, 30, 1.5, 60, 0.5, 61, 0, 0, 0}, 0.7);
    ASSERT_GT(BuildForceRings(input, output, CForceRingOptions{.TotalArea = 10.0, .Depth = 2}), 10);
    CPolygonRing simplified;
    simplified.CopyFrom(*input[0]);
    simplified.SimplifyToCount(33, 0.0, false);
    EXPECT_NEAR(AreaSum(output), Area(simplified), 1e-9 * std::fabs(Area(simplified)));
    for (const auto& piece : output)
        EXPECT_EQ(piece->Values(), (std::vector<double>{0.7, 0.7}));
}

TEST(ForceRingBuilder, DegenerateRingsStayWholeAndHairThinRingsAreCapped)
{
    RingList input, output, sliver, sliverRings;
    input.push_back(Ring({0, 0, 1, 1, 2, 2, 0, 0}, 2.0)); // no area at all
    // An L of arms 0.01 wide and 1000 long: uncapped it would ask for 50000^2 cells.
    input.push_back(Ring({0, 0, 0, 1000, 0.01, 1000, 0.01, 0.01, 1000, 0.01, 1000, 0, 0, 0}, 2.0));
    BuildForceRings(input, output, CForceRingOptions{.TotalArea = 10.0, .Depth = 1});
    ASSERT_GE(output.size(), 2u);
    EXPECT_EQ(Area(*output[0]), 0.0);
    EXPECT_LE(output.size(), 1 + static_cast<size_t>(MaxForceRingCells));
    EXPECT_NEAR(AreaSum(output, 1), Area(*input[1]), 1e-6 * std::fabs(Area(*input[1])));
    // A diagonal sliver through cell corners, which the clip gets wrong: the force rings still
    // carry exactly its area.
    sliver.push_back(Ring({0, 0, 0, 0.01, 1000, 700.01, 1000, 700, 0, 0}, 2.0));
    BuildForceRings(sliver, sliverRings, CForceRingOptions{.TotalArea = 10.0, .Depth = 1});
    EXPECT_NEAR(AreaSum(sliverRings), Area(*sliver[0]), 1e-6 * std::fabs(Area(*sliver[0])));
    // A zero total area cannot rank rings by share: everything stays whole.
    EXPECT_EQ(BuildForceRings(input, output, CForceRingOptions{.TotalArea = 0.0, .Depth = 1}), 2);
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
            const double angle = -2.0 * std::numbers::pi * k / n, reach = size * jitter(random);
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
    for (size_t i = 0; a.size() == b.size() && i < a.size(); ++i)
        if (b[i]->PointCount() != a[i]->PointCount() || a[i]->Values() != b[i]->Values() ||
            std::memcmp(a[i]->Points(), b[i]->Points(), 2 * static_cast<size_t>(a[i]->PointCount()) * sizeof(double)) != 0)
            return false;
    return a.size() == b.size();
}

TEST(ForceRingBuilderParallel, AnyWorkerCountGivesTheSameRings)
{
    double total = 0.0;
    const RingList input = RandomRings(400, 11, &total);
    RingList reference, sequential, single;
    const int32_t count = BuildForceRingsParallel(input, reference, CForceRingOptions{.TotalArea = total, .Depth = 5, .Threads = 2, .CarrySourceValue = true});
    ASSERT_GT(count, 500);
    for (int32_t threads : {3, 8}) {
        RingList output;
        EXPECT_EQ(BuildForceRingsParallel(input, output, CForceRingOptions{.TotalArea = total, .Depth = 5, .Threads = threads, .CarrySourceValue = true}), count);
        EXPECT_TRUE(SameRings(reference, output)) << threads << " threads";
    }
    // One thread is the sequential builder, which cuts the compact rings as well.
    BuildForceRings(input, sequential, CForceRingOptions{.TotalArea = total, .Depth = 5, .CarrySourceValue = true});
    BuildForceRingsParallel(input, single, CForceRingOptions{.TotalArea = total, .Depth = 5, .Threads = 1, .CarrySourceValue = true});
    EXPECT_TRUE(SameRings(sequential, single));
    EXPECT_GE(sequential.size(), reference.size());
}

// More workers than rings, appending without clearing; compact rings stay whole only with
// threads, where the sequential builder cuts each square by its single cell (the same area).
TEST(ForceRingBuilderParallel, MoreWorkersThanRingsAndCompactRingsStayWholeOnlyWithThreads)
{
    RingList input, output, sequential;
    for (const double ratio : {2.0, 0.5, 1.0})
        input.push_back(Square(6.0 * ratio, 0.0, 1.0, ratio));
    output.push_back(Square(9.0, 9.0, 1.0, 3.0));
    EXPECT_EQ(BuildForceRingsParallel(input, output, CForceRingOptions{.TotalArea = 3.0, .Depth = 4, .Threads = 8, .Clear = false}), 4);
    EXPECT_EQ(output[0]->Values(), (std::vector<double>{3.0}));
    EXPECT_EQ(output[1]->Values(), (std::vector<double>{2.0, 2.0}));
    EXPECT_EQ(output[3]->Values(), (std::vector<double>{1.0, 1.0}));
    EXPECT_EQ(std::memcmp(output[1]->Points(), input[0]->Points(), 10 * sizeof(double)), 0);
    BuildForceRings(input, sequential, CForceRingOptions{.TotalArea = 3.0, .Depth = 4});
    ASSERT_EQ(sequential.size(), 3u);
    EXPECT_NE(std::memcmp(sequential[0]->Points(), input[0]->Points(), 10 * sizeof(double)), 0);
    EXPECT_NEAR(Area(*sequential[0]), Area(*input[0]), 1e-9);
}

} // namespace
} // namespace tessaro
