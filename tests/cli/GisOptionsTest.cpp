// The command line's GIS options end to end: a GeoPackage in and out with a layer moved along,
// read back by GDAL's own ogrinfo and by info, fields and check, and the refusals of the new
// options with their statuses.
#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;

const std::string Examples = std::string(TESSARO_SOURCE_DIR) + "/examples/";

// ogr2ogr, quietly; true when it succeeded.
bool Ogr2Ogr(const std::string& arguments) { return std::system(("ogr2ogr " + arguments + " 2>/dev/null").c_str()) == 0; }

// two.gpkg in `folder`: the example's states as layer a, its airports as layer b.
bool MakeTwoLayerPackage(const CTempDir& folder)
{
    return Ogr2Ogr("-f GPKG -nln a '" + folder.File("two.gpkg") + "' '" + Examples + "us_states/us_states.shp'") &&
           Ogr2Ogr("-update -f GPKG -nln b '" + folder.File("two.gpkg") + "' '" + Examples +
                   "us_airports/us_airports.shp'");
}

// The lines of `text` that start with one of `labels`, in order.
std::string LinesStartingWith(const std::string& text, std::initializer_list<const char*> labels)
{
    std::string kept;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        for (const char* label : labels)
            if (line.starts_with(label))
                kept += line + '\n';
    return kept;
}

// "Record 7 (Delaware), ring 2: too few points: ..." without the ring, whose number follows the
// reader's ring order.
std::string RecordsAndKinds(const std::string& check)
{
    std::string kept;
    std::istringstream lines(check);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("Record "))
            continue;
        const size_t ring = line.find(", ring ");
        const size_t kind = line.find(": ");
        const size_t text = line.find(": ", kind + 2);
        kept += line.substr(0, std::min(ring, kind)) + line.substr(kind, text - kind) + '\n';
    }
    return kept;
}

TEST(GisOptions, AGeoPackageGoesInAndComesOutWithItsCompanion)
{
    CTempDir folder;
    const std::string input = folder.File("states.gpkg");
    ASSERT_TRUE(Ogr2Ogr("-f GPKG -nln states '" + input + "' '" + Examples + "us_states/us_states.shp'"));
    const CommandResult result =
        RunCli("cartogram " + input + " --layer states --field POP --steps 2 --threads 2 --format gpkg --also " +
                   Examples + "us_airports/us_airports.shp --output-dir " + folder.File("out"),
               folder);
    ASSERT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Out, HasSubstr(folder.File("out/states_cartogram.gpkg")));
    // One layer per round and one per round's companion, written whole: no partial file is left.
    const std::string package = folder.File("out/states_cartogram.gpkg");
    EXPECT_FALSE(std::filesystem::exists(package + ".partial"));
    const std::string info = folder.File("info.txt");
    ASSERT_EQ(std::system(("ogrinfo -ro -so '" + package + "' > '" + info + "'").c_str()), 0);
    const std::string layers = ReadText(info);
    for (const char* layer : {"states_0 (Multi Polygon)", "states_0_us_airports (Point)", "states_1 (Multi Polygon)",
                              "states_1_us_airports (Point)"})
        EXPECT_THAT(layers, HasSubstr(layer));

    // The exported round is checked where it lies, and agrees with the run on new overlaps.
    const CommandResult check = RunCli("check --overlaps " + package + " --layer states_1", folder);
    EXPECT_THAT(check.Out, HasSubstr("Summary: 49 records checked"));
    EXPECT_EQ(check.Out.find(" overlap: ") == std::string::npos,
              result.Out.find("New overlaps in round 1: none") != std::string::npos)
        << result.Out << check.Out;
}

// info, fields and check read a source through OGR as the cartogram does and tell of it what
// they tell of the shapefile it was made from: the same size fields, polygon counts and extent,
// findings by record and name, and summary.
TEST(GisOptions, InfoFieldsAndCheckTellOfAnOgrSourceWhatTheyTellOfTheShapefile)
{
    CTempDir folder;
    ASSERT_TRUE(MakeTwoLayerPackage(folder));
    ASSERT_TRUE(
        Ogr2Ogr("-f GeoJSON '" + folder.File("states.geojson") + "' '" + Examples + "us_states/us_states.shp'"));
    const std::string shapefile = Examples + "us_states/us_states.shp";
    const CommandResult fields = RunCli("fields " + shapefile, folder);
    const CommandResult info = RunCli("info " + shapefile, folder);
    const CommandResult check = RunCli("check --overlaps " + shapefile, folder);
    ASSERT_EQ(check.Exit, 1);
    for (const std::string& source : {folder.File("two.gpkg") + " --layer a", folder.File("states.geojson")}) {
        SCOPED_TRACE(source);
        const CommandResult ogrFields = RunCli("fields " + source, folder);
        EXPECT_EQ(ogrFields.Exit, 0);
        EXPECT_EQ(ogrFields.Out, fields.Out);
        const CommandResult ogrInfo = RunCli("info " + source, folder);
        EXPECT_EQ(ogrInfo.Exit, 0) << ogrInfo.Err;
        EXPECT_THAT(ogrInfo.Out, HasSubstr("Features:       49\n"));
        const auto counts = {"Extent:", "Polygons:", "Rings:", "Vertices:"};
        EXPECT_EQ(LinesStartingWith(ogrInfo.Out, counts), LinesStartingWith(info.Out, counts));
        const CommandResult ogrCheck = RunCli("check --overlaps " + source, folder);
        EXPECT_EQ(ogrCheck.Exit, check.Exit);
        EXPECT_EQ(RecordsAndKinds(ogrCheck.Out), RecordsAndKinds(check.Out));
        EXPECT_EQ(LinesStartingWith(ogrCheck.Out, {"Summary:"}), LinesStartingWith(check.Out, {"Summary:"}));
        EXPECT_EQ(ogrCheck.Err, "");
    }
}

// info, fields and check take --layer by the cartogram's rules and refuse with its words.
TEST(GisOptions, InfoFieldsAndCheckRefuseLayersAsTheCartogramDoes)
{
    CTempDir folder;
    ASSERT_TRUE(MakeTwoLayerPackage(folder));
    const std::string two = folder.File("two.gpkg");
    for (const char* command : {"info", "fields", "check"})
        for (const auto& [arguments, says] :
             {std::pair{two, "holds 2 layers (a, b); name the one to read."},
              std::pair{two + " --layer c", "holds no layer c; its layers are a, b."},
              std::pair{Examples + "us_states/us_states.shp --layer a", "--layer names a layer of a GeoPackage"},
              std::pair{folder.File("none.gpkg"), "Cannot open the input"}}) {
            SCOPED_TRACE(std::string(command) + " " + arguments);
            const CommandResult result = RunCli(std::string(command) + " " + arguments, folder);
            EXPECT_EQ(result.Exit, 2);
            EXPECT_EQ(result.Out, "");
            EXPECT_THAT(result.Err, HasSubstr(says));
        }
    // A layer of points has no polygons to check.
    const CommandResult points = RunCli("check " + two + " --layer b", folder);
    EXPECT_EQ(points.Exit, 2);
    EXPECT_THAT(points.Err, HasSubstr("holds no polygons (its type is Point)"));
}

// A GeoJSON or shapefile written through OGR that a size limit cuts short is neither left nor
// listed under its name, and the run says why and fails; files the limit spares stand.
TEST(GisOptions, AnExportCutShortIsNamedAndNotLeftUnderItsName)
{
    // Files of at most so many blocks of 512 bytes: the pictures fit, the layers do not.
    for (const auto& [format, blocks] : {std::pair{"geojson", 1000}, std::pair{"shapefile", 400}}) {
        SCOPED_TRACE(format);
        CTempDir folder;
        const CommandResult result =
            RunCli("cartogram " + Examples + "us_states/us_states.shp --field POP --steps 2 --format " + format +
                       " --output-dir " + folder.File("out"),
                   folder, "trap '' XFSZ; ulimit -f " + std::to_string(blocks) + ";");
        EXPECT_EQ(result.Exit, 1);
        const std::string ending = std::string(format) == "geojson" ? ".geojson" : ".shp";
        const std::string first = folder.File("out/us_states_0" + ending);
        EXPECT_THAT(result.Err, HasSubstr("The file " + first + " was not written: "));
        EXPECT_THAT(result.Err, HasSubstr("File too large"));
        EXPECT_THAT(result.Out, ::testing::Not(HasSubstr(ending + "\n")));
        for (const auto& entry : std::filesystem::directory_iterator(folder.File("out"))) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE(name.ends_with(ending) || name.ends_with(".partial")) << name;
        }
        EXPECT_TRUE(std::filesystem::exists(folder.File("out/us_states_1_qp.emf")));
    }
}

// The warnings about the input (here: a GeoJSON map in degrees) come before the progress lines.
TEST(GisOptions, WarningsAboutTheInputPrecedeTheRounds)
{
    CTempDir folder;
    const std::string input = folder.File("two.geojson");
    WriteText(input, R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"SIZE": 3}, "geometry": {"type": "Polygon",
         "coordinates": [[[0, 0], [1, 0], [1, 1], [0, 1], [0, 0]]]}},
        {"type": "Feature", "properties": {"SIZE": 1}, "geometry": {"type": "Polygon",
         "coordinates": [[[1, 0], [2, 0], [2, 1], [1, 1], [1, 0]]]}}]})");
    const CommandResult result =
        RunCli("cartogram " + input + " --field SIZE --steps 2 --output-dir " + folder.File("out"), folder);
    ASSERT_EQ(result.Exit, 0) << result.Err;
    const size_t warning = result.Err.find("has geographic coordinates");
    const size_t firstRound = result.Err.find("round 0:");
    ASSERT_NE(warning, std::string::npos);
    ASSERT_NE(firstRound, std::string::npos);
    EXPECT_LT(warning, firstRound);
}

// A GML copy of the example (with the schema ogr2ogr writes beside it) stores each state of
// several parts as one polygon whose other parts are holes outside its shell: the states are
// read as their parts (round 0 measures as the shapefile's does) and named. Reading a GML
// without its schema writes nothing beside it (GDAL would leave a .gfs there).
TEST(GisOptions, AGmlCopyWithPartsStoredAsHolesRunsAsTheShapefileDoes)
{
    CTempDir folder;
    std::filesystem::create_directory(folder.File("in"));
    const std::string gml = folder.File("in/states.gml");
    ASSERT_TRUE(Ogr2Ogr("-f GML " + gml + " " + Examples + "us_states/us_states.shp"));
    const auto roundZero = [](const std::string& err) { return err.substr(err.find("round 0:"), 40); };
    const CommandResult fromGml =
        RunCli("cartogram " + gml + " --field POP --steps 1 --output-dir " + folder.File("out"), folder);
    ASSERT_EQ(fromGml.Exit, 0) << fromGml.Err;
    EXPECT_THAT(fromGml.Err, HasSubstr("as holes outside their shell: feature 1 (Alabama), feature 4 (California)"));
    const CommandResult fromShapefile = RunCli("cartogram " + Examples + "us_states/us_states.shp --field POP "
                                               "--steps 1 --output-dir " + folder.File("out2"), folder);
    ASSERT_EQ(fromShapefile.Exit, 0) << fromShapefile.Err;
    EXPECT_EQ(roundZero(fromGml.Err), roundZero(fromShapefile.Err));

    std::filesystem::remove(folder.File("in/states.xsd"));
    EXPECT_EQ(RunCli("info " + gml, folder).Exit, 0);
    std::vector<std::string> beside;
    for (const auto& entry : std::filesystem::directory_iterator(folder.File("in")))
        beside.push_back(entry.path().filename().string());
    EXPECT_THAT(beside, ::testing::ElementsAre("states.gml"));
}

// A polygon the measures refuse or leave out is named by its feature's number and name, not by
// its place among the polygons (here the second feature has no geometry, so polygon 3 is
// feature 4).
TEST(GisOptions, APolygonWithoutAreaIsNamedByItsFeature)
{
    CTempDir folder;
    const std::string input = folder.File("flat.geojson");
    const auto feature = [](const char* name, const char* geometry) {
        return std::string(R"({"type": "Feature", "properties": {"NAME": ")") + name +
               R"(", "POP": 5}, "geometry": )" + geometry + "}";
    };
    WriteText(input, R"({"type": "FeatureCollection", "features": [)" +
                         feature("Alpha", R"({"type": "Polygon", "coordinates": [[[0, 0], [1, 0], [1, 1], [0, 1], [0, 0]]]})") +
                         "," + feature("Empty", "null") + "," +
                         feature("Beta", R"({"type": "Polygon", "coordinates": [[[1, 0], [2, 0], [2, 1], [1, 1], [1, 0]]]})") +
                         "," + feature("Flat", R"({"type": "Polygon", "coordinates": [[[2, 0], [3, 0], [2, 0], [2, 0]]]})") +
                         "]}");
    const std::string run = "cartogram " + input + " --field POP --output-dir " + folder.File("out");
    const CommandResult stepped = RunCli(run, folder);
    EXPECT_EQ(stepped.Exit, 1);
    EXPECT_THAT(stepped.Err, HasSubstr("The area of polygon 3 is zero, negative or not a number. Polygon 3 is "
                                       "feature 4 (Flat) of " + input + "."));
    const CommandResult converging = RunCli(run + "2 --converge", folder);
    EXPECT_EQ(converging.Exit, 0) << converging.Err;
    EXPECT_THAT(converging.Err, HasSubstr("No area can be measured for feature 4 (Flat)"));
}

// What the exported layers cannot carry is said once, naming it: a text longer than a
// shapefile's field (only when shapefiles are written) and heights (for every format).
TEST(GisOptions, TextsCutAndHeightsDroppedAreNamed)
{
    CTempDir folder;
    const std::string input = folder.File("tall.geojson");
    const std::string note(300, 'n');
    WriteText(input, R"({"type": "FeatureCollection", "features": [
        {"type": "Feature", "properties": {"SIZE": 3, "NOTE": ")" + note + R"("}, "geometry": {"type": "Polygon",
         "coordinates": [[[0, 0, 5], [1, 0, 5], [1, 1, 5], [0, 1, 5], [0, 0, 5]]]}},
        {"type": "Feature", "properties": {"SIZE": 1, "NOTE": "short"}, "geometry": {"type": "Polygon",
         "coordinates": [[[1, 0, 5], [2, 0, 5], [2, 1, 5], [1, 1, 5], [1, 0, 5]]]}}]})");
    for (const auto& [format, cut] : {std::pair{"shapefile", true}, std::pair{"geojson", false}}) {
        SCOPED_TRACE(format);
        const CommandResult result = RunCli("cartogram " + input + " --field SIZE --steps 2 --format " + format +
                                                " --output-dir " + folder.File(std::string("out_") + format),
                                            folder);
        ASSERT_EQ(result.Exit, 0) << result.Err;
        EXPECT_THAT(result.Err, HasSubstr("has heights (Z values)"));
        EXPECT_EQ(result.Err.find("The field NOTE of " + input + " holds texts longer than 254 bytes") !=
                      std::string::npos,
                  cut);
    }
}

// A shapefile of polygons with heights or measures, which the program's own reader does not take,
// is read through OGR by every command and comes out as a flat shapefile with its attributes.
TEST(GisOptions, AShapefileWithHeightsOrMeasuresIsReadThroughOgr)
{
    CTempDir folder;
    for (const std::string kind : {"POLYGONZ", "POLYGONM"}) {
        SCOPED_TRACE(kind);
        const std::string input = folder.File(kind + ".shp");
        ASSERT_TRUE(Ogr2Ogr("-dim " + std::string(kind == "POLYGONZ" ? "XYZ" : "XYM") + " -nlt " + kind + " '" + input +
                            "' '" + Examples + "us_states/us_states.shp'"));
        const std::string out = folder.File("out_" + kind);
        const CommandResult result =
            RunCli("cartogram " + input + " --field POP --steps 2 --output-dir " + out, folder);
        ASSERT_EQ(result.Exit, 0) << result.Err;
        EXPECT_THAT(result.Out + result.Err, HasSubstr("holds polygons with heights or measures"));
        const std::string info = folder.File("info_" + kind + ".txt");
        ASSERT_EQ(std::system(("ogrinfo -ro -so -al '" + out + "/" + kind + "_1.shp' > '" + info + "'").c_str()), 0);
        const std::string layer = ReadText(info);
        EXPECT_THAT(layer, HasSubstr("Geometry: Polygon"));
        EXPECT_THAT(layer, HasSubstr("Feature Count: 49"));
        EXPECT_THAT(layer, HasSubstr("POP: "));
        const CommandResult check = RunCli("check " + input, folder);
        EXPECT_THAT(check.Out, HasSubstr("49 records checked"));
    }
}

// A GeoJSON feature beyond GDAL's object-size limit (lowered here to 1 MB) is refused with the
// limit and the setting that lifts it, which GDAL's own "Failed to read GeoJSON data" leaves out.
TEST(GisOptions, AGeoJsonFeatureBeyondGdalsSizeLimitNamesTheSettingThatLiftsIt)
{
    CTempDir folder;
    const std::string big = folder.File("texas.geojson");
    ASSERT_TRUE(Ogr2Ogr("-f GeoJSON -where \"NAME='Texas'\" -segmentize 100 " + big + " " + Examples +
                        "us_states/us_states.shp"));
    ASSERT_GT(std::filesystem::file_size(big), 1u << 20);
    const CommandResult result = RunCli("info " + big, folder, "OGR_GEOJSON_MAX_OBJ_SIZE=1");
    EXPECT_EQ(result.Exit, 2) << result.Err;
    EXPECT_THAT(result.Err, HasSubstr("of at most 1 MB; OGR_GEOJSON_MAX_OBJ_SIZE=0 in the environment lifts"));
    EXPECT_EQ(RunCli("info " + big, folder, "OGR_GEOJSON_MAX_OBJ_SIZE=0").Exit, 0);
}

struct RefusalCase {
    const char* Name;
    const char* Arguments; // after "cartogram", with {dir} for the test's folder
    int Exit;
    const char* Says;
};

class GisOptionRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(GisOptionRefusal, ExitsWithItsStatusAndReason)
{
    CTempDir folder;
    ASSERT_TRUE(MakeTwoLayerPackage(folder));
    // The example without its projection file: a map of no known coordinate system.
    for (const char* ending : {".shp", ".shx", ".dbf"})
        std::filesystem::copy_file(Examples + "us_states/us_states" + ending, folder.File(std::string("bare") + ending));
    std::string arguments = GetParam().Arguments;
    for (size_t at; (at = arguments.find("{dir}")) != std::string::npos;)
        arguments.replace(at, 5, folder.Path().string());
    for (size_t at; (at = arguments.find("{examples}")) != std::string::npos;)
        arguments.replace(at, 10, Examples);
    // Into the test's folder: a refusal after the log was opened must not touch the examples.
    const CommandResult result =
        RunCli("cartogram " + arguments + " --field POP --steps 2 --output-dir " + folder.File("out"), folder);
    EXPECT_EQ(result.Exit, GetParam().Exit) << result.Err;
    EXPECT_THAT(result.Err, HasSubstr(GetParam().Says));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GisOptionRefusal,
    ::testing::Values(
        RefusalCase{"TwoLayersAndNoLayerNamed", "{dir}/two.gpkg", 2, "holds 2 layers (a, b); name the one to read."},
        RefusalCase{"ALayerForAShapefile", "{examples}us_states/us_states.shp --layer x", 2,
                    "--layer names a layer of a GeoPackage"},
        RefusalCase{"AnUnknownFormat", "{examples}us_states/us_states.shp --format kml", 2, "--format"},
        RefusalCase{"AMissingCompanion", "{examples}us_states/us_states.shp --also {dir}/none.gpkg", 2,
                    "Cannot open the layer source"},
        RefusalCase{"ACompanionOfSeveralLayers", "{examples}us_states/us_states.shp --also {dir}/two.gpkg", 2,
                    "name the one to move with the map"},
        RefusalCase{"ACompanionLayerItDoesNotHold", "{examples}us_states/us_states.shp --also {dir}/two.gpkg:c", 2,
                    "holds no layer c"},
        RefusalCase{"AProjectionOfAMapWithoutCoordinateSystem", "{dir}/bare.shp --project EPSG:5070", 1,
                    "has no projection file"}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace tessaro::test
