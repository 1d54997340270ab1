#include "engine/RingLoops.h"

#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <boost/geometry.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>

#include <gtest/gtest.h>

#include <vector>

namespace tessaro::test {
namespace {

namespace bg = boost::geometry;
using BgPoint = bg::model::d2::point_xy<double>;
using BgPolygon = bg::model::polygon<BgPoint>;
using BgMultiPolygon = bg::model::multi_polygon<BgPolygon>;

// A needle pointing left from (40, ±10) to its tip at the origin, between a polygon above and one
// below that meet at the tip and run on to (-20, 0). The needle's lower side comes back through
// (9, y) and then to the tip: above the upper side's edge (0, 0)-(10, 1) when y > 0.9, so that the
// needle's sides cross near the tip, as a round's straight edges can lay them.
CPolygonLayer NeedleMap(double y)
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 10, 1, 20, 4, 40, 10, 40, -10, 20, -4, 9, y, 0, 0}}));
    layer.Add(MakePolygon({{-20, 0, -20, 20, 40, 20, 40, 10, 20, 4, 10, 1, 0, 0, -20, 0}}));
    layer.Add(MakePolygon({{-20, 0, 0, 0, 9, y, 20, -4, 40, -10, 40, -20, -20, -20, -20, 0}}));
    return layer;
}

BgPolygon ToBoost(const CSimplePolygon& polygon)
{
    BgPolygon out;
    const CPolygonRing& ring = polygon.Ring(0);
    for (int32_t i = 0; i < ring.PointCount(); ++i)
        out.outer().emplace_back(ring.Point(i).X, ring.Point(i).Y);
    return out;
}

double OverlapArea(const CPolygonLayer& layer, uint32_t a, uint32_t b)
{
    BgMultiPolygon common;
    bg::intersection(ToBoost(layer.Polygon(a)), ToBoost(layer.Polygon(b)), common);
    return bg::area(common);
}

std::vector<double> RingPoints(const CPolygonLayer& layer, uint32_t i)
{
    const CPolygonRing& ring = layer.Polygon(i).Ring(0);
    return {ring.Points(), ring.Points() + 2 * ring.PointCount()};
}

// After a cut: every ring valid and flagged so, no two polygons overlapping, and the three still
// tiling the 60 x 40 box, nothing opened between the neighbours.
void ExpectSoundTiling(const CPolygonLayer& layer, const std::vector<uint8_t>& invalid)
{
    EXPECT_EQ(invalid, (std::vector<uint8_t>{0, 0, 0}));
    EXPECT_EQ(FindInvalidRings(layer, 1), (std::vector<uint8_t>{0, 0, 0}));
    double total = 0.0;
    for (uint32_t i = 0; i < 3; ++i) {
        total += std::fabs(bg::area(ToBoost(layer.Polygon(i))));
        for (uint32_t j = i + 1; j < 3; ++j)
            EXPECT_NEAR(OverlapArea(layer, i, j), 0.0, 1e-9) << i << " and " << j;
    }
    EXPECT_NEAR(total, 60.0 * 40.0, 1e-9);
}

TEST(RingLoopsTest, CrossedNeedleTipIsCutInEveryRingAlongIt)
{
    CPolygonLayer layer = NeedleMap(0.92);
    std::vector<uint8_t> invalid = FindInvalidRings(layer, 2);
    ASSERT_EQ(invalid, (std::vector<uint8_t>{1, 0, 0}));
    // The crossing makes the neighbours overlap beyond it.
    ASSERT_GT(OverlapArea(layer, 1, 2), 0.0);
    const double needleBefore = std::fabs(bg::area(ToBoost(layer.Polygon(0))));

    EXPECT_EQ(CutSmallLoops(layer, invalid, {}, 1e-3), 1);

    ExpectSoundTiling(layer, invalid);
    // The needle gives up its tip beyond the crossing, a sliver of its area.
    const double needleAfter = std::fabs(bg::area(ToBoost(layer.Polygon(0))));
    EXPECT_NEAR(needleAfter, needleBefore, 1e-3 * needleBefore);
    // Its box starts where the sides cross now, not at the old tip.
    EXPECT_GT(layer.Polygon(0).MinX(), 9.0);
}

// The needle of NeedleMap with one point of its lower side, (9, 0.92), poking through the upper
// side's edge (0, 0)-(10, 1) and the side back below it at (3, 0.1): the two sides cross twice on
// that edge while the tip beyond is sound.
CPolygonLayer PokedNeedleMap()
{
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 10, 1, 20, 4, 40, 10, 40, -10, 20, -4, 9, 0.92, 3, 0.1, 0, 0}}));
    layer.Add(MakePolygon({{-20, 0, -20, 20, 40, 20, 40, 10, 20, 4, 10, 1, 0, 0, -20, 0}}));
    layer.Add(MakePolygon({{-20, 0, 0, 0, 3, 0.1, 9, 0.92, 20, -4, 40, -10, 40, -20, -20, -20, -20, 0}}));
    return layer;
}

TEST(RingLoopsTest, PointPokedThroughASideMovesBackAndTheTipStays)
{
    CPolygonLayer layer = PokedNeedleMap();
    std::vector<uint8_t> invalid = FindInvalidRings(layer, 1);
    ASSERT_EQ(invalid, (std::vector<uint8_t>{1, 0, 0}));
    ASSERT_GT(OverlapArea(layer, 1, 2), 0.0);
    const double needleBefore = std::fabs(bg::area(ToBoost(layer.Polygon(0))));

    // The loop behind either crossing, the whole tip, holds about 3e-3 of the needle: too much at
    // a share of 1e-4. The sliver between the two crossings is far below it.
    EXPECT_EQ(CutSmallLoops(layer, invalid, {}, 1e-4), 1);

    ExpectSoundTiling(layer, invalid);
    // The needle keeps its tip at the origin. The poked point lies on the chord of its neighbours
    // (20, -4) and (3, 0.1) now: the lower polygon gives the needle back the triangle it spanned.
    EXPECT_EQ(layer.Polygon(0).MinX(), 0.0);
    const double needleAfter = std::fabs(bg::area(ToBoost(layer.Polygon(0))));
    EXPECT_NEAR(needleAfter - needleBefore, 0.5 * std::fabs(-11.0 * 4.1 - 4.92 * -17.0), 1e-9);
}

TEST(RingLoopsTest, LargeLoopsAndRingsInvalidAtFirstAreLeftAlone)
{
    for (const bool leftAlone : {false, true}) {
        CPolygonLayer layer = NeedleMap(0.92);
        const std::vector<double> before = RingPoints(layer, 0);
        std::vector<uint8_t> invalid = FindInvalidRings(layer, 1);
        // The loop holds about 3e-4 of the needle: not cut at a share of 1e-4, nor when the
        // needle was invalid from the start.
        const double share = leftAlone ? 1e-3 : 1e-4;
        const std::vector<uint8_t> leaveAlone = leftAlone ? std::vector<uint8_t>{1, 0, 0} : std::vector<uint8_t>{};
        EXPECT_EQ(CutSmallLoops(layer, invalid, leaveAlone, share), 0);
        EXPECT_EQ(RingPoints(layer, 0), before);
        EXPECT_EQ(invalid[0], 1);
    }
}

TEST(RingLoopsTest, ValidMapIsUntouched)
{
    CPolygonLayer layer = NeedleMap(0.5);
    std::vector<uint8_t> invalid = FindInvalidRings(layer, 2);
    ASSERT_EQ(invalid, (std::vector<uint8_t>{0, 0, 0}));
    const std::vector<double> before = RingPoints(layer, 2);
    EXPECT_EQ(CutSmallLoops(layer, invalid, {}, 1e-3), 0);
    EXPECT_EQ(RingPoints(layer, 2), before);
}

} // namespace
} // namespace tessaro::test
