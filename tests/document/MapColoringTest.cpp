// What a map fills its polygons with: the measures a run or a round gives the polygons (sizes
// or shares, deviations, none for a polygon left out or a run that did not complete), and the
// fills and legend a style makes of them.
#include "document/MapColoring.h"

#include "run/CartogramJob.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tessaro::test {
namespace {

PolygonFit Fit(double share, double deviation)
{
    PolygonFit fit;
    fit.DesiredShare = share;
    fit.Deviation = deviation;
    return fit;
}

// Three polygons: sized 10, 30 and none; the second 40 % too large, the third left out.
CartogramRunSummary CompletedRun()
{
    CartogramRunSummary summary;
    summary.Result = CartogramRunSummary::Outcome::Completed;
    summary.LastMeasures.emplace();
    summary.LastMeasures->Fits = {Fit(0.25, -0.1), Fit(0.75, 0.4), Fit(0.0, 0.0)};
    summary.Polygons = {{0, "A", 10.0}, {1, "B", 30.0}, {2, "C", std::nullopt}};
    summary.SizeFieldRead = "POP";
    return summary;
}

TEST(PolygonMeasuresTest, ARunGivesTheSizesUnderTheFieldsNameAndTheDeviations)
{
    const PolygonMeasures measures = PolygonMeasures::FromRun(CompletedRun());
    ASSERT_TRUE(measures.Covers(3));
    EXPECT_EQ(measures.ValueName, "POP");
    EXPECT_EQ(measures.Values[0], 10.0);
    EXPECT_EQ(measures.Values[1], 30.0);
    EXPECT_TRUE(std::isnan(measures.Values[2]));
    EXPECT_EQ(measures.Deviations[0], -0.1);
    EXPECT_EQ(measures.Deviations[1], 0.4);
    EXPECT_TRUE(std::isnan(measures.Deviations[2])) << "a polygon left out of the measures";
}

TEST(PolygonMeasuresTest, WithoutSizesTheValuesAreTheSharesInPercent)
{
    CartogramRunSummary summary = CompletedRun();
    for (auto& polygon : summary.Polygons)
        polygon.Size.reset();
    const PolygonMeasures fromRun = PolygonMeasures::FromRun(summary);
    const PolygonMeasures fromRound = PolygonMeasures::FromFits(summary.LastMeasures->Fits);
    for (const PolygonMeasures& measures : {fromRun, fromRound}) {
        ASSERT_TRUE(measures.Covers(3));
        EXPECT_EQ(measures.ValueName, PolygonMeasures::ShareName);
        EXPECT_DOUBLE_EQ(measures.Values[0], 25.0);
        EXPECT_DOUBLE_EQ(measures.Values[1], 75.0);
        EXPECT_TRUE(std::isnan(measures.Values[2]));
    }
}

TEST(PolygonMeasuresTest, ARunThatDidNotCompleteGivesNothing)
{
    for (const auto outcome : {CartogramRunSummary::Outcome::Cancelled, CartogramRunSummary::Outcome::Refused}) {
        CartogramRunSummary summary = CompletedRun();
        summary.Result = outcome;
        EXPECT_FALSE(PolygonMeasures::FromRun(summary).Covers(3));
        EXPECT_TRUE(PolygonMeasures::FromRun(summary).Values.empty());
    }
}

TEST(MapStyleTest, OnlyWhatTheSceneShowsMakesAStyleDepartFromTheClassicScene)
{
    MapStyle style;
    EXPECT_TRUE(style.IsClassic());
    style.FillColor = {1, 2, 3};
    style.ErrorBound = 0.1;
    style.ValueClasses = 7;
    EXPECT_TRUE(style.IsClassic()) << "settings that play no part without a fill";
    for (const auto change :
         std::vector<void (*)(MapStyle&)>{[](MapStyle& s) { s.Fill = MapStyle::FillMode::OneColor; },
                                          [](MapStyle& s) {
                                              s.OutlineColor = {255, 0, 0};
                                          },
                                          [](MapStyle& s) { s.OutlineWidth = 2.0; },
                                          [](MapStyle& s) {
                                              s.Background = {255, 255, 255};
                                          },
                                          [](MapStyle& s) { s.ShowQuadtree = false; }}) {
        MapStyle changed;
        change(changed);
        EXPECT_FALSE(changed.IsClassic());
    }
}

TEST(MapColoringTest, ErrorFillFollowsTheStylesBoundAndNamesPolygonsWithoutAValue)
{
    MapStyle style;
    style.Fill = MapStyle::FillMode::ByError;
    style.ErrorBound = 0.2;
    const PolygonMeasures measures = PolygonMeasures::FromRun(CompletedRun());
    const MapColoring coloring = MapColoring::Make(style, measures, 3);
    ASSERT_EQ(coloring.Fills.size(), 3u);
    const CColorScale scale = CColorScale::Deviation(0.2);
    EXPECT_EQ(coloring.Fills[0], scale.ColorOf(-0.1));
    // 40 % is past the bound of 20 %: the darkest red.
    EXPECT_EQ(coloring.Fills[1], CColorScale::Deviation(0.5).ColorOf(0.5));
    EXPECT_EQ(coloring.Fills[2], CColorScale::NoData);
    EXPECT_EQ(coloring.LegendTitle, PolygonMeasures::DeviationName);
    ASSERT_EQ(coloring.Legend.size(), scale.Legend().size() + 1);
    EXPECT_EQ(coloring.Legend.back().Color, CColorScale::NoData);
}

TEST(MapColoringTest, ValueFillUsesQuantileClassesOrTheRampAsTheStyleAsks)
{
    MapStyle style;
    style.Fill = MapStyle::FillMode::ByValue;
    PolygonMeasures measures;
    measures.Values = {1, 2, 3, 4, 5, 6};
    measures.Deviations.assign(6, 0.0);
    measures.ValueName = "POP";
    style.ValueClasses = 3;
    const MapColoring classed = MapColoring::Make(style, measures, 6);
    EXPECT_EQ(classed.LegendTitle, "POP");
    EXPECT_EQ(classed.Legend.size(), 3u);
    EXPECT_EQ(classed.Fills[0], classed.Fills[1]);
    EXPECT_NE(classed.Fills[1], classed.Fills[2]);
    style.ValueClasses = 0;
    const MapColoring ramp = MapColoring::Make(style, measures, 6);
    EXPECT_NE(ramp.Fills[0], ramp.Fills[1]);
    EXPECT_EQ(ramp.Fills[5], (CPictureColor{128, 0, 38}));
}

TEST(MapColoringTest, WithoutMeasuresForEveryPolygonAllTakeTheFillColourAndNoLegend)
{
    MapStyle style;
    style.FillColor = {10, 20, 30};
    const PolygonMeasures measures = PolygonMeasures::FromRun(CompletedRun());
    for (const auto fill : {MapStyle::FillMode::OneColor, MapStyle::FillMode::ByValue, MapStyle::FillMode::ByError}) {
        style.Fill = fill;
        const size_t polygons = fill == MapStyle::FillMode::OneColor ? 3 : 4;
        const MapColoring coloring = MapColoring::Make(style, measures, polygons);
        EXPECT_EQ(coloring.Fills, std::vector<CPictureColor>(polygons, style.FillColor));
        EXPECT_TRUE(coloring.Legend.empty());
    }
    style.Fill = MapStyle::FillMode::None;
    EXPECT_FALSE(MapColoring::Make(style, measures, 3).Filled());
}

} // namespace
} // namespace tessaro::test
