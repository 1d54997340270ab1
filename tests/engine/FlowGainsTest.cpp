#include "engine/FlowGains.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace tessaro {
namespace {

constexpr double Contrast = 1e4;

// Radius ratios ρ for areas at `deviations` (A/D − 1) from their desired areas: ρ² = D/A.
std::vector<double> RatiosAt(const std::vector<double>& deviations)
{
    std::vector<double> ratios;
    for (const double d : deviations)
        ratios.push_back(1.0 / std::sqrt(1.0 + d));
    return ratios;
}

TEST(FlowGains, APolygonThatMovesPartOfTheWayIsAskedForMoreNextRound)
{
    CFlowGains gains;
    const std::vector<uint8_t> pushed(6, 1);
    // 10 % too large (three of them), 20 % too small, twice its size, and one on its size.
    const std::vector<double> deviations{0.1, -0.2, 0.1, 0.1, 1.0, 0.0};
    const std::vector<double> first = gains.Densities(RatiosAt(deviations), pushed, Contrast, true);
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_NEAR(first[i], 1.0 / (1.0 + deviations[i]), 1e-12) << i;

    // In ln(D/A): polygon 0 moved a quarter of the way, 1 all of it, 2 two thirds, 3 the wrong way.
    const auto partWay = [](double deviation, double part) {
        return std::exp((1.0 - part) * std::log(1.0 + deviation)) - 1.0;
    };
    const std::vector<double> ratios = RatiosAt({partWay(0.1, 0.25), 0.0, partWay(0.1, 2.0 / 3.0), 0.15, 0.9, 0.0});
    const std::vector<double> second = gains.Densities(ratios, pushed, Contrast, true);
    // A quarter of the way asks for (D/A)^4, held at the highest power.
    EXPECT_DOUBLE_EQ(gains.Power(0), CFlowGains::MaxPower);
    EXPECT_NEAR(second[0], std::pow(ratios[0] * ratios[0], CFlowGains::MaxPower), 1e-12);
    EXPECT_DOUBLE_EQ(gains.Power(1), 1.0);
    EXPECT_NEAR(gains.Power(2), 1.5, 1e-9);
    EXPECT_DOUBLE_EQ(gains.Power(3), 1.0);
    // Far from its size, the response is not learned from: power 1.
    EXPECT_DOUBLE_EQ(gains.Power(4), 1.0);
    EXPECT_NEAR(second[4], 1.0 / 1.9, 1e-12);
    EXPECT_DOUBLE_EQ(second[5], 1.0);

    // Without learning the powers stay.
    const std::vector<double> third = gains.Densities(ratios, pushed, Contrast, false);
    EXPECT_EQ(third, second);
    EXPECT_NEAR(gains.Power(2), 1.5, 1e-9);
}

TEST(FlowGains, PolygonsNotPushedGetNoDensityAndEveryDensityStaysWithinTheContrast)
{
    CFlowGains gains;
    const std::vector<double> densities =
        gains.Densities({1e3, 1e-3, 1.2, 0.0, std::nan("")}, {1, 1, 0, 1, 1}, Contrast, true);
    EXPECT_DOUBLE_EQ(densities[0], Contrast);
    EXPECT_DOUBLE_EQ(densities[1], 1.0 / Contrast);
    EXPECT_DOUBLE_EQ(densities[2], 0.0);
    // No area asked for shrinks as hard as the contrast allows; a ratio that is not a number is
    // left to the mean like a polygon not pushed.
    EXPECT_DOUBLE_EQ(densities[3], 1.0 / Contrast);
    EXPECT_DOUBLE_EQ(densities[4], 0.0);
    // A new map, of another polygon count, starts again from power 1.
    EXPECT_EQ(gains.Densities({1.01, 1.0}, {1, 1}, Contrast, true).size(), 2u);
    EXPECT_DOUBLE_EQ(gains.Power(0), 1.0);
}

} // namespace
} // namespace tessaro
