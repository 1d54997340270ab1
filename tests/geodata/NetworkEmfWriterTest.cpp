#include "geodata/NetworkEmfWriter.h"

#include "engine/QuadTree.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::CTempDir;
using test::ReadText;

// Two chains (three segments), a square and a polygon of two rings, over 0 .. 100 by 0 .. 50.
std::unique_ptr<CNetwork> MakeNetwork()
{
    auto network = std::make_unique<CNetwork>();
    network->SetKeyMode(KeyByCoordinates);
    for (const std::vector<double>& points : {std::vector<double>{0, 0, 50, 25, 100, 50}, {100, 0, 0, 50}}) {
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(static_cast<int32_t>(points.size() / 2), points.data());
        network->AddChain(std::move(chain));
    }
    network->BuildTopology();
    network->AddPolygon(test::MakePolygon({test::SquarePoints(0, 0, 50)}));
    network->AddPolygon(test::MakePolygon({{60, 10, 60, 40, 100, 40, 100, 10, 60, 10}, {70, 20, 90, 20, 90, 30, 70, 30, 70, 20}}));
    network->SetExtent(CExtent{0, 0, 100, 50}, true);
    return network;
}

// One drawn element, the same whether our SVG twin wrote it (lines, polygons, rgb() colours) or
// emf2svg converted our EMF (paths "M a L b", closed outlines ending in Z, #RRGGBB colours).
struct Element {
    std::string Kind;  // segment, outline or ellipse
    std::string Style; // stroke colour, width and fill
    std::vector<double> Numbers; // the coordinates in document order
    bool operator==(const Element&) const = default;
};

void PrintTo(const Element& e, std::ostream* os)
{
    *os << e.Kind << " [" << e.Style << "]";
    for (double n : e.Numbers)
        *os << " " << n;
}

std::string Hex(const std::string& colour)
{
    int r = 0, g = 0, b = 0;
    if (std::sscanf(colour.c_str(), "rgb(%d,%d,%d)", &r, &g, &b) != 3)
        return colour;
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", r, g, b);
    return text;
}

// The value of name="..." in a tag; the blank before the name keeps "stroke" from "stroke-width".
std::string Attribute(const std::string& tag, const std::string& name)
{
    const size_t at = tag.find(" " + name + "=\"");
    if (at == std::string::npos)
        return {};
    const size_t begin = at + name.size() + 3;
    return tag.substr(begin, tag.find('"', begin) - begin);
}

std::vector<Element> Elements(const std::string& svg)
{
    std::vector<Element> out;
    for (size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        const std::string tag = svg.substr(at, svg.find('>', at) - at);
        const std::string kind = tag.substr(1, tag.find_first_of(" />", 1) - 1);
        if (kind != "line" && kind != "polygon" && kind != "path" && kind != "ellipse")
            continue;
        Element& e = out.emplace_back();
        e.Kind = kind == "ellipse" ? "ellipse" : kind == "polygon" || Attribute(tag, "d").find('Z') != std::string::npos ? "outline" : "segment";
        e.Style = Hex(Attribute(tag, "stroke")) + " " + std::to_string(std::atof(Attribute(tag, "stroke-width").c_str())) +
                  (e.Kind == "segment" ? "" : " " + Hex(Attribute(tag, "fill")));
        for (const std::string key : {"x1", "y1", "x2", "y2", "points", "d", "cx", "cy", "rx", "ry"}) {
            const std::string value = Attribute(tag, key);
            for (const char* p = value.c_str(); *p != '\0'; ++p) {
                char* end = nullptr;
                const double number = std::strtod(p, &end);
                if (end == p || (*p != '-' && (*p < '0' || *p > '9')))
                    continue;
                e.Numbers.push_back(key[0] == 'r' ? std::fabs(number) : number); // emf2svg's ry is negative
                p = end - 1;
            }
        }
    }
    return out;
}

// Converts an EMF with emf2svg-conv; fails the test when the tool complains or the file's record
// structure is unsound.
std::string ConvertEmf(const std::string& emf, const CTempDir& dir)
{
    const test::EmfCheckResult structure = test::CheckEmfStructure(emf);
    EXPECT_TRUE(structure.Ok) << emf << ": " << structure.Reason;
    const std::string svg = dir.File("converted.svg"), log = dir.File("converted.log");
    EXPECT_EQ(std::system(("emf2svg-conv -i '" + emf + "' -o '" + svg + "' >'" + log + "' 2>&1").c_str()), 0) << ReadText(log);
    EXPECT_EQ(ReadText(log), "");
    return std::filesystem::exists(svg) ? ReadText(svg) : std::string();
}

// Writes both pictures and returns what they draw, after checking that they draw the same.
std::vector<Element> DrawBoth(CNetworkEmfWriter& writer, const CTempDir& dir, double margin = 0.06)
{
    EXPECT_EQ(writer.WritePicture(dir.File("p.emf"), margin, true), 1);
    EXPECT_EQ(writer.WriteSvgPicture(dir.File("p.svg"), margin), 1);
    const std::vector<Element> twin = Elements(ReadText(dir.File("p.svg")));
    EXPECT_EQ(Elements(ConvertEmf(dir.File("p.emf"), dir)), twin);
    return twin;
}

TEST(PictureMapping, FillsThePageOnTheTighterAxisAndCentresDegenerateExtents)
{
    const struct {
        CExtent Extent;
        double Scale, X, Y;
        int32_t PageX, PageY;
    } cases[] = {
        {{0, 0, 100, 50}, 202.946, 0, 50, 647, -8895},      // the top left corner, 6 % margin
        {{0, 0, 100, 50}, 202.946, 100, 0, 20942, -19043},  // truncated toward zero on both signs
        {{5, 5, 5, 5}, 1.0, 5, 5, 10795, -13969},           // a point: scale 1 about the page centre
        {{0, 7, 100, 7}, 202.946, 0, 7, 647, -13969},       // a line: the width decides, at mid height
        {CExtent::Empty(), 1.0, 0, 0, 10795, -13969},       // no extent: the origin at the centre
    };
    for (const auto& c : cases) {
        const CPictureMapping m = CPictureMapping::Make(c.Extent, 21590, 27939, 0.06);
        EXPECT_NEAR(m.Scale, c.Scale, 1e-9);
        EXPECT_EQ(m.Map(c.X, c.Y).X, c.PageX) << c.X << ", " << c.Y;
        EXPECT_EQ(m.Map(c.X, c.Y).Y, c.PageY) << c.X << ", " << c.Y;
    }
    EXPECT_EQ(CPictureMapping::Truncate(-0.9), 0);
    EXPECT_EQ(CPictureMapping::Truncate(1e300), INT32_MAX);
    EXPECT_EQ(CPictureMapping::Truncate(-1e300), INT32_MIN);
    EXPECT_EQ(CPictureMapping::Truncate(std::nan("")), 0);
}

class PictureWriterTest : public ::testing::Test {
protected:
    PictureWriterTest()
    {
        CTreeRect rect{0, 100, 100, 0}; // depth 1 over the extent: four cells, nine vertices
        const double points[] = {10, 10, 90, 10, 10, 90, 90, 90};
        EXPECT_TRUE(Tree.BuildForPoints(rect, 1, 4, points));
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Dir;
    std::unique_ptr<CNetwork> Network = MakeNetwork();
    CQuadTree Tree;
    CNetworkEmfWriter Writer{*Network};
};

// The layers in their order and pens: chains with the default pen, grey cells, dark vertices,
// black polygon outlines; the quadtree flags change nothing without a quadtree.
TEST_F(PictureWriterTest, EmfAndSvgTwinDrawTheChosenLayersInOrder)
{
    const std::string segment = "#000000 1.000000", cell = "#B4B4B4 10.000000 none", vertex = "#000000 2.000000 #404040",
                      ring = "#000000 10.000000 none";
    const struct {
        bool Tree, Polygons, Vertices;
        std::vector<std::pair<std::string, int>> Layers; // style and count
    } cases[] = {
        {true, true, true, {{segment, 3}, {cell, 4}, {vertex, 9}, {ring, 3}}},
        {true, false, false, {{segment, 3}, {cell, 4}}},
        {false, true, true, {{segment, 3}, {ring, 3}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Tree << c.Polygons << c.Vertices);
        Writer.Quadtree = c.Tree ? &Tree : nullptr;
        Writer.ShowPolygons = c.Polygons;
        Writer.ShowQuadtreeNodes = c.Vertices;
        const std::vector<Element> drawn = DrawBoth(Writer, Dir);
        std::vector<std::string> styles, expected;
        for (const Element& e : drawn)
            styles.push_back(e.Style);
        for (const auto& [style, count] : c.Layers)
            expected.insert(expected.end(), static_cast<size_t>(count), style);
        EXPECT_EQ(styles, expected);
    }
    EXPECT_TRUE(Ui->Messages().empty());

    // The first chain starts at world (0, 0): page (647, -19043), its y flipped in SVG; a vertex
    // is a circle of radius 20 around its truncated centre; every cell runs bottom-left,
    // bottom-right, top-right, top-left.
    Writer.Quadtree = &Tree;
    Writer.ShowPolygons = Writer.ShowQuadtreeNodes = true;
    const std::vector<Element> drawn = DrawBoth(Writer, Dir);
    ASSERT_EQ(drawn.size(), 19u);
    EXPECT_EQ(drawn[0].Numbers, (std::vector<double>{647, 19043, 10795, 13969}));
    EXPECT_EQ(drawn[7].Numbers, (std::vector<double>{647, 19043, 20, 20}));
    for (size_t k = 3; k < 7; ++k) {
        const std::vector<double>& n = drawn[k].Numbers;
        ASSERT_EQ(n.size(), 8u);
        EXPECT_TRUE(n[1] == n[3] && n[2] == n[4] && n[5] == n[7] && n[6] == n[0] && n[0] < n[2] && n[1] > n[5]) << k;
    }
    // The EMF header: the frame, the byte count and the description in UTF-16; the SVG's page.
    const std::string bytes = ReadText(Dir.File("p.emf"));
    int32_t frame[4];
    uint32_t total = 0;
    std::memcpy(frame, bytes.data() + 24, sizeof frame);
    std::memcpy(&total, bytes.data() + 48, sizeof total);
    EXPECT_EQ(std::vector<int32_t>(frame, frame + 4), (std::vector<int32_t>{0, 0, 21590, 27939}));
    EXPECT_EQ(total, bytes.size());
    std::string utf16;
    for (char c : std::string("Network EMF File"))
        utf16 += std::string{c, '\0'};
    EXPECT_NE(bytes.find(utf16), std::string::npos);
    const std::string svg = ReadText(Dir.File("p.svg"));
    EXPECT_NE(svg.find("<title>Network EMF File</title>"), std::string::npos);
    EXPECT_NE(svg.find("width=\"215.90mm\" height=\"279.39mm\" viewBox=\"0 0 21590 27939\""), std::string::npos);
}

TEST_F(PictureWriterTest, ANetworkWhoseExtentIsAPointIsDrawnAtThePageCentre)
{
    CNetwork point;
    point.SetKeyMode(KeyByCoordinates);
    auto chain = std::make_unique<CNetworkChain>();
    const double ends[] = {5, 5, 5, 5};
    ASSERT_TRUE(chain->SetPoints(2, ends));
    point.AddChain(std::move(chain));
    point.BuildTopology();
    point.SetExtent(CExtent{5, 5, 5, 5}, true);
    CNetworkEmfWriter writer(point);
    const std::vector<Element> drawn = DrawBoth(writer, Dir);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0].Numbers, (std::vector<double>{10795, 13969, 10795, 13969}));
    EXPECT_TRUE(Ui->Messages().empty());
}

TEST_F(PictureWriterTest, TheSettingsDialogShowsTheFlagsAndItsCancelWritesNothing)
{
    Ui->QueuePictureFlagsAnswer(std::nullopt);
    EXPECT_EQ(Writer.WritePicture(Dir.File("c.emf"), 0.06, false), -1);
    EXPECT_TRUE(test::FolderEntries(Dir.Path()).empty());
    EXPECT_TRUE(Ui->Messages().empty());
    EXPECT_EQ(Ui->PictureFlagsRequests(), 1);
    EXPECT_TRUE(Writer.ShowPolygons && Writer.ShowQuadtree && Writer.ShowBoundary);
    EXPECT_FALSE(Writer.ShowPointFeatures || Writer.ShowQuadtreeNodes);

    // OK copies the answer back, and the dialog was shown the current flags.
    CPictureFlags answer;
    answer.ShowPolygons = false;
    answer.ShowPointFeatures = true;
    Ui->QueuePictureFlagsAnswer(answer);
    EXPECT_EQ(Writer.WritePicture(Dir.File("ok.emf"), 0.06, false), 1);
    EXPECT_EQ(Ui->LastPictureFlagsShown(), CPictureFlags{});
    EXPECT_TRUE(!Writer.ShowPolygons && Writer.ShowPointFeatures);
    EXPECT_EQ(Elements(ConvertEmf(Dir.File("ok.emf"), Dir)).size(), 3u); // the three segments only
}

// A good picture stays when a later one cannot be written.
TEST_F(PictureWriterTest, AFailedWriteSaysSoAndKeepsTheOldPicture)
{
    const std::string path = Dir.File("keep.emf");
    ASSERT_EQ(Writer.WritePicture(path, 0.05, true), 1);
    EXPECT_TRUE(test::CheckEmfStructure(path).Ok) << test::CheckEmfStructure(path).Reason;
    const std::string before = ReadText(path);
    std::filesystem::create_directory(Dir.File("folder.emf"));
    EXPECT_EQ(Writer.WritePicture(Dir.File("folder.emf"), 0.05, true), -1);
    EXPECT_EQ(Writer.WritePicture(Dir.File("missing/x.emf"), 0.05, true), -1);
    EXPECT_EQ(Writer.WriteSvgPicture(Dir.File("missing/x.svg"), 0.05), -1);
    // Each message keeps its words and names the file and the system's reason on its second line.
    EXPECT_EQ(Ui->Messages(),
              (std::vector<std::string>{
                  "Error: Cannot create EMF File!\n" + Dir.File("folder.emf") + ": Is a directory.",
                  "Error: Cannot create EMF File!\n" + Dir.File("missing/x.emf") + ": No such file or directory.",
                  "Error: Cannot create SVG File!\n" + Dir.File("missing/x.svg") + ": No such file or directory."}));
    EXPECT_EQ(ReadText(path), before);
    EXPECT_EQ(test::FolderEntries(Dir.Path()), (std::vector<std::string>{"folder.emf", "keep.emf"}));
}

} // namespace
} // namespace tessaro
