#include "geodata/MapProjection.h"
#include "geometry/PolygonLayer.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::MakePolygon;

std::unique_ptr<CMapProjection> DegreesToEqualEarth()
{
    std::string problem;
    auto projection = CMapProjection::Open("EPSG:4326", "EPSG:8857", problem);
    EXPECT_TRUE(projection) << problem;
    return projection;
}

std::vector<double> RingPoints(const CPolygonLayer& layer, uint32_t polygon)
{
    const CPolygonRing& ring = layer.Polygon(polygon).Ring(0);
    return std::vector<double>(ring.Points(), ring.Points() + 2 * ring.PointCount());
}

// A cartogram pushes a coast near the antimeridian over the projected map's edge. Taken back to
// degrees, its longitudes continue past 180 instead of jumping to -180 (a ring turned inside out
// across the whole map), and it is named; a ring that winds round the pole keeps its longitudes.
TEST(MapProjection, ARingPushedOverTheMapsEdgeComesBackPast180DegreesAndIsNamed)
{
    const auto projection = DegreesToEqualEarth();
    ASSERT_TRUE(projection);
    CPolygonLayer layer;
    layer.Add(MakePolygon({{170, 60, 170, 70, 179, 70, 179, 60, 170, 60}}));
    layer.Add(MakePolygon({{-180, -80, -180, -70, 180, -70, 180, -80, -180, -80}})); // round the pole
    layer.Add(MakePolygon({{10, 40, 10, 50, 20, 50, 20, 40, 10, 40}}));
    std::string problem;
    ASSERT_TRUE(projection->Forward(layer, problem)) << problem;
    CPolygonLayer projected = layer.Copy();
    // The eastern side of the first square moved a tenth of the map's half width outward.
    std::vector<double> pushed = RingPoints(projected, 0);
    const double shift = 0.1 * projected.BoundingBox().MaxX;
    for (const size_t k : {4u, 6u})
        pushed[k] += shift;
    projected.Polygon(0).SetRingPoints(0, 5, pushed.data());
    projected.Polygon(0).UpdateBoundingBox();

    CPolygonLayer back = projected.Copy();
    ASSERT_TRUE(projection->Back(back, problem)) << problem;
    const std::vector<double> square = RingPoints(back, 0);
    EXPECT_NEAR(square[0], 170.0, 1e-6);
    EXPECT_GT(square[4], 180.0);
    EXPECT_GT(square[6], 180.0);
    EXPECT_EQ(square[8], square[0]); // still closed, bit for bit
    const std::vector<double> polar = RingPoints(back, 1);
    EXPECT_NEAR(polar[0], -180.0, 1e-6);
    EXPECT_NEAR(polar[4], 180.0, 1e-6);
    EXPECT_EQ(projection->PastAntimeridian(back), std::vector<uint32_t>{0});
    EXPECT_TRUE(projection->NotRoundTripping(projected, back).empty());

    // A point moved where the inverse gives another place: named as not taken back.
    std::vector<double> broken = RingPoints(back, 2);
    broken[2] += 1.0;
    back.Polygon(2).SetRingPoints(0, 5, broken.data());
    EXPECT_EQ(projection->NotRoundTripping(projected, back), std::vector<uint32_t>{2});
}

// Equal-area methods are told from the rest by the target's definition, whatever their WKT name
// ("Equal Earth" has a space, Albers an underscore).
TEST(MapProjection, TellsEqualAreaProjectionsFromTheRest)
{
    for (const auto& [code, keeps] : std::vector<std::pair<std::string, bool>>{{"EPSG:5070", true}, // Albers
                                                                               {"EPSG:3035", true}, // Lambert azimuthal
                                                                               {"EPSG:6933", true}, // cylindrical
                                                                               {"EPSG:8857", true}, // Equal Earth
                                                                               {"EPSG:3857", false},    // Web Mercator
                                                                               {"EPSG:32633", false},   // UTM
                                                                               {"EPSG:3995", false}}) { // stereographic
        std::string problem;
        const auto projection = CMapProjection::Open("EPSG:4326", code, problem);
        ASSERT_TRUE(projection) << problem;
        EXPECT_EQ(projection->KeepsAreas(), keeps) << code;
    }
}

// The polygons found outside the target's area of use are listed, each once and in order.
TEST(MapProjection, NamesThePolygonsOutsideTheAreaOfUse)
{
    std::string problem;
    const auto mercator = CMapProjection::Open("EPSG:4326", "EPSG:3857", problem);
    ASSERT_TRUE(mercator) << problem;
    CPolygonLayer layer;
    layer.Add(MakePolygon({{0, 0, 0, 10, 10, 10, 10, 0, 0, 0}}));           // inside
    layer.Add(MakePolygon({{0, -80, 0, -70, 10, -70, 10, -89.9, 0, -80}})); // one point below 85 S
    layer.Add(MakePolygon({{20, 0, 20, 10, 30, 10, 30, 0, 20, 0}}));        // inside
    layer.Add(MakePolygon({{0, 87, 0, 88, 10, 88, 10, 87, 0, 87}}));        // all beyond 85 N
    std::vector<uint32_t> outside;
    EXPECT_NE(mercator->AreaOfUseWarning(layer, &outside), "");
    EXPECT_EQ(outside, (std::vector<uint32_t>{1, 3}));
}

} // namespace
} // namespace tessaro
