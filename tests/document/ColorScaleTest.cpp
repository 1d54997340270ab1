// The map's colour scales: the diverging one of the deviation A/D − 1 (neutral at 0, red above,
// blue below, saturated at its bound, darker the farther from 0), the sequential ones of the
// values (quantile classes of equal counts, a continuous ramp), and the legend numbers.
#include "document/ColorScale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

namespace tessaro::test {
namespace {

int Lightness(const CPictureColor& c)
{
    return c.Red + c.Green + c.Blue;
}

// How much redder than blue.
int Warmth(const CPictureColor& c)
{
    return c.Red - c.Blue;
}

TEST(DeviationScaleTest, NeutralAtZeroRedAboveBlueBelow)
{
    const CColorScale scale = CColorScale::Deviation();
    const CPictureColor centre = scale.ColorOf(0.0);
    EXPECT_TRUE(centre.Red == centre.Green && centre.Green == centre.Blue) << int(centre.Red);
    EXPECT_GT(Lightness(centre), 3 * 230);
    for (const double v : {0.05, 0.2, 0.5}) {
        EXPECT_GT(scale.ColorOf(v).Red, scale.ColorOf(v).Blue) << v;
        EXPECT_GT(scale.ColorOf(-v).Blue, scale.ColorOf(-v).Red) << -v;
    }
    EXPECT_EQ(scale.ColorOf(std::nan("")), CColorScale::NoData);
}

TEST(DeviationScaleTest, DarkerAwayFromZeroOnBothSides)
{
    const CColorScale scale = CColorScale::Deviation(0.5);
    for (double v = 0.0; v < 0.5; v += 0.05) {
        EXPECT_LE(Lightness(scale.ColorOf(v + 0.05)), Lightness(scale.ColorOf(v))) << v;
        EXPECT_LE(Lightness(scale.ColorOf(-v - 0.05)), Lightness(scale.ColorOf(-v))) << -v;
    }
}

TEST(DeviationScaleTest, SaturatesAtItsBoundAndScalesWithIt)
{
    const CColorScale wide = CColorScale::Deviation(0.5);
    const CColorScale narrow = CColorScale::Deviation(0.2);
    EXPECT_EQ(wide.ColorOf(0.5), wide.ColorOf(3.0));
    EXPECT_EQ(wide.ColorOf(-0.5), wide.ColorOf(-0.99));
    EXPECT_NE(wide.ColorOf(0.45), wide.ColorOf(0.5));
    EXPECT_EQ(narrow.ColorOf(0.2), wide.ColorOf(0.5));
    EXPECT_EQ(narrow.ColorOf(-0.2), wide.ColorOf(-0.5));
    // The same place on the ramp, but for the rounding of a channel.
    const CPictureColor a = narrow.ColorOf(0.1), b = wide.ColorOf(0.25);
    EXPECT_LE(std::abs(a.Red - b.Red) + std::abs(a.Green - b.Green) + std::abs(a.Blue - b.Blue), 3);
    EXPECT_EQ(narrow.ColorOf(0.3), narrow.ColorOf(0.2));
    // The two ends are as far from neutral, one on each side.
    EXPECT_GT(Warmth(wide.ColorOf(0.5)), 0);
    EXPECT_LT(Warmth(wide.ColorOf(-0.5)), 0);
    for (const double bad : {0.0, -0.3, std::nan("")})
        EXPECT_EQ(CColorScale::Deviation(bad).ColorOf(0.5), wide.ColorOf(0.5)) << bad;
}

TEST(DeviationScaleTest, LegendRunsFromTooLargeToTooSmallInPercent)
{
    const CColorScale scale = CColorScale::Deviation(0.3);
    const std::vector<ColorLegendEntry>& legend = scale.Legend();
    ASSERT_EQ(legend.size(), 5u);
    EXPECT_EQ(legend.front().Color, scale.ColorOf(0.3));
    EXPECT_EQ(legend[2].Color, scale.ColorOf(0.0));
    EXPECT_EQ(legend.back().Color, scale.ColorOf(-0.3));
    EXPECT_EQ(legend.front().Label.rfind("+30 %", 0), 0u) << legend.front().Label;
    EXPECT_EQ(legend[1].Label, "+15 %");
    EXPECT_EQ(legend[2].Label.rfind("0 %", 0), 0u) << legend[2].Label;
    EXPECT_EQ(legend.back().Label.rfind("−30 %", 0), 0u) << legend.back().Label;
}

// The values 1 .. 100 in a shuffled order, a NaN among them.
std::vector<double> OneToHundred()
{
    std::vector<double> values(100);
    std::iota(values.begin(), values.end(), 1.0);
    std::shuffle(values.begin(), values.end(), std::mt19937(7));
    values.insert(values.begin() + 40, std::nan(""));
    return values;
}

TEST(QuantileScaleTest, ClassesHoldEqualCountsFromLightToDark)
{
    const std::vector<double> values = OneToHundred();
    const CColorScale scale = CColorScale::Quantiles(values, 5);
    ASSERT_EQ(scale.ClassCount(), 5);
    const std::vector<ColorLegendEntry>& legend = scale.Legend();
    ASSERT_EQ(legend.size(), 5u);
    for (size_t c = 0; c < 5; ++c) {
        // The legend lists the largest values first.
        const CPictureColor color = legend[4 - c].Color;
        const auto count =
            std::count_if(values.begin(), values.end(), [&](double v) { return scale.ColorOf(v) == color; });
        EXPECT_EQ(count, 20) << c;
        EXPECT_EQ(scale.ColorOf(20.0 * c + 1), color) << c;
        EXPECT_EQ(scale.ColorOf(20.0 * c + 20), color) << c;
        if (c > 0) {
            EXPECT_LT(Lightness(color), Lightness(legend[5 - c].Color)) << c;
        }
    }
    EXPECT_EQ(legend.front().Label, "81 – 100");
    EXPECT_EQ(legend.back().Label, "1 – 20");
    EXPECT_EQ(scale.ColorOf(std::nan("")), CColorScale::NoData);
    // Values past the data's range fall into the end classes.
    EXPECT_EQ(scale.ColorOf(-5.0), legend.back().Color);
    EXPECT_EQ(scale.ColorOf(1e9), legend.front().Color);
}

TEST(QuantileScaleTest, TiedBreaksMergeTheirClasses)
{
    const CColorScale ties = CColorScale::Quantiles(std::vector<double>{1, 1, 1, 1, 1, 1, 1, 2, 3, 3}, 5);
    // The breaks at ranks 2, 4 and 6 are all the smallest value: one class up to the break at 3.
    EXPECT_EQ(ties.ClassCount(), 2);
    EXPECT_EQ(ties.ColorOf(1.0), ties.ColorOf(2.0));
    EXPECT_NE(ties.ColorOf(2.0), ties.ColorOf(3.0));
    EXPECT_EQ(ties.Legend().back().Label, "1 – 2");
    EXPECT_EQ(ties.Legend().front().Label, "3");

    const CColorScale same = CColorScale::Quantiles(std::vector<double>{4, 4, 4}, 5);
    EXPECT_EQ(same.ClassCount(), 1);
    EXPECT_EQ(same.Legend().size(), 1u);

    const CColorScale few = CColorScale::Quantiles(std::vector<double>{1, 2, 3}, 5);
    EXPECT_EQ(few.ClassCount(), 3);
    EXPECT_EQ(CColorScale::Quantiles(std::vector<double>{std::nan("")}, 5).ColorOf(1.0), CColorScale::NoData);
}

TEST(ContinuousScaleTest, RampRunsFromTheSmallestToTheLargestValue)
{
    const CColorScale scale = CColorScale::Continuous(OneToHundred());
    EXPECT_EQ(scale.ClassCount(), 0);
    EXPECT_EQ(scale.ColorOf(1.0), (CPictureColor{255, 255, 204}));
    EXPECT_EQ(scale.ColorOf(100.0), (CPictureColor{128, 0, 38}));
    EXPECT_EQ(scale.ColorOf(500.0), scale.ColorOf(100.0));
    for (double v = 1.0; v < 100.0; v += 3.0)
        EXPECT_LE(Lightness(scale.ColorOf(v + 3.0)), Lightness(scale.ColorOf(v))) << v;
    EXPECT_EQ(scale.Legend().front().Label, "100");
    EXPECT_EQ(scale.Legend().back().Label, "1");
}

TEST(ShortNumberTest, ThreeSignificantDigitsWithThousandsAndMillionsShortened)
{
    EXPECT_EQ(ShortNumber(0.0), "0");
    EXPECT_EQ(ShortNumber(563.0), "563");
    EXPECT_EQ(ShortNumber(1234.0), "1234");
    EXPECT_EQ(ShortNumber(12345.0), "12.3 k");
    EXPECT_EQ(ShortNumber(563626.0), "564 k");
    EXPECT_EQ(ShortNumber(33871648.0), "33.9 M");
    EXPECT_EQ(ShortNumber(2.5e9), "2.5 bn");
    EXPECT_EQ(ShortNumber(0.00456), "0.00456");
    EXPECT_EQ(ShortNumber(1.5), "1.5");
}

} // namespace
} // namespace tessaro::test
