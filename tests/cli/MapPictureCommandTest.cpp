// The cartogram command's map pictures, made without a display: the result's colours checked
// against errors computed from the exported shapefile with Boost.Geometry, labels from the
// table, every exported round's picture, and the pictures it refuses to write.
#include "document/ColorScale.h"
#include "render/MapPicture.h"
#include "render/PictureColorQt.h"
#include "render/RoundScenes.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/BoostRecords.h"
#include "tests/support/PolygonFixtures.h"

#include <QImage>

#include <boost/geometry.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <filesystem>

namespace tessaro {
namespace {

using test::CommandResult;
using test::CTempDir;
using test::RunCli;
using ::testing::HasSubstr;

const std::string UsStates = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";
const std::string NoDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM";

// The example's cartogram by population into `out`, without a display, with `options`.
CommandResult RunOnStates(const CTempDir& folder, const std::string& out, const std::string& options,
                          const std::string& input = UsStates)
{
    return RunCli("cartogram " + input + " --field POP --threads 2 --output-dir " + out + " " + options, folder,
                  NoDisplay);
}

std::vector<double> PopulationShares()
{
    const DBFHandle table =
        DBFOpen((std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.dbf").c_str(), "rb");
    std::vector<double> sizes;
    const int field = DBFGetFieldIndex(table, "POP");
    for (int i = 0; i < DBFGetRecordCount(table); ++i)
        sizes.push_back(DBFReadDoubleAttribute(table, i, field));
    DBFClose(table);
    return test::Shares(sizes);
}

// The point of a 40 × 40 grid over the record's box that lies inside it farthest from its
// rings: a pixel there shows the fill, clear of the outline.
test::BoostPoint DeepInside(const test::BoostRecord& record)
{
    namespace bg = boost::geometry;
    std::vector<bg::model::linestring<test::BoostPoint>> rings;
    double minX = 1e300, minY = 1e300, maxX = -1e300, maxY = -1e300;
    for (const test::BoostPolygon& polygon : record) {
        rings.emplace_back(polygon.outer().begin(), polygon.outer().end());
        for (const auto& hole : polygon.inners())
            rings.emplace_back(hole.begin(), hole.end());
        for (const test::BoostPoint& p : polygon.outer()) {
            minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
        }
    }
    test::BoostPoint best(minX, minY);
    double clearance = -1.0;
    for (int i = 1; i < 40; ++i)
        for (int j = 1; j < 40; ++j) {
            const test::BoostPoint p(minX + (maxX - minX) * i / 40.0, minY + (maxY - minY) * j / 40.0);
            if (!bg::within(p, record))
                continue;
            double nearest = 1e300;
            for (const auto& ring : rings)
                nearest = std::min(nearest, bg::distance(p, ring));
            if (nearest > clearance)
                clearance = nearest, best = p;
        }
    return best;
}

TEST(MapPictureCommand, AStatesColourIsTheLegendsColourForItsErrorInTheExportedResult)
{
    CTempDir folder;
    const std::string out = folder.File("out");
    const CommandResult result = RunOnStates(folder, out, "--map-picture " + out + "/map.png --color-by error");
    ASSERT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Out, HasSubstr("Map picture: " + out + "/map.png\n"));

    // Of the states covering at least 2 % of the result, the one farthest from its desired area,
    // its error A/D − 1 from Boost's areas.
    const std::vector<test::BoostRecord> records = test::ReadBoostRecords(out + "/us_states_3.shp");
    const std::vector<double> shares = PopulationShares();
    ASSERT_EQ(records.size(), shares.size());
    double total = 0.0;
    for (const test::BoostRecord& record : records)
        total += boost::geometry::area(record);
    size_t chosen = 0;
    double deviation = 0.0;
    for (size_t i = 0; i < records.size(); ++i) {
        const double area = boost::geometry::area(records[i]);
        const double d = area / (shares[i] * total) - 1.0;
        if (area >= 0.02 * total && std::abs(d) > std::abs(deviation))
            chosen = i, deviation = d;
    }
    const test::BoostPoint inside = DeepInside(records[chosen]);

    // Where that point lies in the picture: the page's map rectangle spans the map's box.
    const std::optional<CPolygonLayer> layer = ReadRoundLayer(out + "/us_states_3.shp");
    ASSERT_TRUE(layer);
    MapScene scene;
    scene.Result = &*layer;
    scene.Style.Fill = MapStyle::FillMode::ByError;
    scene.Coloring.Legend = CColorScale::Deviation().Legend();
    const CMapPicture picture(scene);
    const CExtent box = layer->BoundingBox();
    const double scale = picture.MapRect().width() / box.Width();
    const QPointF page(picture.MapRect().left() + (inside.x() - box.MinX) * scale,
                       picture.MapRect().top() + (box.MaxY - inside.y()) * scale);
    const QImage image(QString::fromStdString(out + "/map.png"));
    ASSERT_EQ(image.width(), 1200);
    const QPointF pixel = page * (image.width() / picture.PageSize().width());
    EXPECT_EQ(image.pixelColor(pixel.toPoint()), ToQColor(CColorScale::Deviation().ColorOf(deviation)))
        << "record " << chosen << ", A/D - 1 = " << deviation;
}

TEST(MapPictureCommand, LabelsComeFromTheTableAndAnUnknownFieldNamesTheFieldsThereAre)
{
    CTempDir folder;
    const std::string out = folder.File("out");
    const CommandResult labelled =
        RunOnStates(folder, out, "--map-picture " + out + "/map.svg --labels name --title States");
    ASSERT_EQ(labelled.Exit, 0) << labelled.Err;
    const std::string svg = test::ReadText(out + "/map.svg");
    EXPECT_THAT(svg, HasSubstr(">Texas<"));
    EXPECT_THAT(svg, HasSubstr(">States<"));
    // Too small for its name at the label size.
    EXPECT_THAT(svg, ::testing::Not(HasSubstr(">Rhode Island<")));

    // A field that is not there is found before the run, which then writes nothing.
    const std::string other = folder.File("other");
    const CommandResult unknown =
        RunOnStates(folder, other, "--map-picture " + other + "/other.png --labels STATE_NAME");
    EXPECT_NE(unknown.Exit, 0);
    EXPECT_THAT(unknown.Err, HasSubstr("has no field STATE_NAME; its fields are: NAME, FIPS, POP, HURRICANES."));
    EXPECT_THAT(unknown.Out, ::testing::Not(HasSubstr("Rounds transformed")));
    EXPECT_FALSE(std::filesystem::exists(other + "/us_states_nfo.txt"));
    EXPECT_FALSE(std::filesystem::exists(other + "/other.png"));
}

TEST(MapPictureCommand, ARoundPlaceholderWritesEveryExportedRoundsPicture)
{
    CTempDir folder;
    const std::string out = folder.File("out");
    const CommandResult result =
        RunOnStates(folder, out, "--export-every 2 --map-picture '" + out + "/map_{round}.pdf'");
    ASSERT_EQ(result.Exit, 0) << result.Err;
    for (int round = 0; round < 4; ++round) {
        const bool exported = std::filesystem::exists(out + "/us_states_" + std::to_string(round) + ".shp");
        EXPECT_EQ(std::filesystem::exists(out + "/map_" + std::to_string(round) + ".pdf"), exported) << round;
    }
    // The result is round 3's, as the run numbers its export.
    EXPECT_TRUE(std::filesystem::exists(out + "/map_3.pdf"));
    EXPECT_FALSE(std::filesystem::exists(out + "/map_4.pdf"));
    EXPECT_NE(test::ReadText(out + "/map_1.pdf"), test::ReadText(out + "/map_3.pdf"));
}

TEST(MapPictureCommand, PicturesOfAnotherEndingOrOnAnInputAreRefusedBeforeTheRun)
{
    CTempDir folder;
    const std::string out = folder.File("out");
    const CommandResult ending = RunOnStates(folder, out, "--map-picture " + out + "/map.jpg");
    EXPECT_NE(ending.Exit, 0);
    EXPECT_THAT(ending.Err, HasSubstr("must end in .png, .svg or .pdf"));
    EXPECT_FALSE(std::filesystem::exists(out + "/us_states_nfo.txt"));

    // A picture name that is a hard link to the input's table is the table.
    std::filesystem::create_directories(out);
    for (const char* ending : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states" + ending,
                                   folder.File(std::string("states") + ending));
    std::filesystem::create_hard_link(folder.File("states.dbf"), folder.File("table.png"));
    const std::string table = test::ReadText(folder.File("states.dbf"));
    const CommandResult onInput =
        RunOnStates(folder, out, "--map-picture " + folder.File("table.png"), folder.File("states.shp"));
    EXPECT_NE(onInput.Exit, 0);
    EXPECT_THAT(onInput.Err, HasSubstr("would overwrite the input file"));
    EXPECT_EQ(test::ReadText(folder.File("states.dbf")), table);
}

} // namespace
} // namespace tessaro
