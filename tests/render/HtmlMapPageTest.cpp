// The web page of a small scene: nothing loaded from elsewhere, one path per polygon whose two
// keyframes hold the same number of points, coordinates in tenths of the page's width, names
// escaped wherever they appear, and the file written whole or not at all.
#include "render/HtmlMapPage.h"

#include "render/MapScene.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <regex>

namespace tessaro {
namespace {

// Two unit squares side by side, the result's first grown to 2 × 1 with vertices inserted, its
// second given a hole (so that it cannot move point by point).
struct TwoPolygonScene {
    CPolygonLayer Input, Result;
    MapScene Scene;

    TwoPolygonScene()
    {
        Input.Add(test::MakePolygon({test::SquarePoints(0, 0, 1)}));
        Input.Add(test::MakePolygon({test::SquarePoints(1, 0, 1)}));
        Result.Add(test::MakePolygon({{0, 0, 0, 0.5, 0, 1, 1, 1, 2, 1, 2, 0, 1, 0, 0, 0}}));
        Result.Add(test::MakePolygon({test::SquarePoints(2, 0, 1), test::SquarePoints(2.25, 0.25, 0.5, false)}));
        Scene.Result = &Result;
        Scene.Input = &Input;
        Scene.Names = {"Fish & <Chips>", "O'Neil \"Q\""};
        Scene.Measures.Values = {3.0, 1.0};
        Scene.Measures.ValueName = "POP";
        Scene.Fits = {FitOf(2.0, 0.75, 3.0), FitOf(1.0, 0.25, 3.0)};
        Scene.Coloring.LegendTitle = "POP";
        Scene.Coloring.Legend = {{{255, 0, 0}, "1 < 3"}};
        Scene.Title = "A & B";
    }
};

struct PagePath {
    std::string Attributes;
    std::string Map, Cartogram;
};

std::vector<PagePath> Paths(const std::string& page)
{
    std::vector<PagePath> paths;
    const std::regex element("<path ([^>]*)/>");
    const std::regex map(" data-map=\"([^\"]*)\""), d(" d=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(page.begin(), page.end(), element); it != std::sregex_iterator(); ++it) {
        PagePath path{(*it)[1], {}, {}};
        std::smatch m;
        if (std::regex_search(path.Attributes, m, map))
            path.Map = m[1];
        if (std::regex_search(path.Attributes, m, d))
            path.Cartogram = m[1];
        paths.push_back(path);
    }
    return paths;
}

// The points of a path's "d", ring by ring.
std::vector<std::vector<std::string>> Rings(const std::string& d)
{
    std::vector<std::vector<std::string>> rings;
    const std::regex ring("M([^Z]*)Z"), point("(-?[0-9.]+) (-?[0-9.]+)");
    for (auto r = std::sregex_iterator(d.begin(), d.end(), ring); r != std::sregex_iterator(); ++r) {
        const std::string text = (*r)[1];
        rings.emplace_back();
        for (auto p = std::sregex_iterator(text.begin(), text.end(), point); p != std::sregex_iterator(); ++p)
            rings.back().push_back((*p)[0]);
    }
    return rings;
}

TEST(HtmlMapPageTest, ThePageLoadsNothingFromElsewhere)
{
    const TwoPolygonScene s;
    const std::string page = CHtmlMapPage(s.Scene).Text();
    EXPECT_EQ(page.find("http"), std::string::npos);
    EXPECT_EQ(page.find(" src="), std::string::npos);
    EXPECT_EQ(page.find("<link"), std::string::npos);
    EXPECT_EQ(page.find("@import"), std::string::npos);
    EXPECT_NE(page.find("<meta name=\"viewport\""), std::string::npos);
}

TEST(HtmlMapPageTest, EveryPolygonIsOnePathWithBothKeyframes)
{
    const TwoPolygonScene s;
    const std::vector<PagePath> paths = Paths(CHtmlMapPage(s.Scene).Text());
    ASSERT_EQ(paths.size(), 2u);
    // The grown square: the input's 4 corners and the result's 7 vertices share the stops at 0
    // and halfway, so both keyframes have 4 + 7 − 2 points.
    const auto map = Rings(paths[0].Map), cartogram = Rings(paths[0].Cartogram);
    ASSERT_EQ(map.size(), 1u);
    ASSERT_EQ(cartogram.size(), 1u);
    EXPECT_EQ(map[0].size(), cartogram[0].size());
    EXPECT_EQ(cartogram[0].size(), 9u);
    EXPECT_EQ(paths[0].Attributes.find("data-swap"), std::string::npos);
    // The polygon that gained a hole swaps its rings whole.
    EXPECT_NE(paths[1].Attributes.find("data-swap"), std::string::npos);
    EXPECT_EQ(Rings(paths[1].Map).size(), 1u);
    EXPECT_EQ(Rings(paths[1].Cartogram).size(), 2u);
}

TEST(HtmlMapPageTest, CoordinatesAreTenthsOfThePageNorthUp)
{
    const TwoPolygonScene s; // both layers together span x 0..3 and y 0..1
    const std::string page = CHtmlMapPage(s.Scene).Text();
    EXPECT_NE(page.find("viewBox=\"0 0 1000 334\""), std::string::npos);
    const std::vector<PagePath> paths = Paths(page);
    // The input's first square, clockwise from (0, 0): 1000/3 = 333.33… rounds to 333.3, and
    // the map's top is the page's y 0.
    // Its stops at the result's vertices' shares (1/12, 1/6, 1/3, 2/3, 5/6) lie on its sides.
    EXPECT_EQ(Rings(paths[0].Map)[0],
              (std::vector<std::string>{"0 333.3", "0 222.2", "0 111.1", "0 0", "111.1 0", "333.3 0", "333.3 222.2",
                                        "333.3 333.3", "222.2 333.3"}));
    EXPECT_EQ(Rings(paths[1].Map)[0], (std::vector<std::string>{"333.3 333.3", "333.3 0", "666.7 0", "666.7 333.3"}));
}

TEST(HtmlMapPageTest, PointsThatRoundOntoTheirPredecessorAreDropped)
{
    TwoPolygonScene s;
    // A vertex a millionth of the map from the first corner rounds onto it, in both keyframes.
    s.Result.Replace(0, test::MakePolygon({{0, 0, 0, 1e-6, 0, 1, 1, 1, 1, 0, 0, 0}}));
    const std::vector<PagePath> paths = Paths(CHtmlMapPage(s.Scene).Text());
    EXPECT_EQ(Rings(paths[0].Cartogram)[0].size(), 4u);
    EXPECT_EQ(Rings(paths[0].Map)[0].size(), 4u);
}

TEST(HtmlMapPageTest, NamesAndTextsAreEscapedWhereverTheyAppear)
{
    const TwoPolygonScene s;
    const std::string page = CHtmlMapPage(s.Scene).Text();
    for (const char* raw : {"<Chips>", "Fish & ", "\"Q\"", "1 < 3", "A & B"})
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    EXPECT_NE(page.find("aria-label=\"Fish &amp; &lt;Chips&gt;\""), std::string::npos);
    EXPECT_NE(page.find("aria-label=\"O&#39;Neil &quot;Q&quot;\""), std::string::npos);
    EXPECT_NE(page.find("<h1>A &amp; B</h1>"), std::string::npos);
    // In the figures' JSON, which sits in a <script>, no '<' or '&' may appear.
    EXPECT_NE(page.find(R"(["Fish \u0026 \u003cChips\u003e",3,0.75,0.666667,-0.111111])"), std::string::npos);
    EXPECT_NE(page.find(R"(["O'Neil \"Q\"",1,0.25,0.333333,0.333333])"), std::string::npos);
}

TEST(HtmlMapPageTest, WithoutTheStartingMapThePageCannotAnimate)
{
    TwoPolygonScene s;
    s.Scene.Input = nullptr;
    const std::string page = CHtmlMapPage(s.Scene).Text();
    EXPECT_EQ(page.find("data-map=\""), std::string::npos);
    EXPECT_NE(page.find("aria-pressed=\"false\" disabled"), std::string::npos);
}

TEST(HtmlMapPageTest, OnlyAWebPagesNameIsAccepted)
{
    for (const char* good : {"map.html", "out/Map.HTM", "a.b/c.htm"})
        EXPECT_FALSE(CHtmlMapPage::CheckPath(good)) << good;
    for (const char* bad : {"map.svg", "map", "html", "out.html/map", "map.html.txt"})
        EXPECT_TRUE(CHtmlMapPage::CheckPath(bad)) << bad;
}

TEST(HtmlMapPageTest, TheFileIsWrittenWholeOrNotAtAll)
{
    const test::CTempDir folder;
    const TwoPolygonScene s;
    const CHtmlMapPage page(s.Scene);
    const std::string path = folder.File("map.html");
    test::WriteText(path, "old");
    ASSERT_EQ(page.Write(path), 0);
    EXPECT_EQ(test::ReadText(path), page.Text());
    EXPECT_EQ(test::FolderEntries(folder.Path()).size(), 1u); // no temporary left behind
    EXPECT_EQ(page.Write(folder.File("missing/map.html")), ENOENT);
}

} // namespace
} // namespace tessaro
