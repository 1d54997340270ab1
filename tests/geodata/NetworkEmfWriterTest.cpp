#include "geodata/NetworkEmfWriter.h"

#include "engine/QuadTree.h"
#include "geodata/EmfCanvas.h"
#include "geodata/SvgCanvas.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::CTempDir;
using test::ReadText;

// Network of two chains (three segments in all) and polygons: a square and a polygon of
// two rings. The polygons make the extent 0 .. 100 by 0 .. 50.
std::unique_ptr<CNetwork> MakeNetwork(bool polygons = true)
{
    auto network = std::make_unique<CNetwork>();
    network->SetKeyMode(KeyByCoordinates);
    const std::vector<std::vector<double>> chains = {{0, 0, 50, 25, 100, 50}, {100, 0, 0, 50}};
    for (const auto& pts : chains) {
        auto chain = std::make_unique<CNetworkChain>();
        EXPECT_TRUE(chain->SetPoints(static_cast<int32_t>(pts.size() / 2), pts.data()));
        network->AddChain(std::move(chain));
    }
    network->BuildTopology();
    if (polygons) {
        auto square = std::make_unique<CSimplePolygon>();
        auto ring = std::make_unique<CPolygonRing>();
        const double a[] = {0, 0, 0, 50, 50, 50, 50, 0, 0, 0};
        ring->SetPoints(5, a, true);
        square->AddRing(std::move(ring));
        network->AddPolygon(std::move(square));

        auto holed = std::make_unique<CSimplePolygon>();
        const double outer[] = {60, 10, 60, 40, 100, 40, 100, 10, 60, 10};
        const double inner[] = {70, 20, 90, 20, 90, 30, 70, 30, 70, 20};
        for (const double* pts : {outer, inner}) {
            auto r = std::make_unique<CPolygonRing>();
            r->SetPoints(5, pts, true);
            holed->AddRing(std::move(r));
        }
        network->AddPolygon(std::move(holed));
    }
    CExtent box{0, 0, 100, 50};
    network->SetExtent(box, true);
    return network;
}

// A quadtree of depth 1 over the extent: four cells and nine vertices.
void BuildTree(CQuadTree& tree)
{
    CTreeRect rect{0, 100, 100, 0};
    const double points[] = {10, 10, 90, 10, 10, 90, 90, 90};
    ASSERT_TRUE(tree.BuildForPoints(rect, 1, 4, points));
}

// One drawn element as found in an SVG text.
struct Element {
    std::string Kind; // line, polygon, path, ellipse
    std::string Stroke;
    std::string Fill;
    double StrokeWidth = -1;
    std::string D; // a path's data
};

// The value of name="..." in a tag (preceded by a space, so "stroke" skips "stroke-width").
std::string Attribute(const std::string& tag, const std::string& name)
{
    const std::string key = " " + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos)
        return std::string();
    const size_t begin = at + key.size();
    return tag.substr(begin, tag.find('"', begin) - begin);
}

std::vector<Element> Elements(const std::string& svg)
{
    std::vector<Element> out;
    size_t at = 0;
    while ((at = svg.find('<', at)) != std::string::npos) {
        const size_t end = svg.find('>', at);
        if (end == std::string::npos)
            break;
        const std::string text = svg.substr(at, end - at + 1);
        at = end;
        const size_t nameEnd = text.find_first_of(" />", 1);
        const std::string kind = text.substr(1, nameEnd - 1);
        if (kind != "line" && kind != "polygon" && kind != "polyline" && kind != "path" && kind != "ellipse")
            continue;
        Element e;
        e.Kind = kind;
        e.Stroke = Attribute(text, "stroke");
        e.Fill = Attribute(text, "fill");
        e.D = Attribute(text, "d");
        const std::string width = Attribute(text, "stroke-width");
        if (!width.empty())
            e.StrokeWidth = std::atof(width.c_str());
        out.push_back(e);
    }
    return out;
}

int Count(const std::vector<Element>& elements, const std::string& kind, const std::string& stroke = "",
          double width = -1, const std::string& fill = "")
{
    int n = 0;
    for (const Element& e : elements)
        n += e.Kind == kind && (stroke.empty() || e.Stroke == stroke) && (width < 0 || e.StrokeWidth == width) &&
             (fill.empty() || e.Fill == fill);
    return n;
}

// emf2svg writes every primitive as a <path>: a segment is "M a L b", an outline ends in Z.
struct ConvertedCounts {
    int Segments = 0;
    int Outlines = 0;
    int Ellipses = 0;
    int Other = 0;
};

ConvertedCounts Classify(const std::vector<Element>& elements)
{
    ConvertedCounts c;
    for (const Element& e : elements) {
        if (e.Kind == "ellipse")
            ++c.Ellipses;
        else if (e.Kind == "path" && e.D.find('Z') != std::string::npos)
            ++c.Outlines;
        else if (e.Kind == "path" && e.D.rfind("M ", 0) == 0 && std::count(e.D.begin(), e.D.end(), 'L') == 1 &&
                 std::count(e.D.begin(), e.D.end(), 'M') == 1)
            ++c.Segments;
        else
            ++c.Other;
    }
    return c;
}

// Converts an EMF with emf2svg-conv; fails the test when the tool complains or the file's
// record structure is unsound.
std::string ConvertEmf(const std::string& emf, const CTempDir& dir)
{
    const test::EmfCheckResult structure = test::CheckEmfStructure(emf);
    EXPECT_TRUE(structure.Ok) << emf << ": " << structure.Reason;
    const std::string svg = dir.File("converted.svg");
    const std::string log = dir.File("converted.log");
    const std::string command = "emf2svg-conv -i '" + emf + "' -o '" + svg + "' >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    EXPECT_EQ(status, 0) << ReadText(log);
    EXPECT_EQ(ReadText(log), "");
    return std::filesystem::exists(svg) ? ReadText(svg) : std::string();
}


// The small network and depth-1 quadtree of these tests, a writer on them and a folder.
class PictureWriterTest : public ::testing::Test {
protected:
    PictureWriterTest() { BuildTree(tree); }

    CScopedRecordingUserInterface ui;
    CTempDir dir;
    std::unique_ptr<CNetwork> network = MakeNetwork();
    CQuadTree tree;
    CNetworkEmfWriter writer{*network};
};

TEST(NetworkEmfWriterTest, MapsTheWorkedExample)
{
    const CPictureMapping m = CPictureMapping::Make(CExtent{0, 0, 100, 50}, 21590, 27939, 0.06);
    EXPECT_NEAR(m.Scale, 202.946, 1e-9);
    EXPECT_NEAR(m.OffsetX, 647.7, 1e-9);
    EXPECT_NEAR(m.OffsetY, 8895.85, 1e-9);
    const CPicturePoint p = m.Map(0, 50);
    EXPECT_EQ(p.X, 647);
    EXPECT_EQ(p.Y, -8895);
    // Truncation is toward zero on both signs; the bottom right lands inside the page.
    const CPicturePoint q = m.Map(100, 0);
    EXPECT_EQ(q.X, 20942);
    EXPECT_EQ(q.Y, -19043);
    EXPECT_EQ(CPictureMapping::Truncate(-0.9), 0);
    EXPECT_EQ(CPictureMapping::Truncate(1e300), INT32_MAX);
}

TEST(NetworkEmfWriterTest, DegenerateExtentsDrawCentred)
{
    // A point: scale 1 about the page centre.
    const CPictureMapping point = CPictureMapping::Make(CExtent{5, 5, 5, 5}, 21590, 27939, 0.06);
    EXPECT_EQ(point.Scale, 1.0);
    EXPECT_EQ(point.Map(5, 5).X, 10795);
    EXPECT_EQ(point.Map(5, 5).Y, -13969);
    // A horizontal line: the width decides the scale, the line sits at mid height.
    const CPictureMapping line = CPictureMapping::Make(CExtent{0, 7, 100, 7}, 21590, 27939, 0.06);
    EXPECT_NEAR(line.Scale, 202.946, 1e-9);
    EXPECT_EQ(line.Map(0, 7).X, 647);
    EXPECT_EQ(line.Map(100, 7).Y, -13969);
    // The empty extent: the origin at the centre.
    const CPictureMapping none = CPictureMapping::Make(CExtent::Empty(), 21590, 27939, 0.06);
    EXPECT_EQ(none.Map(0, 0).X, 10795);
    EXPECT_EQ(none.Map(0, 0).Y, -13969);

    // The whole writer on a network whose extent is a point.
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    auto chain = std::make_unique<CNetworkChain>();
    const double pts[] = {5, 5, 5, 5};
    ASSERT_TRUE(chain->SetPoints(2, pts));
    network.AddChain(std::move(chain));
    network.BuildTopology();
    network.SetExtent(CExtent{5, 5, 5, 5}, true);
    CNetworkEmfWriter writer(network);
    ASSERT_EQ(writer.WriteSvgPicture(dir.File("p.svg"), 0.06), 1);
    EXPECT_NE(ReadText(dir.File("p.svg")).find("x1=\"10795\" y1=\"13969\" x2=\"10795\" y2=\"13969\""), std::string::npos);
    ASSERT_EQ(writer.WritePicture(dir.File("p.emf"), 0.06, true), 1);
    EXPECT_NE(ConvertEmf(dir.File("p.emf"), dir).find("M 10795.0000,13969.0000 L 10795.0000,13969.0000"), std::string::npos);
    EXPECT_TRUE(ui->Messages().empty());
}

TEST_F(PictureWriterTest, EmfConvertsAndDrawsEveryLayer)
{
    writer.Quadtree = &tree;
    writer.ShowQuadtreeNodes = true;
    ASSERT_EQ(writer.WritePicture(dir.File("all.emf"), 0.06, true), 1);
    EXPECT_TRUE(ui->Messages().empty());

    // Header: the frame and the description as UTF-16.
    const std::string bytes = ReadText(dir.File("all.emf"));
    ASSERT_GT(bytes.size(), 88u);
    int32_t frame[4];
    std::memcpy(frame, bytes.data() + 24, sizeof frame);
    EXPECT_EQ(frame[0], 0);
    EXPECT_EQ(frame[1], 0);
    EXPECT_EQ(frame[2], 21590);
    EXPECT_EQ(frame[3], 27939);
    uint32_t total = 0;
    std::memcpy(&total, bytes.data() + 48, sizeof total);
    EXPECT_EQ(total, bytes.size());
    std::string utf16;
    for (char c : std::string("Network EMF File"))
        utf16 += std::string{c, '\0'};
    EXPECT_NE(bytes.find(utf16), std::string::npos);

    const std::vector<Element> e = Elements(ConvertEmf(dir.File("all.emf"), dir));
    const ConvertedCounts c = Classify(e);
    EXPECT_EQ(c.Segments, 3);
    EXPECT_EQ(c.Outlines, 4 + 3); // cells, then three rings
    EXPECT_EQ(c.Ellipses, 9);
    EXPECT_EQ(c.Other, 0);
    EXPECT_EQ(Count(e, "path", "#000000", 1.0), 3) << "chains: default pen";
    EXPECT_EQ(Count(e, "path", "#B4B4B4", 10.0, "none"), 4) << "cells";
    EXPECT_EQ(Count(e, "ellipse", "#000000", 2.0, "#404040"), 9) << "vertices";
    EXPECT_EQ(Count(e, "path", "#000000", 10.0, "none"), 3) << "polygons";
    // The first chain starts at world (0, 0): page (647, -19043), y flipped by the converter.
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e[0].D.rfind("M 647.0000,19043.0000 L 10795.0000,13969.0000", 0), 0u) << e[0].D;
    // A vertex circle: radius 20 around its truncated centre.
    EXPECT_NE(ReadText(dir.File("converted.svg")).find("<ellipse cx=\"647.0000\" cy=\"19043.0000\" rx=\"20.0000\""),
              std::string::npos);
}

TEST_F(PictureWriterTest, SvgTwinDrawsTheSameElements)
{
    writer.Quadtree = &tree;
    writer.ShowQuadtreeNodes = true;
    ASSERT_EQ(writer.WriteSvgPicture(dir.File("all.svg"), 0.06), 1);
    const std::string svg = ReadText(dir.File("all.svg"));
    const std::vector<Element> e = Elements(svg);
    EXPECT_EQ(Count(e, "line", "rgb(0,0,0)"), 3);
    EXPECT_EQ(Count(e, "polygon", "rgb(180,180,180)", 10.0, "none"), 4);
    EXPECT_EQ(Count(e, "ellipse", "rgb(0,0,0)", 2.0, "rgb(64,64,64)"), 9);
    EXPECT_EQ(Count(e, "polygon", "rgb(0,0,0)", 10.0, "none"), 3);
    EXPECT_EQ(e.size(), 3u + 4u + 9u + 3u);
    EXPECT_NE(svg.find("<title>Network EMF File</title>"), std::string::npos);
    EXPECT_NE(svg.find("width=\"215.90mm\" height=\"279.39mm\" viewBox=\"0 0 21590 27939\""), std::string::npos);
    EXPECT_NE(svg.find("<line x1=\"647\" y1=\"19043\" x2=\"10795\" y2=\"13969\""), std::string::npos);
    EXPECT_NE(svg.find("<ellipse cx=\"647.0\" cy=\"19043.0\" rx=\"20.0\" ry=\"20.0\""), std::string::npos);
}

TEST_F(PictureWriterTest, PolygonsOffQuadtreeOnDrawsChainsAndCellsOnly)
{
    writer.Quadtree = &tree;
    writer.ShowPolygons = false;
    ASSERT_EQ(writer.WritePicture(dir.File("q.emf"), 0.05, true), 1);
    const std::vector<Element> e = Elements(ConvertEmf(dir.File("q.emf"), dir));
    const ConvertedCounts c = Classify(e);
    EXPECT_EQ(c.Segments, 3);
    EXPECT_EQ(c.Outlines, 4);
    EXPECT_EQ(c.Ellipses, 0);
    EXPECT_EQ(Count(e, "path", "#B4B4B4", 10.0), 4);

    // Without a quadtree (the export command), the quadtree flags change nothing.
    CNetworkEmfWriter plain(*network);
    plain.ShowQuadtreeNodes = true;
    ASSERT_EQ(plain.WritePicture(dir.File("p.emf"), 0.06, true), 1);
    const ConvertedCounts p = Classify(Elements(ConvertEmf(dir.File("p.emf"), dir)));
    EXPECT_EQ(p.Segments, 3);
    EXPECT_EQ(p.Outlines, 3);
    EXPECT_EQ(p.Ellipses, 0);
}

TEST(NetworkEmfWriterTest, PolygonWithTwoRingsGivesTwoOutlines)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    CNetwork network;
    auto holed = std::make_unique<CSimplePolygon>();
    const double outer[] = {0, 0, 0, 10, 10, 10, 10, 0, 0, 0};
    const double inner[] = {2, 2, 8, 2, 8, 8, 2, 8, 2, 2};
    for (const double* pts : {outer, inner}) {
        auto r = std::make_unique<CPolygonRing>();
        r->SetPoints(5, pts, true);
        holed->AddRing(std::move(r));
    }
    network.AddPolygon(std::move(holed));
    CNetworkEmfWriter writer(network);
    ASSERT_EQ(writer.WritePicture(dir.File("h.emf"), 0.06, true), 1);
    const std::vector<Element> e = Elements(ConvertEmf(dir.File("h.emf"), dir));
    EXPECT_EQ(Classify(e).Outlines, 2);
    EXPECT_EQ(Count(e, "path", "#000000", 10.0, "none"), 2);
}

TEST_F(PictureWriterTest, EditSettingsCancelWritesNothing)
{
    ui->QueuePictureFlagsAnswer(std::nullopt);
    EXPECT_EQ(writer.WritePicture(dir.File("c.emf"), 0.06, false), -1);
    EXPECT_FALSE(std::filesystem::exists(dir.File("c.emf")));
    EXPECT_TRUE(test::FolderEntries(dir.Path()).empty());
    EXPECT_TRUE(ui->Messages().empty());
    EXPECT_EQ(ui->PictureFlagsRequests(), 1);
    EXPECT_TRUE(writer.ShowPolygons && writer.ShowQuadtree && writer.ShowBoundary);
    EXPECT_FALSE(writer.ShowPointFeatures || writer.ShowQuadtreeNodes);

    // OK copies the answer back, and the dialog was shown the current flags.
    CPictureFlags answer;
    answer.ShowPolygons = false;
    answer.ShowPointFeatures = true;
    ui->QueuePictureFlagsAnswer(answer);
    EXPECT_EQ(writer.WritePicture(dir.File("ok.emf"), 0.06, false), 1);
    EXPECT_EQ(ui->LastPictureFlagsShown(), CPictureFlags{});
    EXPECT_FALSE(writer.ShowPolygons);
    EXPECT_TRUE(writer.ShowPointFeatures);
    const ConvertedCounts c = Classify(Elements(ConvertEmf(dir.File("ok.emf"), dir)));
    EXPECT_EQ(c.Outlines, 0);
    EXPECT_EQ(c.Segments, 3);
}

TEST_F(PictureWriterTest, PageSizeAndWriteFailure)
{
    writer.SetPageSize(107950, 139695);
    writer.SetPageSize(0, 5);
    writer.SetPageSize(5, -1);
    EXPECT_EQ(writer.PageWidth, 107950);
    EXPECT_EQ(writer.PageHeight, 139695);

    // A good picture stays when a later one cannot be written.
    const std::string path = dir.File("keep.emf");
    ASSERT_EQ(writer.WritePicture(path, 0.05, true), 1);
    EXPECT_TRUE(test::CheckEmfStructure(path).Ok) << test::CheckEmfStructure(path).Reason;
    const std::string before = ReadText(path);
    std::filesystem::create_directory(dir.File("folder.emf"));
    EXPECT_EQ(writer.WritePicture(dir.File("folder.emf"), 0.05, true), -1);
    EXPECT_EQ(writer.WritePicture(dir.File("missing/x.emf"), 0.05, true), -1);
    EXPECT_EQ(writer.WriteSvgPicture(dir.File("missing/x.svg"), 0.05), -1);
    EXPECT_EQ(ui->Messages(), (std::vector<std::string>{"Error: Cannot create EMF File!", "Error: Cannot create EMF File!",
                                                         "Error: Cannot create SVG File!"}));
    EXPECT_EQ(ReadText(path), before);
    EXPECT_EQ(test::FolderEntries(dir.Path()), (std::vector<std::string>{"folder.emf", "keep.emf"}));
}

} // namespace
} // namespace tessaro
