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

// A projection that runs on across ±180° (polar maps, a Pacific-centred one) keeps a ring across
// it whole on the map: its edges there are as short as any other and nothing may be cut.
class ContinuousAcrossAntimeridian : public ::testing::TestWithParam<std::string> {};

TEST_P(ContinuousAcrossAntimeridian, LeavesRingsAcross180DegreesWhole)
{
    const std::vector<std::vector<double>> south = {
        {170, -80, 170, -75, -170, -75, -170, -80, 170, -80}, // the Ross Sea, across 180°
        {150, -80, 150, -75, 170, -75, 170, -80, 150, -80}};  // beside it
    const std::vector<std::vector<double>> north = {
        {175, 70, 175, 80, -175, 80, -175, 70, 175, 70}, // the Chukchi Sea, across 180°
        {130, 75, 130, 85, 140, 85, 140, 75, 130, 75}};  // across 135° E, EPSG:3413's own antimeridian
    const std::string target = GetParam();
    CPolygonLayer map;
    // A polar map keeps only its own hemisphere.
    if (target != "EPSG:3995" && target != "EPSG:3413")
        for (const std::vector<double>& ring : south)
            map.Add(MakePolygon({ring}));
    if (target != "EPSG:3031")
        for (const std::vector<double>& ring : north)
            map.Add(MakePolygon({ring}));
    std::string problem;
    const auto projection = CMapProjection::Open("EPSG:4326", target, problem);
    ASSERT_TRUE(projection) << problem;
    ASSERT_TRUE(projection->Forward(map, problem)) << problem;
    const CPolygonLayer before = map.Copy();

    const auto cutter = CAntimeridianCut::Open(target, problem);
    ASSERT_TRUE(cutter) << problem;
    std::vector<uint32_t> uncut;
    EXPECT_TRUE(cutter->Cut(map, uncut).empty());
    EXPECT_TRUE(uncut.empty());
    ASSERT_EQ(map.Count(), before.Count());
    for (uint32_t i = 0; i < map.Count(); ++i) {
        EXPECT_EQ(map.Polygon(i).RingCount(), 1);
        EXPECT_EQ(map.Polygon(i).MinX(), before.Polygon(i).MinX());
        EXPECT_EQ(map.Polygon(i).MaxX(), before.Polygon(i).MaxX());
    }
}

INSTANTIATE_TEST_SUITE_P(PolarAndPacificMaps, ContinuousAcrossAntimeridian,
                         ::testing::Values("EPSG:3031", "EPSG:3995", "EPSG:3413", "EPSG:3832"));

} // namespace
} // namespace tessaro
