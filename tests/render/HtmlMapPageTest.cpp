// The web page of a small scene: nothing loaded from elsewhere, one path per polygon whose two
// keyframes hold the same points per ring, coordinates in tenths of the page, names escaped
// wherever they appear, and the file written whole or not at all.
#include "render/HtmlMapPage.h"

#include "render/MapScene.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sstream>

namespace tessaro {
namespace {

// Two unit squares side by side; in the result the first is 2 × 1 with vertices inserted, the
// second has gained a hole, so it cannot move point by point.
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
        Scene.Fits = {FitOf(2.0, 0.75, 3.0), FitOf(1.0, 0.25, 3.0)};
        Scene.Coloring.Legend = {{{255, 0, 0}, "1 < 3"}};
        Scene.Title = "A & B";
    }
};

// Every path's attribute `name` ("d" or "data-map"), as its rings' points "x y".
std::vector<std::vector<std::vector<std::string>>> PathRings(const std::string& page, const std::string& name)
{
    std::vector<std::vector<std::vector<std::string>>> paths;
    const std::string key = " " + name + "=\"";
    for (size_t at = page.find("<path "); at != std::string::npos; at = page.find("<path ", at + 1)) {
        const size_t start = page.find(key, at);
        if (start == std::string::npos || start > page.find('>', at))
            continue;
        const size_t value = start + key.size();
        std::istringstream rings(page.substr(value, page.find('"', value) - value));
        paths.emplace_back();
        for (std::string ring; std::getline(rings, ring, 'Z');) {
            std::istringstream points(ring.substr(ring.find('M') + 1));
            paths.back().emplace_back();
            for (std::string x, y; points >> x >> y;)
                paths.back().back().push_back(x + ' ' + y);
        }
    }
    return paths;
}

TEST(HtmlMapPageTest, OnePathPerPolygonWithBothKeyframesInTenthsOfThePage)
{
    const TwoPolygonScene s; // both layers together span x 0..3 and y 0..1: 1000/3 units per map unit
    const std::string page = CHtmlMapPage(s.Scene).Text();
    EXPECT_NE(page.find("viewBox=\"0 0 1000 334\""), std::string::npos);
    const auto map = PathRings(page, "data-map"), cartogram = PathRings(page, "d");
    ASSERT_EQ(map.size(), 2u);
    ASSERT_EQ(cartogram.size(), 2u);
    // The input's corners and the result's 7 vertices share the stops at 0 and halfway round;
    // the others lie on the other ring's sides. North is up: the map's y 1 is the page's 0.
    EXPECT_EQ(map[0],
              (std::vector<std::vector<std::string>>{{"0 333.3", "0 222.2", "0 111.1", "0 0", "111.1 0", "333.3 0",
                                                      "333.3 222.2", "333.3 333.3", "222.2 333.3"}}));
    ASSERT_EQ(cartogram[0].size(), 1u);
    EXPECT_EQ(cartogram[0][0].size(), 9u);
    EXPECT_EQ(cartogram[0][0][5], "666.7 0"); // the result's (2, 1), halfway round
    // The polygon that gained a hole is swapped whole.
    EXPECT_NE(page.find("data-swap data-map"), std::string::npos);
    EXPECT_EQ(map[1].size(), 1u);
    EXPECT_EQ(cartogram[1].size(), 2u);
}

TEST(HtmlMapPageTest, PointsThatRoundOntoTheirPredecessorInBothKeyframesAreDropped)
{
    TwoPolygonScene s;
    s.Result.Replace(0, test::MakePolygon({{0, 0, 0, 1e-6, 0, 1, 1, 1, 1, 0, 0, 0}}));
    const std::string page = CHtmlMapPage(s.Scene).Text();
    EXPECT_EQ(PathRings(page, "d")[0][0].size(), 4u);
    EXPECT_EQ(PathRings(page, "data-map")[0][0].size(), 4u);
}

TEST(HtmlMapPageTest, ThePageIsSelfContainedAndEscapesEveryText)
{
    TwoPolygonScene s;
    const std::string page = CHtmlMapPage(s.Scene).Text();
    for (const char* outside : {"http", " src=", "<link", "@import"})
        EXPECT_EQ(page.find(outside), std::string::npos) << outside;
    for (const char* raw : {"<Chips>", "Fish & ", "\"Q\"", "1 < 3", "A & B"})
        EXPECT_EQ(page.find(raw), std::string::npos) << raw;
    EXPECT_NE(page.find("aria-label=\"Fish &amp; &lt;Chips&gt;\""), std::string::npos);
    EXPECT_NE(page.find("aria-label=\"O&#39;Neil &quot;Q&quot;\""), std::string::npos);
    EXPECT_NE(page.find("<h1>A &amp; B</h1>"), std::string::npos);
    // The figures' JSON sits in a <script>: no '<' or '&' there; shares as fractions.
    EXPECT_NE(page.find(R"(["Fish \u0026 \u003cChips\u003e",3,0.75,0.666667,-0.111111])"), std::string::npos);
    EXPECT_NE(page.find(R"(["O'Neil \"Q\"",1,0.25,0.333333,0.333333])"), std::string::npos);
    // Labels, where there are, name the polygons.
    s.Scene.Labels = {"", "Label <2>"};
    EXPECT_NE(CHtmlMapPage(s.Scene).Text().find("aria-label=\"Label &lt;2&gt;\""), std::string::npos);
    // Without the starting map there is nothing to move to.
    s.Scene.Input = nullptr;
    const std::string still = CHtmlMapPage(s.Scene).Text();
    EXPECT_EQ(still.find("data-map=\""), std::string::npos);
    EXPECT_NE(still.find("aria-pressed=\"false\" disabled"), std::string::npos);
}

TEST(HtmlMapPageTest, OnlyAWebPagesNameIsAcceptedAndWrittenWhole)
{
    for (const char* good : {"map.html", "out/Map.HTM", "a.b/c.htm"})
        EXPECT_FALSE(CHtmlMapPage::CheckPath(good)) << good;
    for (const char* bad : {"map.svg", "map", "html", "out.html/map", "map.html.txt"})
        EXPECT_TRUE(CHtmlMapPage::CheckPath(bad)) << bad;
    const test::CTempDir folder;
    const CHtmlMapPage page(TwoPolygonScene().Scene);
    const std::string path = folder.File("map.html");
    test::WriteText(path, "old");
    ASSERT_EQ(page.Write(path), 0);
    EXPECT_EQ(test::ReadText(path), page.Text());
    EXPECT_EQ(test::FolderEntries(folder.Path()).size(), 1u); // no temporary left behind
    EXPECT_EQ(page.Write(folder.File("missing/map.html")), ENOENT);
}

} // namespace
} // namespace tessaro
