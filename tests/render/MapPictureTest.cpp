// Map pictures drawn from a scene: each polygon filled with its own colour by the even-odd rule,
// labels only where their text fits inside the polygon, the three formats read back by
// independent readers (Qt's image and XML readers, poppler's pdftoppm), and refused outputs.
#include "render/MapPicture.h"

#include "platform/InputFiles.h"
#include "render/MapPictureFile.h"
#include "render/RenderSession.h"
#include "tests/support/PolygonFixtures.h"
#include "tests/support/TempDir.h"

#include <QImage>
#include <QXmlStreamReader>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

namespace tessaro {
namespace {

using ::testing::HasSubstr;

// One application for the whole program, on the offscreen platform as the command line makes it.
class RenderEnvironment : public ::testing::Environment {
public:
    void SetUp() override { Session_ = std::make_unique<CRenderSession>(); }
    void TearDown() override { Session_.reset(); }

private:
    std::unique_ptr<CRenderSession> Session_;
};
[[maybe_unused]] const auto* const Environment = ::testing::AddGlobalTestEnvironment(new RenderEnvironment);

const CPictureColor BigFill{200, 30, 30}, TinyFill{30, 200, 30}, FrameFill{30, 30, 200};

// A 10 × 10 square, a tiny square beside it and a square frame one unit wide round a hole; the
// map spans x 0 … 22 and y 0 … 10.
CPolygonLayer ThreePolygons()
{
    CPolygonLayer layer;
    layer.Add(test::MakePolygon({test::SquarePoints(0, 0, 10)}));
    layer.Add(test::MakePolygon({test::SquarePoints(10.2, 0, 0.3)}));
    layer.Add(test::MakePolygon({test::SquarePoints(12, 0, 10), test::SquarePoints(13, 1, 8, false)}));
    return layer;
}

MapScene SceneOf(const CPolygonLayer& layer)
{
    MapScene scene;
    scene.Result = &layer;
    scene.Style.Background = {255, 255, 255};
    scene.Style.Fill = MapStyle::FillMode::ByValue;
    scene.Coloring.Fills = {BigFill, TinyFill, FrameFill};
    scene.Coloring.LegendTitle = "Population";
    scene.Coloring.Legend = {{BigFill, "100 - 200"}, {TinyFill, "10 - 100"}, {FrameFill, "1 - 10"}};
    scene.Labels = {"Big", "Tiny", "Frame"};
    scene.Title = "Three polygons";
    return scene;
}

// A map point's place on the page, in points.
QPointF PageOf(const CMapPicture& picture, double x, double y)
{
    const QRectF& map = picture.MapRect();
    const double scale = map.width() / 22.0;
    return {map.left() + x * scale, map.top() + (10.0 - y) * scale};
}

QColor PixelAt(const QImage& image, const CMapPicture& picture, double x, double y)
{
    const QPointF page = PageOf(picture, x, y) * (image.width() / picture.PageSize().width());
    return image.pixelColor(page.toPoint());
}

QImage ImageOf(const std::string& path)
{
    return QImage(QString::fromStdString(path));
}

QColor Qt(const CPictureColor& c)
{
    return QColor(c.Red, c.Green, c.Blue);
}

bool Near(const QColor& a, const QColor& b, int tolerance)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

class MapPictureTest : public ::testing::Test {
protected:
    test::CTempDir Folder;
    CPolygonLayer Layer = ThreePolygons();
    MapScene Scene = SceneOf(Layer);
    CMapPicture Picture{Scene};
    CInputFiles NoInputs;

    std::string Write(const std::string& name, const PictureResolution& resolution = {})
    {
        const std::string path = Folder.File(name);
        const auto problem = WriteMapPicture(Picture, path, resolution, NoInputs);
        EXPECT_FALSE(problem) << *problem;
        return path;
    }
};

TEST(PictureFormatTest, TheEndingChoosesTheFormatInAnyCase)
{
    const std::map<std::string, std::optional<PictureFormat>> cases{
        {"map.png", PictureFormat::Png}, {"MAP.PNG", PictureFormat::Png}, {"a/b.Svg", PictureFormat::Svg},
        {"x.pdf", PictureFormat::Pdf},   {"map.jpg", std::nullopt},       {"png", std::nullopt},
        {".png", std::nullopt},          {"map.png.txt", std::nullopt},
    };
    for (const auto& [path, format] : cases)
        EXPECT_EQ(PictureFormatOf(path), format) << path;
}

TEST_F(MapPictureTest, PngFillsEachPolygonWithItsColourAndLeavesHolesOpen)
{
    const QImage image = ImageOf(Write("map.png"));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 1200); // 8 inches at 150 dpi
    EXPECT_EQ(image.height(), static_cast<int>(std::lround(Picture.PageSize().height() * 150.0 / 72.0)));
    EXPECT_EQ(PixelAt(image, Picture, 2.0, 2.0), Qt(BigFill));
    EXPECT_EQ(PixelAt(image, Picture, 12.5, 5.0), Qt(FrameFill));
    EXPECT_EQ(PixelAt(image, Picture, 17.0, 3.0), QColor(Qt::white)); // the frame's hole
}

TEST_F(MapPictureTest, PngSizeFollowsTheWidthOrTheResolution)
{
    EXPECT_EQ(ImageOf(Write("narrow.png", {640, std::nullopt})).width(), 640);
    EXPECT_EQ(ImageOf(Write("fine.png", {std::nullopt, 300})).width(), 2400);
}

TEST_F(MapPictureTest, LabelsArePlacedOnlyWhereTheirTextFitsInsideThePolygon)
{
    const QImage device(10, 10, QImage::Format_RGB32);
    const std::vector<PlacedLabel> labels = Picture.PlaceLabels(device);
    std::map<size_t, QRectF> placed;
    for (const PlacedLabel& label : labels)
        placed[label.Polygon] = label.Box;
    ASSERT_TRUE(placed.contains(0));
    EXPECT_TRUE(Picture.PolygonPath(0).contains(placed[0]));
    EXPECT_FALSE(placed.contains(1)); // the tiny square is smaller than its text
    // The frame's label, if any, lies on the frame and not over its hole.
    if (placed.contains(2)) {
        const QRectF hole(PageOf(Picture, 13.0, 9.0), PageOf(Picture, 21.0, 1.0));
        EXPECT_TRUE(Picture.PolygonPath(2).contains(placed[2]));
        EXPECT_FALSE(hole.intersects(placed[2]));
    }
}

// The SVG's filled paths, by their fill colour: QSvgGenerator sets a path's fill on the group
// around it.
std::map<QString, int> FilledPaths(const QString& svg, QStringList& texts)
{
    std::map<QString, int> paths;
    std::vector<QString> fills{QStringLiteral("none")};
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QStringLiteral("g"))
            fills.push_back(xml.attributes().hasAttribute("fill") ? xml.attributes().value("fill").toString()
                                                                  : fills.back());
        else if (xml.isEndElement() && xml.name() == QStringLiteral("g"))
            fills.pop_back();
        else if (xml.isStartElement() && xml.name() == QStringLiteral("path") && fills.back() != "none")
            ++paths[fills.back()];
        else if (xml.isStartElement() && xml.name() == QStringLiteral("text"))
            texts << xml.readElementText(QXmlStreamReader::IncludeChildElements).simplified();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return paths;
}

TEST_F(MapPictureTest, SvgHasOneFilledPathPerPolygonAndItsTextAsText)
{
    QStringList texts;
    const std::map<QString, int> paths = FilledPaths(QString::fromStdString(test::ReadText(Write("map.svg"))), texts);
    EXPECT_EQ(paths, (std::map<QString, int>{{"#c81e1e", 1}, {"#1ec81e", 1}, {"#1e1ec8", 1}}));
    EXPECT_TRUE(texts.contains("Three polygons"));
    EXPECT_TRUE(texts.contains("Big"));
    EXPECT_FALSE(texts.contains("Tiny"));
    EXPECT_TRUE(texts.contains("100 - 200"));
}

TEST_F(MapPictureTest, PdfRendersBackWithItsFills)
{
    const std::string pdf = Write("map.pdf");
    const std::string prefix = Folder.File("page");
    ASSERT_EQ(std::system(("pdftoppm -png -r 150 -singlefile '" + pdf + "' '" + prefix + "'").c_str()), 0);
    const QImage image = ImageOf(prefix + ".png");
    ASSERT_EQ(image.width(), 1200);
    EXPECT_TRUE(Near(PixelAt(image, Picture, 2.0, 2.0), Qt(BigFill), 2));
    EXPECT_TRUE(Near(PixelAt(image, Picture, 12.5, 5.0), Qt(FrameFill), 2));
}

TEST_F(MapPictureTest, RefusedPathsWriteNothingAndSayWhy)
{
    const std::string input = Folder.File("input.png");
    test::WriteText(input, "the input");
    CInputFiles inputs;
    inputs.Add(input);
    const auto onInput = WriteMapPicture(Picture, input, {}, inputs);
    ASSERT_TRUE(onInput);
    EXPECT_THAT(*onInput, HasSubstr("would overwrite the input file"));
    EXPECT_EQ(test::ReadText(input), "the input");

    const auto ending = WriteMapPicture(Picture, Folder.File("map.jpg"), {}, inputs);
    ASSERT_TRUE(ending);
    EXPECT_THAT(*ending, HasSubstr("must end in .png, .svg or .pdf"));

    const auto folder = WriteMapPicture(Picture, Folder.File("missing/map.png"), {}, inputs);
    ASSERT_TRUE(folder);
    EXPECT_THAT(*folder, HasSubstr("Cannot write the map picture"));
    EXPECT_EQ(test::FolderEntries(Folder.Path()), std::vector<std::string>{"input.png"});
}

} // namespace
} // namespace tessaro
