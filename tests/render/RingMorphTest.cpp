// Pairing two rings' vertices by the share of the perimeter walked: each keyframe keeps its own
// ring's vertices exactly and in order, and a stop of the other ring lands on its edge.
#include "render/RingMorph.h"

#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

std::vector<CPoint2D> Vertices(const std::vector<double>& flat)
{
    std::vector<CPoint2D> points;
    for (size_t k = 0; k + 2 < flat.size(); k += 2) // the closing repeat left out
        points.push_back({flat[k], flat[k + 1]});
    return points;
}

// Whether `part` appears in `whole` in order, each point exactly.
bool Contains(const std::vector<CPoint2D>& whole, const std::vector<CPoint2D>& part)
{
    size_t k = 0;
    for (const CPoint2D& point : whole)
        if (k < part.size() && point.X == part[k].X && point.Y == part[k].Y)
            ++k;
    return k == part.size();
}

struct MorphCase {
    const char* Name;
    std::vector<double> From;
    std::vector<double> To;
    size_t Stops; // the merged stops
};

TEST(RingMorphTest, EveryVertexOfBothRingsIsAStopInOrder)
{
    const std::vector<MorphCase> cases = {
        {"same stops", test::SquarePoints(0, 0, 1), test::SquarePoints(5, 5, 3), 4},
        // The result's midpoints of two sides fall on the input's sides.
        {"vertices inserted", test::SquarePoints(0, 0, 2), {0, 0, 0, 1, 0, 2, 2, 2, 2, 1, 2, 0, 0, 0}, 6},
        // A right triangle's stops (0, 0.29, 0.71) and a square's (0, 1/4, 1/2, 3/4) share only 0.
        {"vertices thinned", test::SquarePoints(0, 0, 1), {0, 0, 0, 1, 1, 0, 0, 0}, 6},
    };
    for (const MorphCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const RingKeyframes frames = MatchRingsByArcLength(*test::MakeRing(c.From), *test::MakeRing(c.To));
        ASSERT_EQ(frames.From.size(), c.Stops);
        ASSERT_EQ(frames.To.size(), c.Stops);
        EXPECT_TRUE(Contains(frames.From, Vertices(c.From)));
        EXPECT_TRUE(Contains(frames.To, Vertices(c.To)));
        // Both start at their rings' first vertices.
        EXPECT_EQ(frames.From[0].X, c.From[0]);
        EXPECT_EQ(frames.To[0].Y, c.To[1]);
    }
}

TEST(RingMorphTest, AStopOfTheOtherRingLiesAtTheSameShareOfThePerimeter)
{
    // The 2 × 2 square's corners lie at 0, 1/4, 1/2, 3/4 of its perimeter; the 2 × 4 rectangle's
    // at 0, 1/3, 1/2, 5/6 of its own.
    const RingKeyframes frames = MatchRingsByArcLength(*test::MakeRing(test::SquarePoints(0, 0, 2)),
                                                       *test::MakeRing({0, 0, 0, 4, 2, 4, 2, 0, 0, 0}));
    ASSERT_EQ(frames.From.size(), 6u);
    ASSERT_EQ(frames.To.size(), 6u);
    // At 1/4 the square's corner (0, 2) meets the rectangle's first side three quarters up.
    EXPECT_DOUBLE_EQ(frames.To[1].X, 0.0);
    EXPECT_DOUBLE_EQ(frames.To[1].Y, 3.0);
    // At 1/3 the rectangle's corner (0, 4) meets the square's top side a third along.
    EXPECT_DOUBLE_EQ(frames.From[2].X, 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(frames.From[2].Y, 2.0);
    // At 1/2 the opposite corners meet.
    EXPECT_DOUBLE_EQ(frames.From[3].X, 2.0);
    EXPECT_DOUBLE_EQ(frames.To[3].Y, 4.0);
}

TEST(RingMorphTest, DegenerateRingsGiveStopsOrNothing)
{
    // A ring of no length takes its stops at even shares; both keyframes still match.
    const RingKeyframes flat =
        MatchRingsByArcLength(*test::MakeRing({3, 3, 3, 3, 3, 3, 3, 3}), *test::MakeRing(test::SquarePoints(0, 0, 1)));
    EXPECT_EQ(flat.From.size(), flat.To.size());
    EXPECT_GE(flat.To.size(), 4u);
    const RingKeyframes none = MatchRingsByArcLength(CPolygonRing{}, *test::MakeRing(test::SquarePoints(0, 0, 1)));
    EXPECT_TRUE(none.From.empty());
    EXPECT_TRUE(none.To.empty());
}

} // namespace
} // namespace tessaro
