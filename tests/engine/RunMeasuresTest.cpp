#include "engine/RunMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tessaro {
namespace {

MeasureResult Measure(const std::vector<double>& areas, const std::vector<double>& fractions, double total)
{
    return ComputeRoundMeasures(areas, fractions, total);
}

TEST(RunMeasuresTest, TwoUnitSquaresWantingFourFifthsAndOneFifth)
{
    const MeasureResult result = Measure({1.0, 1.0}, {0.8, 0.2}, 2.0);
    ASSERT_TRUE(result.Ok());
    const RoundMeasures& m = result.Measures;
    ASSERT_EQ(m.Ratios.size(), 2u);
    EXPECT_NEAR(m.Ratios[0], 1.264911, 5e-7);
    EXPECT_NEAR(m.Ratios[1], 0.632456, 5e-7);
    EXPECT_NEAR(m.MinRit, 1.5, 1e-12);
    EXPECT_NEAR(m.MaxRit, 0.375, 1e-12);
    EXPECT_NEAR(m.Error, 0.102633, 5e-7);
    EXPECT_NEAR(m.MeanQuadraticError, 0.344186, 5e-7);
    EXPECT_NEAR(m.SimpleMeanError, 0.329670, 5e-7);
    EXPECT_NEAR(m.WeightedMeanError, 0.329670, 5e-7);
    EXPECT_EQ(m.Growers, 1);
    EXPECT_EQ(m.Shrinkers, 1);
    EXPECT_NEAR(m.RadiusSum, 2.0 * std::sqrt(1.0 / M_PI), 1e-12);
}

TEST(RunMeasuresTest, WeightedErrorWeighsByCurrentAreaOverTheFixedTotal)
{
    // T stays at its round-0 value while the areas drift: weights need not sum to 1.
    const MeasureResult result = Measure({3.0, 1.0}, {0.5, 0.5}, 2.0);
    ASSERT_TRUE(result.Ok());
    const RoundMeasures& m = result.Measures;
    // D = 1 for both: e = 2/4 and 0/2.
    EXPECT_NEAR(m.RelativeErrors[0], 0.5, 1e-12);
    EXPECT_NEAR(m.RelativeErrors[1], 0.0, 1e-12);
    EXPECT_NEAR(m.WeightedMeanError, 0.5 * 3.0 / 2.0, 1e-12);
    EXPECT_NEAR(m.SimpleMeanError, 0.25, 1e-12);
    // A ratio of exactly 1 counts as a shrinker.
    EXPECT_EQ(m.Growers, 0);
    EXPECT_EQ(m.Shrinkers, 2);
}

TEST(RunMeasuresTest, EveryPolygonAtItsTargetGivesZeroMeasures)
{
    const MeasureResult result = Measure({2.0, 6.0}, {0.25, 0.75}, 8.0);
    ASSERT_TRUE(result.Ok());
    const RoundMeasures& m = result.Measures;
    EXPECT_NEAR(m.MinRit, 0.0, 1e-12);
    EXPECT_NEAR(m.MaxRit, 0.0, 1e-12);
    EXPECT_NEAR(m.Error, 0.0, 1e-12);
    EXPECT_NEAR(m.MeanQuadraticError, 0.0, 1e-12);
    EXPECT_NEAR(m.SimpleMeanError, 0.0, 1e-12);
    EXPECT_LT(m.WeightedMeanError, 0.001); // the run's stop threshold
}

TEST(RunMeasuresTest, RatioAboveTenLeavesTheMinimumAtItsStartValue)
{
    // Each polygon must grow 20-fold in radius: 400-fold in area.
    const MeasureResult result = Measure({1.0, 1.0}, {0.5, 0.5}, 800.0);
    ASSERT_TRUE(result.Ok());
    EXPECT_EQ(result.Measures.MinRatio, 10.0);
    EXPECT_NEAR(result.Measures.MinRit, -0.99, 1e-12);
    EXPECT_NEAR(result.Measures.MaxRatio, 20.0, 1e-9);
}

TEST(RunMeasuresTest, DegenerateInputIsRefusedInsteadOfYieldingNaN)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<double> Areas;
        std::vector<double> Fractions;
        double Total;
        MeasureStatus Status;
        std::size_t Polygon;
    };
    const Case cases[] = {
        {{1.0, 0.0}, {0.5, 0.5}, 1.0, MeasureStatus::BadArea, 1},
        {{1.0, -2.0}, {0.5, 0.5}, 1.0, MeasureStatus::BadArea, 1},
        {{nan, 1.0}, {0.5, 0.5}, 1.0, MeasureStatus::BadArea, 0},
        {{1.0, inf}, {0.5, 0.5}, 1.0, MeasureStatus::BadArea, 1},
        {{1.0, 1.0}, {1.0, 0.0}, 2.0, MeasureStatus::BadFraction, 1},
        {{1.0, 1.0}, {0.5, 0.5}, 0.0, MeasureStatus::BadTotal, 0},
        {{1.0, 1.0}, {0.5, 0.5}, nan, MeasureStatus::BadTotal, 0},
        {{}, {}, 1.0, MeasureStatus::NoPolygons, 0},
        {{1.0}, {0.5, 0.5}, 1.0, MeasureStatus::CountMismatch, 0},
        // Sound inputs whose ratio overflows: 5e-324 / π rounds to zero.
        {{5e-324, 1.0}, {0.5, 0.5}, 1.0, MeasureStatus::NotFinite, 0},
        // ρ ≈ 1e160 is finite, but (ρ − 1)² is not.
        {{1.0, 1e-300}, {0.5, 0.5}, 2e20, MeasureStatus::NotFinite, 1},
    };
    for (const Case& c : cases) {
        const MeasureResult result = Measure(c.Areas, c.Fractions, c.Total);
        EXPECT_EQ(result.Status, c.Status);
        EXPECT_EQ(result.Polygon, c.Polygon);
        EXPECT_FALSE(DescribeMeasureFailure(result).empty());
    }
}

} // namespace
} // namespace tessaro
