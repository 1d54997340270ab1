#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <filesystem>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string UsStates = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";
const std::string Catalogue = std::string(TESSARO_SOURCE_DIR) + "/tests/data/corrupt/";

// Six unit squares with a size column; `values` gives one size per square.
std::string WriteGrid(const CTempDir& folder, const std::vector<double>& values)
{
    std::vector<TestShape> shapes;
    for (int k = 0; k < 6; ++k)
        shapes.push_back(Square(k % 3, k / 3, 1.0));
    const std::string shp = WriteShapefile(folder.File("grid"), SHPT_POLYGON, shapes);
    std::vector<std::vector<TestCell>> rows;
    for (double value : values)
        rows.push_back({value});
    WriteTable(folder.File("grid.dbf"), {{"POP", 'N', 10, 0}}, rows);
    return shp;
}

TEST(CartogramCommand, MakesTheExampleCartogramInTheOutputFolder)
{
    CTempDir folder;
    const std::string out = folder.File("out/nested");
    const CommandResult result =
        RunCli("cartogram " + UsStates + " --field POP --threads 2 --svg --output-dir " + out, folder);
    ASSERT_EQ(result.Exit, 0) << result.Err;
    // One progress line per transformation round, on standard error.
    for (int r = 0; r < 4; ++r)
        EXPECT_THAT(result.Err, HasSubstr("round " + std::to_string(r) + ": weighted mean error 0."));
    EXPECT_THAT(result.Out, HasSubstr("Rounds transformed: 4\n"));
    EXPECT_THAT(result.Out, HasSubstr("Sizes: field POP\n"));
    EXPECT_THAT(result.Out, HasSubstr(out + "/us_states_3_qp.emf\n"));
    for (const char* name : {"us_states_nfo.txt", "us_states_3.shp", "us_states_3.shx", "us_states_3_qp.svg"})
        EXPECT_TRUE(std::filesystem::exists(out + "/" + name)) << name;

    // The summary's errors: the final one is below round 0's.
    const std::string marker = "Weighted mean error: ";
    const size_t at = result.Out.find(marker);
    ASSERT_NE(at, std::string::npos);
    const double first = std::stod(result.Out.substr(at + marker.size()));
    const double last = std::stod(result.Out.substr(result.Out.find(", ", at) + 2));
    EXPECT_LT(last, first);
}

TEST(CartogramCommand, AnOutputThatIsAnInputUnderAnotherNameIsRefused)
{
    CTempDir folder;
    WriteGrid(folder, {1, 2, 3, 4, 5, 6});
    std::filesystem::create_directory(folder.File("out"));
    std::filesystem::create_hard_link(folder.File("grid.dbf"), folder.File("out/grid_1.dbf"));
    std::filesystem::create_symlink(folder.File("grid.shp"), folder.File("out/grid_0.shp"));
    const std::vector<unsigned char> table = ReadBytes(folder.File("grid.dbf"));
    const std::vector<unsigned char> shapes = ReadBytes(folder.File("grid.shp"));

    const CommandResult result =
        RunCli("cartogram " + folder.File("grid.shp") + " --field POP --output-dir " + folder.File("out"), folder);
    EXPECT_EQ(result.Exit, 1);
    EXPECT_THAT(result.Err, HasSubstr("would overwrite the input file"));
    EXPECT_EQ(ReadBytes(folder.File("grid.dbf")), table);
    EXPECT_EQ(ReadBytes(folder.File("grid.shp")), shapes);
    EXPECT_EQ(FolderEntries(folder.File("out")).size(), 2u);
}

// A field name that matches no numeric field is a mistake to report, with the fields there are;
// equal shares only when asked for. Without a table there is no field either, and with equal
// shares asked for, a run without a table completes and no table copy is missing.
TEST(CartogramCommand, EqualSharesOnlyWhenAskedForAndAnUnknownFieldListsTheNumericOnes)
{
    CTempDir folder;
    std::vector<TestShape> shapes{Square(0, 0, 1), Square(1, 0, 2), Square(3, 0, 1)};
    const std::string shp = WriteShapefile(folder.File("grid"), SHPT_POLYGON, shapes);
    WriteTable(folder.File("grid.dbf"), {{"NAME", 'C', 8, 0}, {"POP", 'N', 10, 0}, {"AREA", 'N', 10, 0}},
               {{std::string("a"), 1.0, 1.0}, {std::string("b"), 2.0, 4.0}, {std::string("c"), 3.0, 1.0}});
    std::filesystem::create_directory(folder.File("bare"));
    const std::string bare = WriteShapefile(folder.File("bare/grid"), SHPT_POLYGON, shapes);
    const std::string out = " --steps 2 --threads 1 --output-dir " + folder.File("out");

    const CommandResult typo = RunCli("cartogram " + shp + " --field POPP" + out, folder);
    EXPECT_EQ(typo.Exit, 1);
    EXPECT_THAT(typo.Err, HasSubstr("No numeric field matches POPP"));
    EXPECT_THAT(typo.Err, HasSubstr("the numeric fields are AREA, POP"));
    EXPECT_THAT(typo.Out, IsEmpty());
    const CommandResult noTable = RunCli("cartogram " + bare + " --field POP" + out, folder);
    EXPECT_EQ(noTable.Exit, 1);
    EXPECT_THAT(noTable.Err, HasSubstr("no attribute table"));
    EXPECT_FALSE(std::filesystem::exists(folder.File("out/grid_nfo.txt")));

    const CommandResult asked = RunCli("cartogram " + shp + " --field POPP --equal-shares" + out, folder);
    EXPECT_EQ(asked.Exit, 0) << asked.Err;
    EXPECT_THAT(asked.Err, HasSubstr("equal share"));
    EXPECT_THAT(asked.Out, HasSubstr("Sizes: equal shares"));
    const CommandResult bareRun = RunCli("cartogram " + bare + " --equal-shares" + out + "2", folder);
    EXPECT_EQ(bareRun.Exit, 0) << bareRun.Err;
    EXPECT_THAT(bareRun.Out, HasSubstr("Files written: 10\n"));
    EXPECT_THAT(bareRun.Out, ::testing::Not(HasSubstr(".dbf")));
}

// The catalogue's table with an empty value, the dBase null and text at records 2 to 4: missing
// sizes, which the run refuses (the catalogue's case) unless --missing=small gives them the small
// stand-in that 0 would get.
TEST(CartogramCommand, MissingSizesAreMadeSmallOnlyWhenAskedFor)
{
    CTempDir folder;
    for (const char* ending : {".shp", ".dbf"})
        std::filesystem::copy_file(Catalogue + "dbf_missing_sizes" + ending, folder.File(std::string("grid") + ending));
    const std::string run = "cartogram " + folder.File("grid.shp") + " --field POP --steps 2 --threads 1 --output-dir " +
                            folder.File("out");
    const CommandResult small = RunCli(run + " --missing=small", folder);
    EXPECT_EQ(small.Exit, 0) << small.Err;
    EXPECT_THAT(small.Err, HasSubstr("is missing at records 2, 3, 4"));
    EXPECT_THAT(small.Err, HasSubstr("given the size 1,"));
    EXPECT_NE(RunCli(run + " --missing=zero", folder).Exit, 0);
}

// A map in degrees gives areas in square degrees, which are not equal-area: said once, naming
// the projection file. A projected map says nothing of the kind.
TEST(CartogramCommand, WarnsOnceThatAGeographicMapIsNotEqualArea)
{
    CTempDir folder;
    const std::string shp = WriteGrid(folder, {1, 2, 3, 4, 5, 6});
    const std::string run = "cartogram " + shp + " --field POP --steps 2 --threads 1";
    WriteText(folder.File("grid.prj"),
              "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
              "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    const CommandResult geographic = RunCli(run, folder);
    EXPECT_EQ(geographic.Exit, 0) << geographic.Err;
    const std::string warning = "warning: The projection file " + folder.File("grid.prj") + " gives geographic";
    EXPECT_THAT(geographic.Err, HasSubstr(warning));
    EXPECT_EQ(geographic.Err.find(warning), geographic.Err.rfind(warning));
    EXPECT_THAT(geographic.Err, HasSubstr("Reproject the map to an equal-area projection"));

    std::filesystem::copy_file(std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.prj",
                               folder.File("grid.prj"), std::filesystem::copy_options::overwrite_existing);
    const CommandResult projected = RunCli(run, folder);
    EXPECT_EQ(projected.Exit, 0) << projected.Err;
    EXPECT_THAT(projected.Err, ::testing::Not(HasSubstr("geographic")));
}

// The catalogue's record of 1990 squares 0.00025 wide, beside a larger polygon: the
// near-duplicate tolerance (0.001) exceeds every square, yet no ring may collapse. Every ring of
// every export keeps at least 4 points, as shapelib reads them back.
TEST(CartogramCommand, TinyRingsAreKeptWholeAndEveryExportedRingIsARing)
{
    CTempDir folder;
    for (const char* ending : {".shp", ".dbf"})
        std::filesystem::copy_file(Catalogue + "tiny_rings" + ending, folder.File(std::string("tiny") + ending));
    const std::string shp = folder.File("tiny.shp");
    const CommandResult run =
        RunCli("cartogram " + shp + " --field POP --steps 2 --threads 1 --output-dir " + folder.File("out"), folder);
    EXPECT_EQ(run.Exit, 0) << run.Err;
    for (const char* round : {"out/tiny_0.shp", "out/tiny_1.shp"}) {
        const std::vector<ShapelibShape> shapes = ReadWithShapelib(folder.File(round));
        ASSERT_EQ(shapes.size(), 2u) << round;
        EXPECT_EQ(shapes[0].PartStarts.size(), 1990u) << round;
        for (const ShapelibShape& shape : shapes)
            for (size_t part = 0; part < shape.PartStarts.size(); ++part) {
                const size_t end = part + 1 < shape.PartStarts.size() ? shape.PartStarts[part + 1] : shape.X.size();
                ASSERT_GE(end - shape.PartStarts[part], 4u) << round << " part " << part;
            }
    }
}

// Thread counts of 0 or below run single-threaded and a minimum tree depth above the depth is
// taken as the depth, as the run always treats them; only values that would overwhelm the
// machine are refused.
TEST(CartogramCommand, ParameterFilesAreRefusedOnlyForValuesBeyondTheMachine)
{
    CTempDir folder;
    const std::string shp = WriteGrid(folder, {1, 2, 3, 4, 5, 6});
    const struct {
        const char* Line4;
        const char* Line5;
        int Exit;
        const char* Text;
    } cases[] = {
        {"4, 1, 0, 6, 0, 0, 16", "3, 0.333333, 3", 0, "minTreeDepth: 3"},
        {"4, 1, 1, 6, 0, 0, 16", "40, 0.333333, 3", 0, "treeDepth: 6, minTreeDepth: 6"},
        {"4, 1, 1025, 6, 0, 0, 16", "3, 0.333333, 3", 2, "The thread count is 1025; it must be at most 1024."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.Line4) + " / " + c.Line5);
        const std::string params = folder.File("p.cartoparam");
        WriteText(params, std::string("-1, 1.05, 6, 9, 10, 0.01\n256, -1\n0, 1, 1\n") + c.Line4 + "\n" + c.Line5 +
                              "\n2, 0.001\n");
        std::filesystem::remove_all(folder.File("out"));
        const CommandResult run = RunCli(
            "cartogram " + shp + " --field POP --params " + params + " --output-dir " + folder.File("out"), folder);
        EXPECT_EQ(run.Exit, c.Exit) << run.Err;
        EXPECT_THAT(c.Exit == 0 ? ReadText(folder.File("out/grid_nfo.txt")) : run.Err, HasSubstr(c.Text));
    }
}

// The names of the round files in a folder, in order.
std::vector<std::string> RoundFiles(const std::string& folder, const std::string& stem)
{
    std::vector<std::string> names = FolderEntries(folder);
    std::erase_if(names,
                  [&](const std::string& name) { return !name.starts_with(stem + "_") || name.ends_with("_nfo.txt"); });
    return names;
}

// Six equal squares of equal sizes need no round: the run says so rather than ending with no file
// and no word of why.
TEST(CartogramCommand, AMapAlreadyAtItsSizesSaysWhyNoRoundFileWasWritten)
{
    CTempDir folder;
    const std::string shp = WriteGrid(folder, {5, 5, 5, 5, 5, 5});
    const CommandResult result = RunCli("cartogram " + shp + " --field POP --output-dir " + folder.File("out"), folder);
    EXPECT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Out, HasSubstr("Files written: 0"));
    EXPECT_THAT(result.Err, HasSubstr("The map already has the areas its sizes ask for"));
}

// A shorter run into a folder of a longer one's files names the files it did not write, which
// --clean removes; the information file keeps both runs.
TEST(CartogramCommand, FilesOfAnEarlierLongerRunAreListedAndRemovedOnlyWithClean)
{
    CTempDir folder;
    const std::string shp = WriteGrid(folder, {1, 2, 3, 4, 5, 6});
    const std::string out = folder.File("out");
    const std::string common = "cartogram " + shp + " --field POP --threads 1 --output-dir " + out;
    WriteText(folder.File("long.cartoparam"), "-1, 1.05, 6, 9, 10, 0.01\n256, -1\n0, 0, 1\n6, 1, 1, 6, 0, 0, 16\n"
                                              "3, 0.333333, 3\n2, 0.000001\n");
    ASSERT_EQ(RunCli(common + " --params " + folder.File("long.cartoparam"), folder).Exit, 0);
    const std::vector<std::string> longRun = RoundFiles(out, "grid");
    ASSERT_GT(longRun.size(), 15u) << "the long run stopped early";

    const CommandResult shorter = RunCli(common + " --steps 2", folder);
    EXPECT_EQ(shorter.Exit, 0) << shorter.Err;
    const size_t stale = longRun.size() - 12; // two rounds of shapefile, index, three pictures, table
    EXPECT_THAT(shorter.Err, HasSubstr(std::to_string(stale) + " files of an earlier run"));
    EXPECT_THAT(shorter.Err, HasSubstr(out + "/grid_2.shp"));
    EXPECT_THAT(shorter.Err, HasSubstr("--clean"));
    EXPECT_EQ(RoundFiles(out, "grid"), longRun);

    const CommandResult cleaned = RunCli(common + " --steps 2 --clean", folder);
    EXPECT_EQ(cleaned.Exit, 0) << cleaned.Err;
    EXPECT_THAT(cleaned.Out, HasSubstr("Removed " + std::to_string(stale) + " files of an earlier run"));
    const std::vector<std::string> left = RoundFiles(out, "grid");
    EXPECT_EQ(left.size(), 12u);
    EXPECT_TRUE(std::all_of(left.begin(), left.end(), [](const std::string& name) {
        return name.starts_with("grid_0") || name.starts_with("grid_1");
    }));
    EXPECT_TRUE(std::filesystem::exists(folder.File("grid.dbf")));
}

} // namespace
} // namespace tessaro::test
