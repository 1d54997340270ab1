// Pairing two rings' vertices by the share of the perimeter walked: each keyframe keeps its own
// ring's vertices exactly and in order, and a stop of the other ring lands on its edge.
#include "render/RingMorph.h"

#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

// Whether the vertices of the closed ring `flat` appear in `points` exactly and in order.
bool HoldsInOrder(const std::vector<CPoint2D>& points, const std::vector<double>& flat)
{
    size_t k = 0;
    for (const CPoint2D& point : points)
        if (k + 2 < flat.size() && point.X == flat[k] && point.Y == flat[k + 1])
            k += 2;
    return k + 2 == flat.size();
}

TEST(RingMorphTest, EveryVertexOfBothRingsIsAStopInOrder)
{
    struct Case {
        const char* Name;
        std::vector<double> From, To;
        size_t Stops;
    };
    const std::vector<Case> cases = {
        {"same shares", test::SquarePoints(0, 0, 1), test::SquarePoints(5, 5, 3), 4},
        // The result's stops 1/8 and 5/8 round fall on the square's sides.
        {"vertices inserted", test::SquarePoints(0, 0, 2), {0, 0, 0, 1, 0, 2, 2, 2, 2, 1, 2, 0, 0, 0}, 6},
        // A right triangle's stops (0, 0.29, 0.71) and a square's share only 0.
        {"vertices thinned", test::SquarePoints(0, 0, 1), {0, 0, 0, 1, 1, 0, 0, 0}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const RingKeyframes frames = MatchRingsByArcLength(*test::MakeRing(c.From), *test::MakeRing(c.To));
        EXPECT_EQ(frames.From.size(), c.Stops);
        EXPECT_EQ(frames.To.size(), c.Stops);
        EXPECT_TRUE(HoldsInOrder(frames.From, c.From));
        EXPECT_TRUE(HoldsInOrder(frames.To, c.To));
    }
}

TEST(RingMorphTest, AStopOfTheOtherRingLiesAtTheSameShareOfThePerimeter)
{
    // The 2 × 2 square's corners lie at 0, 1/4, 1/2, 3/4 of its perimeter; the 2 × 4 rectangle's
    // at 0, 1/3, 1/2, 5/6 of its own.
    const RingKeyframes frames = MatchRingsByArcLength(*test::MakeRing(test::SquarePoints(0, 0, 2)),
                                                       *test::MakeRing({0, 0, 0, 4, 2, 4, 2, 0, 0, 0}));
    ASSERT_EQ(frames.From.size(), 6u);
    // At 1/4 the square's corner (0, 2) meets the rectangle's first side three quarters up.
    EXPECT_DOUBLE_EQ(frames.To[1].Y, 3.0);
    // At 1/3 the rectangle's corner (0, 4) meets the square's top side a third along.
    EXPECT_DOUBLE_EQ(frames.From[2].X, 2.0 / 3.0);
    // At 1/2 the opposite corners meet.
    EXPECT_DOUBLE_EQ(frames.From[3].X, 2.0);
    EXPECT_DOUBLE_EQ(frames.To[3].Y, 4.0);
    // A ring of no length takes its stops at even shares and still pairs them.
    const RingKeyframes flat =
        MatchRingsByArcLength(*test::MakeRing({3, 3, 3, 3, 3, 3, 3, 3}), *test::MakeRing(test::SquarePoints(0, 0, 1)));
    EXPECT_EQ(flat.From.size(), flat.To.size());
}

} // namespace
} // namespace tessaro
