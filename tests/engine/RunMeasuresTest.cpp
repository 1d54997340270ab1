#include "engine/RunMeasures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace tessaro {
namespace {

TEST(RunMeasuresTest, RatiosErrorsAndCountsOfARound)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        std::vector<double> Areas, Fractions;
        double Total;
        // Expected: ratios, min and max ratio, MinRit, MaxRit, Error, MeanQuadraticError,
        // SimpleMeanError and WeightedMeanError (NaN: not checked), growers and shrinkers (-1: not
        // checked).
        std::vector<double> Ratios, Measures;
        int Growers, Shrinkers;
    };
    const Case cases[] = {
        // Two unit squares wanting four fifths and one fifth.
        {{1, 1}, {0.8, 0.2}, 2, {1.264911, 0.632456}, {0.632456, 1.264911, 1.5, 0.375, 0.102633, 0.344186, 0.329670, 0.329670}, 1, 1},
        // T stays at its round-0 value while the areas drift: weights need not sum to 1 (D = 1
        // for both: e = 2/4 and 0/2); a ratio of exactly 1 counts as a shrinker.
        {{3, 1}, {0.5, 0.5}, 2, {std::sqrt(1.0 / 3.0), 1}, {nan, nan, nan, nan, nan, nan, 0.25, 0.75}, 0, 2},
        // Every polygon at its target.
        {{2, 6}, {0.25, 0.75}, 8, {1, 1}, {1, 1, 0, 0, 0, 0, 0, 0}, -1, -1},
        // Each must grow 20-fold in radius: a ratio above 10 leaves the minimum at its start value.
        {{1, 1}, {0.5, 0.5}, 800, {20, 20}, {10, 20, -0.99, nan, nan, nan, nan, nan}, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Areas[0] << ", " << c.Areas[1] << " of " << c.Total);
        const MeasureResult result = ComputeRoundMeasures(c.Areas, c.Fractions, c.Total);
        ASSERT_TRUE(result.Ok());
        const RoundMeasures& m = result.Measures;
        ASSERT_EQ(m.Ratios.size(), 2u);
        for (size_t i = 0; i < 2; ++i)
            EXPECT_NEAR(m.Ratios[i], c.Ratios[i], 5e-7) << i;
        const double actual[] = {m.MinRatio,   m.MaxRatio, m.MinRit, m.MaxRit, m.Error, m.MeanQuadraticError,
                                 m.SimpleMeanError, m.WeightedMeanError};
        for (size_t k = 0; k < c.Measures.size(); ++k)
            EXPECT_TRUE(std::isnan(c.Measures[k]) || std::fabs(actual[k] - c.Measures[k]) < 5e-7) << "measure " << k << ": " << actual[k];
        if (c.Growers >= 0) {
            EXPECT_EQ(m.Growers, c.Growers);
            EXPECT_EQ(m.Shrinkers, c.Shrinkers);
        }
        EXPECT_NEAR(m.RadiusSum, std::sqrt(c.Areas[0] / M_PI) + std::sqrt(c.Areas[1] / M_PI), 1e-12);
    }
}

// The per-polygon fit is the same error the means are taken of, agrees with the radius ratio
// (ρ² = D/A), and marks exactly the polygons below half or above twice their desired area.
TEST(RunMeasuresTest, EachPolygonsFitAgreesWithItsRatioAndTheMeans)
{
    const std::vector<double> areas = {1.0, 4.0, 2.0, 1.0};
    const std::vector<double> fractions = {0.375, 0.125, 0.25, 0.25};
    const MeasureResult result = ComputeRoundMeasures(areas, fractions, 8.0);
    ASSERT_TRUE(result.Ok());
    const RoundMeasures& m = result.Measures;
    ASSERT_EQ(m.Fits.size(), areas.size());
    // Desired areas 3, 1, 2, 2: three times, four times, equal, half.
    const double deviations[] = {-2.0 / 3.0, 3.0, 0.0, -0.5};
    const bool far[] = {true, true, false, false};
    double weighted = 0.0;
    for (size_t i = 0; i < areas.size(); ++i) {
        const PolygonFit& fit = m.Fits[i];
        EXPECT_DOUBLE_EQ(fit.DesiredShare, fractions[i]);
        EXPECT_DOUBLE_EQ(fit.AreaShare, areas[i] / 8.0);
        EXPECT_NEAR(fit.Deviation, deviations[i], 1e-12) << i;
        EXPECT_NEAR(fit.Deviation, 1.0 / (m.Ratios[i] * m.Ratios[i]) - 1.0, 1e-12) << i;
        const double squared = m.Ratios[i] * m.Ratios[i];
        EXPECT_NEAR(fit.RelativeError, std::fabs(squared - 1.0) / (squared + 1.0), 1e-12) << i;
        EXPECT_EQ(fit.FarFromSize(), far[i]) << i;
        weighted += fit.RelativeError * areas[i];
    }
    EXPECT_NEAR(m.WeightedMeanError, weighted / 8.0, 1e-15);
    // Twice the desired area is the edge, not beyond it.
    EXPECT_FALSE(FitOf(2.0, 0.5, 2.0).FarFromSize());
    EXPECT_TRUE(FitOf(2.0001, 0.5, 2.0).FarFromSize());
}

TEST(RunMeasuresTest, DegenerateInputIsRefusedInsteadOfYieldingNaN)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        std::vector<double> Areas, Fractions;
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
        const MeasureResult result = ComputeRoundMeasures(c.Areas, c.Fractions, c.Total);
        EXPECT_EQ(result.Status, c.Status);
        EXPECT_EQ(result.Polygon, c.Polygon);
        EXPECT_FALSE(DescribeMeasureFailure(result).empty());
    }
}

} // namespace
} // namespace tessaro
