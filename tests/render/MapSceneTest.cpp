// The scene a published map is drawn from: a completed run's names, fits and fills line up with
// the result's polygons, and an input of another polygon count is not taken for the same map.
#include "render/MapScene.h"

#include "run/CartogramJob.h"
#include "tests/support/PolygonFixtures.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

CPolygonLayer TwoSquares(double side)
{
    CPolygonLayer layer;
    layer.Add(test::MakePolygon({test::SquarePoints(0, 0, side)}));
    layer.Add(test::MakePolygon({test::SquarePoints(side, 0, side)}));
    return layer;
}

CartogramRunSummary CompletedRun()
{
    CartogramRunSummary summary;
    summary.Result = CartogramRunSummary::Outcome::Completed;
    RoundMeasures measures;
    measures.Fits = {FitOf(1.0, 0.25, 2.0), FitOf(1.0, 0.75, 2.0)};
    summary.LastMeasures = measures;
    summary.Polygons = {{0, "West", 10.0}, {1, "East", 30.0}};
    summary.SizeFieldRead = "POP";
    return summary;
}

TEST(MapSceneTest, NamesFitsAndFillsFollowTheResultsPolygons)
{
    const CPolygonLayer result = TwoSquares(1), input = TwoSquares(2);
    MapStyle style;
    style.Fill = MapStyle::FillMode::ByError;
    const MapScene scene = MakeMapScene(result, &input, CompletedRun(), style);
    ASSERT_EQ(scene.Count(), 2u);
    EXPECT_EQ(scene.Input, &input);
    EXPECT_EQ(scene.Names, (std::vector<std::string>{"West", "East"}));
    ASSERT_EQ(scene.Fits.size(), 2u);
    EXPECT_DOUBLE_EQ(scene.Fits[0].Deviation, 1.0); // half the map for a quarter of the sizes
    EXPECT_DOUBLE_EQ(scene.Fits[1].DesiredShare, 0.75);
    EXPECT_EQ(scene.Measures.Values, (std::vector<double>{10.0, 30.0}));
    ASSERT_EQ(scene.Coloring.Fills.size(), 2u);
    // Too large and too small sit on opposite sides of the diverging scale.
    EXPECT_NE(scene.Coloring.Fills[0], scene.Coloring.Fills[1]);
}

TEST(MapSceneTest, AnInputOfOtherPolygonsAndARunWithoutMeasuresLeaveTheirPartsEmpty)
{
    const CPolygonLayer result = TwoSquares(1);
    CPolygonLayer other;
    other.Add(test::MakePolygon({test::SquarePoints(0, 0, 1)}));
    CartogramRunSummary refused;
    const MapScene scene = MakeMapScene(result, &other, refused, MapStyle{});
    EXPECT_EQ(scene.Input, nullptr);
    EXPECT_TRUE(scene.Fits.empty());
    EXPECT_EQ(scene.Names, (std::vector<std::string>{"", ""}));
    EXPECT_FALSE(scene.Coloring.Filled());
}

} // namespace
} // namespace tessaro
