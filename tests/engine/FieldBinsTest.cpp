#include "engine/FieldBins.h"
#include "engine/PointDisplacementTransformer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace tessaro {
namespace {

// Circles of log-normal radii scattered over a square, each pushed out or pulled in, as a map of
// many small and a few large polygons gives them.
void LoadCircles(CPointDisplacementTransformer& transformer, int circles, int points, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> place(0.0, 1000.0);
    std::lognormal_distribution<double> radius(1.5, 1.0);
    std::uniform_real_distribution<double> factor(0.5, 2.0);
    std::vector<double> sources, targets, centres;
    for (int c = 0; c < circles; ++c) {
        const double cx = place(random), cy = place(random), r = radius(random), f = factor(random);
        for (int k = 0; k < points; ++k) {
            const double angle = 2.0 * std::numbers::pi * k / points;
            const double x = cx + r * std::cos(angle), y = cy + r * std::sin(angle);
            sources.insert(sources.end(), {x, y});
            targets.insert(targets.end(), {cx + (x - cx) * f, cy + (y - cy) * f});
            centres.insert(centres.end(), {cx, cy});
        }
    }
    const auto n = static_cast<int32_t>(sources.size() / 2);
    ASSERT_EQ(transformer.SetControlVectors(n, sources.data(), targets.data()), 1);
    ASSERT_EQ(transformer.SetCentres(n, centres.data()), 1);
    ASSERT_TRUE(transformer.Precompute(-1.0));
}

// A grid of points over the square and a margin beyond it.
std::vector<double> Points(int side)
{
    std::vector<double> points;
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j)
            points.insert(points.end(), {-50.0 + 1100.0 * i / (side - 1), -50.0 + 1100.0 * j / (side - 1)});
    return points;
}

// Through the bins every kernel gives the full evaluation's sums, bit for bit: a vector left out
// of a bin could only be one the kernel's cut-off skips anyway.
TEST(FieldBins, BinnedSumsAreTheFullSumsForEveryKernel)
{
    for (const ForceDecay force : {ForceDecay::Exponential, ForceDecay::Directional, ForceDecay::FixedRange}) {
        CPointDisplacementTransformer transformer;
        LoadCircles(transformer, 300, 8, 7);
        const std::vector<double> points = Points(41);
        const size_t n = points.size() / 2;
        CFieldBins bins;
        bins.Build(transformer, force, CExtent{0.0, 0.0, 1000.0, 1000.0});
        EXPECT_GT(bins.Side(), 1) << "the vectors reach far less than the map";
        std::vector<double> binned(points.size());
        EvaluateFieldBinned(transformer, bins, n, points.data(), binned.data(), force, ElasticityMeasure::Jacobian,
                            true, 1);
        for (size_t j = 0; j < n; ++j) {
            const CPointForce full =
                transformer.EvaluatePoint(points[2 * j], points[2 * j + 1], force, ElasticityMeasure::Jacobian);
            ASSERT_EQ(binned[2 * j], full.Dx) << "force " << static_cast<int>(force) << ", point " << j;
            ASSERT_EQ(binned[2 * j + 1], full.Dy) << "force " << static_cast<int>(force) << ", point " << j;
        }
    }
}

TEST(FieldBins, AnyThreadCountGivesTheSameBitsAndTheSmallestMeasure)
{
    CPointDisplacementTransformer transformer;
    LoadCircles(transformer, 200, 8, 11);
    const std::vector<double> points = Points(31);
    const size_t n = points.size() / 2;
    CFieldBins bins;
    bins.Build(transformer, ForceDecay::FixedRange, CExtent{-50.0, -50.0, 1050.0, 1050.0});
    std::vector<double> one(points.size()), two(points.size()), five(points.size());
    const double m1 = EvaluateFieldBinned(transformer, bins, n, points.data(), one.data(), ForceDecay::FixedRange,
                                          ElasticityMeasure::Jacobian, true, 1);
    const double m2 = EvaluateFieldBinned(transformer, bins, n, points.data(), two.data(), ForceDecay::FixedRange,
                                          ElasticityMeasure::Jacobian, true, 2);
    const double m5 = EvaluateFieldBinned(transformer, bins, n, points.data(), five.data(), ForceDecay::FixedRange,
                                          ElasticityMeasure::Jacobian, true, 5);
    EXPECT_EQ(one, two);
    EXPECT_EQ(two, five);
    EXPECT_EQ(m1, m2);
    EXPECT_EQ(m2, m5);
    double smallest = 1.0;
    for (size_t j = 0; j < n; ++j)
        smallest = std::min(smallest, transformer
                                          .EvaluatePoint(points[2 * j], points[2 * j + 1], ForceDecay::FixedRange,
                                                         ElasticityMeasure::Jacobian)
                                          .Measure);
    EXPECT_EQ(m1, smallest);
}

// The fixed-range force decays over KernelRange circle radii whatever the vector's length: a
// short vector still pushes a point several radii away, where the exponential force is spent.
TEST(FixedRangeForce, ReachesAsFarAsItsCircleNotAsItsLength)
{
    CPointDisplacementTransformer transformer;
    transformer.KernelRange = 2.0;
    // One vector of length 0.01 from (1, 0), on a unit circle about the origin, pointing outwards.
    const double source[] = {1.0, 0.0}, target[] = {1.01, 0.0}, centre[] = {0.0, 0.0};
    ASSERT_EQ(transformer.SetControlVectors(1, source, target), 1);
    ASSERT_EQ(transformer.SetCentres(1, centre), 1);
    ASSERT_TRUE(transformer.Precompute(-1.0));
    struct Case {
        double X;
        double Expected; // L exp(-d / l), l = 2
    } cases[] = {{1.0, 0.01}, {3.0, 0.01 * std::exp(-1.0)}, {10.0, 0.01 * std::exp(-4.5)}, {11.1, 0.0}};
    for (const Case& c : cases) {
        const CPointForce force =
            transformer.EvaluatePoint(c.X, 0.0, ForceDecay::FixedRange, ElasticityMeasure::Jacobian);
        EXPECT_NEAR(force.Dx, c.Expected, 1e-15) << "at x = " << c.X;
        EXPECT_EQ(force.Dy, 0.0);
    }
    EXPECT_EQ(transformer.EvaluatePoint(3.0, 0.0, ForceDecay::Exponential, ElasticityMeasure::Jacobian).Dx, 0.0);
}

} // namespace
} // namespace tessaro
