#include "engine/LocalScaling.h"

#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;
using test::SquarePoints;

// The closed clockwise square's ring with `perSide` points along each side, as the rounds
// densify borders.
std::vector<double> DenseSquare(double left, double bottom, double side, int perSide = 25)
{
    const std::vector<double> corners = SquarePoints(left, bottom, side);
    std::vector<double> ring;
    for (size_t c = 0; c + 3 < corners.size(); c += 2)
        for (int i = 0; i < perSide; ++i) {
            const double t = static_cast<double>(i) / perSide;
            ring.insert(ring.end(), {corners[c] + t * (corners[c + 2] - corners[c]),
                                     corners[c + 1] + t * (corners[c + 3] - corners[c + 1])});
        }
    ring.insert(ring.end(), {corners[0], corners[1]});
    return ring;
}

// The closed ring's points moved by the scaling, as a polygon.
std::unique_ptr<CSimplePolygon> Moved(const CLocalScaling& scaling, const std::vector<double>& ring)
{
    std::vector<double> raw(ring.size(), 0.0);
    scaling.Displace(ring, raw);
    std::vector<double> moved(ring);
    for (size_t k = 0; k < moved.size(); ++k)
        moved[k] += raw[k];
    return MakePolygon({moved});
}

double AreaOf(const CSimplePolygon& polygon)
{
    CPoint2D centroid;
    double area = 0.0;
    polygon.AreaAndCentroid(&centroid, &area);
    return area;
}

// A square's corners lie outside the disc of its area: the disc's factor is solved so that the
// square itself, not the disc, changes by the factor asked for, either way, at any scale and place.
TEST(LocalScaling, ChangesThePolygonByTheFactorAskedFor)
{
    for (const double side : {1e-3, 1.0, 1e5})
        for (const double factor : {0.9, 1.1}) {
            const std::vector<double> square = DenseSquare(1e7, -3e6, side);
            const auto polygon = MakePolygon({square});
            CLocalScaling scaling;
            const double radius = scaling.Add(*polygon, factor);
            EXPECT_NEAR(radius, side / std::sqrt(std::numbers::pi), 1e-5 * side);
            EXPECT_NEAR(AreaOf(*Moved(scaling, square)) / AreaOf(*polygon), factor, 1e-3) << side << " " << factor;
        }
}

// The motion given first counts: a polygon the flow already grows by a tenth needs less.
TEST(LocalScaling, StartsFromTheMotionGivenFirst)
{
    const std::vector<double> square = DenseSquare(0.0, 0.0, 2.0);
    const auto polygon = MakePolygon({square});
    const double grow = std::sqrt(1.1) - 1.0; // about the square's centre (1, 1)
    std::vector<double> before(square.size());
    for (size_t k = 0; k < square.size(); ++k)
        before[k] = grow * (square[k] - 1.0);
    CLocalScaling scaling;
    scaling.Add(*polygon, 1.15, before.data());
    std::vector<double> raw(before);
    scaling.Displace(square, raw);
    std::vector<double> moved(square);
    for (size_t k = 0; k < moved.size(); ++k)
        moved[k] += raw[k];
    EXPECT_NEAR(AreaOf(*MakePolygon({moved})) / 4.0, 1.15, 2e-3);
}

// Nothing beyond twice the disc's radius moves, and along a ray the points keep their order (the
// map is one to one), at the largest factor either way.
TEST(LocalScaling, StaysLocalAndOneToOne)
{
    const auto polygon = MakePolygon({SquarePoints(-1.0, -1.0, 2.0)});
    for (const double factor : {0.1, 10.0}) {
        CLocalScaling scaling;
        const double radius = scaling.Add(*polygon, factor);
        std::vector<double> ray;
        for (int i = 1; i <= 400; ++i)
            ray.insert(ray.end(), {0.01 * i * std::cos(0.3), 0.01 * i * std::sin(0.3)});
        std::vector<double> raw(ray.size(), 0.0);
        scaling.Displace(ray, raw);
        double last = 0.0;
        for (size_t k = 0; k < ray.size(); k += 2) {
            const double r = std::hypot(ray[k], ray[k + 1]);
            const double moved = std::hypot(ray[k] + raw[k], ray[k + 1] + raw[k + 1]);
            EXPECT_GT(moved, last) << "at r = " << r;
            last = moved;
            if (r >= CLocalScaling::OuterRadius * radius) {
                EXPECT_EQ(raw[k], 0.0);
            }
        }
    }
}

// The discs of a compact polygon hold most of it; a crescent's centroid lies outside it, so its
// disc scales its neighbour instead.
TEST(LocalScaling, ResponseTellsCompactFromCrescent)
{
    EXPECT_GT(CLocalScaling::Response(*MakePolygon({DenseSquare(0.0, 0.0, 1.0)})), 0.6);
    std::vector<double> crescent;
    for (int i = 0; i <= 40; ++i) {
        const double a = std::numbers::pi * (0.1 + 1.8 * i / 40.0);
        crescent.insert(crescent.end(), {10.0 * std::cos(a), 10.0 * std::sin(a)});
    }
    for (int i = 40; i >= 0; --i) {
        const double a = std::numbers::pi * (0.1 + 1.8 * i / 40.0);
        crescent.insert(crescent.end(), {9.0 * std::cos(a), 9.0 * std::sin(a)});
    }
    crescent.insert(crescent.end(), {crescent[0], crescent[1]});
    // Counter-clockwise as built: reversed into an outer ring.
    std::vector<double> clockwise;
    for (size_t k = crescent.size(); k >= 2; k -= 2)
        clockwise.insert(clockwise.end(), {crescent[k - 2], crescent[k - 1]});
    EXPECT_LT(CLocalScaling::Response(*MakePolygon({clockwise})), 0.1);
}

} // namespace
} // namespace tessaro
