#include "geodata/AntimeridianCut.h"
#include "geodata/MapProjection.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;

struct CutCase {
    std::string Target;       // the projection the map was made in, vertex by vertex
    uint32_t Crossing;        // the polygon whose ring runs across that projection's antimeridian
    std::string Antimeridian; // as the messages name it
};

// Two squares of 10° in degrees, one across 180° and one across 30° W, projected vertex by
// vertex as a tool does without a cut. Which of them is torn across the map depends on the
// projection's central meridian: the cut must find that one, and only that one.
class AntimeridianCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(AntimeridianCut, CutsTheRingAcrossTheProjectionsOwnAntimeridianOnly)
{
    const CutCase& c = GetParam();
    CPolygonLayer layer;
    layer.Add(MakePolygon({{175, 60, 175, 70, -175, 70, -175, 60, 175, 60}})); // across 180°
    layer.Add(MakePolygon({{-35, 60, -35, 70, -25, 70, -25, 60, -35, 60}}));   // across 30° W
    std::string problem;
    const auto projection = CMapProjection::Open("EPSG:4326", c.Target, problem);
    ASSERT_TRUE(projection) << problem;
    ASSERT_TRUE(projection->Forward(layer, problem)) << problem;
    const CSimplePolygon& other = layer.Polygon(1 - c.Crossing);
    const double beforeWest = other.MinX(), beforeEast = other.MaxX();

    const auto cutter = CAntimeridianCut::Open(c.Target, problem);
    ASSERT_TRUE(cutter) << problem;
    EXPECT_EQ(cutter->AntimeridianText(), c.Antimeridian);
    std::vector<uint32_t> uncut;
    EXPECT_EQ(cutter->Cut(layer, uncut), std::vector<uint32_t>{c.Crossing});
    EXPECT_TRUE(uncut.empty());
    // Two parts, one at each edge of the map, each far narrower than the torn ring was.
    const CSimplePolygon& parts = layer.Polygon(c.Crossing);
    ASSERT_EQ(parts.RingCount(), 2);
    const double mapWidth = layer.BoundingBox().Width();
    for (const auto& ring : parts.Rings())
        EXPECT_LT(ring->MaxX() - ring->MinX(), 0.1 * mapWidth);
    // The other square is left exactly as it was.
    EXPECT_EQ(layer.Polygon(1 - c.Crossing).MinX(), beforeWest);
    EXPECT_EQ(layer.Polygon(1 - c.Crossing).MaxX(), beforeEast);
}

INSTANTIATE_TEST_SUITE_P(CentralMeridians, AntimeridianCut,
                         ::testing::Values(CutCase{"EPSG:8857", 0, "180° of longitude"},
                                           CutCase{"EPSG:8859", 1,
                                                   "30° W, 180° from the projection's central meridian"}));

} // namespace
} // namespace tessaro
