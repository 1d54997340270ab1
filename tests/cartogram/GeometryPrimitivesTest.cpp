#include "cartogram/GeometryPrimitives.h"

#include <gtest/gtest.h>

#include <numbers>

namespace tessaro {
namespace {

constexpr double Pi = std::numbers::pi;

// The force step relies on the degenerate 1.0 (cosine and sine at once) and (1, 1).
TEST(GeometryPrimitivesTest, TinyVectorsAndLengthsGiveTheDegenerateValues)
{
    const struct {
        double Dx, Dy, Length;
    } cases[] = {{0.0, 0.0, 1.0}, {5e-10, -5e-10, 1.0}, {3.0, 4.0, 0.0}, {3.0, 4.0, 5e-10}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Dx << ", " << c.Dy << ", " << c.Length);
        EXPECT_EQ(DirectionCos(c.Dx, c.Dy, c.Length), 1.0);
        EXPECT_EQ(DirectionSin(c.Dx, c.Dy, c.Length), 1.0);
        const CPoint2D unit = UnitVector(c.Dx, c.Dy, c.Length);
        EXPECT_EQ(unit.X, 1.0);
        EXPECT_EQ(unit.Y, 1.0);
    }
    EXPECT_EQ(DirectionCos(0.0, 0.0), 1.0);
    EXPECT_EQ(DirectionSin(5e-10, 0.0), 1.0);
    EXPECT_EQ(CosAngle({0.0, 0.0}, {-1.0, 0.0}), 1.0);
    EXPECT_EQ(CosAngle({1.0, 0.0}, {-1.0, 0.0}, 1.0, 0.0), 1.0);
}

TEST(GeometryPrimitivesTest, DirectionsAndAnglesOfRegularVectors)
{
    EXPECT_DOUBLE_EQ(PointDistance({1.0, 1.0}, {4.0, 5.0}), 5.0);
    EXPECT_DOUBLE_EQ(DirectionCos(-3.0, 4.0), -0.6);
    EXPECT_DOUBLE_EQ(DirectionSin(-3.0, 4.0), 0.8);
    EXPECT_DOUBLE_EQ(DirectionCos(-3.0, 4.0, 10.0), -0.3); // the given length is trusted
    EXPECT_DOUBLE_EQ(CosAngle({2.0, 0.0}, {1.0, 1.0}), std::numbers::sqrt2 / 2.0);
}

TEST(GeometryPrimitivesTest, TurnAngleIsCounterClockwiseWithinOneTurn)
{
    const CPoint2D o{10.0, -2.0};
    const struct {
        CPoint2D A, B;
        double Expected;
    } cases[] = {
        {{11.0, -2.0}, {10.0, -1.0}, Pi / 2},     // x axis to y axis
        {{10.0, -1.0}, {11.0, -2.0}, 3 * Pi / 2}, // clockwise quarter is three counter-clockwise
        {{9.0, -3.0}, {11.0, -1.0}, Pi},          // across the x axis, both directions below/above
        {{10.0, -3.0}, {11.0, -2.0}, Pi / 2},     // from straight down to +x
        {{12.0, -2.0}, {13.0, -2.0}, 0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Expected);
        EXPECT_NEAR(TurnAngle(o, c.A, c.B), c.Expected, 1e-12);
    }
    // A direction a hair below +x has an angle that rounds to 2*pi; it must still stay in range.
    const double turn = TurnAngle({0.0, 0.0}, {1.0, 0.0}, {1.0, -1e-17});
    EXPECT_GE(turn, 0.0);
    EXPECT_LT(turn, 2 * Pi);
}

TEST(GeometryPrimitivesTest, PointInTriangleByCrossings)
{
    const CPoint2D a{0.0, 0.0}, b{4.0, 0.0}, c{0.0, 4.0};
    EXPECT_TRUE(PointInTriangle(a, b, c, {1.0, 1.0}));
    EXPECT_TRUE(PointInTriangle(c, a, b, {0.1, 3.8}));
    EXPECT_FALSE(PointInTriangle(a, b, c, {3.0, 3.0}));  // beyond the hypotenuse
    EXPECT_FALSE(PointInTriangle(a, b, c, {-1.0, 1.0})); // left: the ray crosses two edges
    EXPECT_FALSE(PointInTriangle(a, b, c, {1.0, 5.0}));  // above every edge
}

TEST(GeometryPrimitivesTest, PointOnTriangleEdgeFindsEveryEdgeIncludingVertical)
{
    const CPoint2D a{0.0, 0.0}, b{4.0, 0.0}, c{0.0, 4.0};
    EXPECT_TRUE(PointOnTriangleEdge(a, b, c, {2.5, 0.0}));   // ab, horizontal
    EXPECT_TRUE(PointOnTriangleEdge(a, b, c, {0.0, 1.5}));   // ac, vertical
    EXPECT_TRUE(PointOnTriangleEdge(a, b, c, {1.0, 3.0}));   // bc, slanted
    EXPECT_TRUE(PointOnTriangleEdge(a, b, c, {4.0, 0.0}));   // a vertex
    EXPECT_FALSE(PointOnTriangleEdge(a, b, c, {1.0, 1.0}));  // inside
    EXPECT_FALSE(PointOnTriangleEdge(a, b, c, {0.0, 5.0}));  // on ac's line, past its end
    EXPECT_FALSE(PointOnTriangleEdge(a, b, c, {5.0, -1.0})); // on bc's line, past its end
    EXPECT_FALSE(PointOnTriangleEdge(a, b, c, {1.0, 3.001}));
}

} // namespace
} // namespace tessaro
