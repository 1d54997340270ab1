#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;

const std::string UsStates = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";

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

TEST(CartogramCommand, RefusalsExitNonZeroAndWriteNothing)
{
    CTempDir folder;
    WriteGrid(folder, {1, 2, -3, 4, 5, 6});
    const std::vector<std::string> before = FolderEntries(folder.Path());
    const CommandResult negative = RunCli("cartogram " + folder.File("grid.shp") + " --field POP", folder);
    EXPECT_EQ(negative.Exit, 1);
    EXPECT_THAT(negative.Err, HasSubstr("at record 3"));
    EXPECT_THAT(negative.Out, IsEmpty());

    const CommandResult notShp = RunCli("cartogram " + folder.File("grid.dbf") + " --field POP", folder);
    EXPECT_EQ(notShp.Exit, 2);
    EXPECT_THAT(notShp.Err, HasSubstr("must end in .shp"));
    const CommandResult missing = RunCli("cartogram " + folder.File("none.shp") + " --field POP", folder);
    EXPECT_EQ(missing.Exit, 2);
    const CommandResult badParams =
        RunCli("cartogram " + folder.File("grid.shp") + " --field POP --params " + folder.File("no.cartoparam"), folder);
    EXPECT_EQ(badParams.Exit, 2);
    const CommandResult badThreads = RunCli("cartogram " + folder.File("grid.shp") + " --field POP --threads 0", folder);
    EXPECT_NE(badThreads.Exit, 0);

    std::vector<std::string> after = FolderEntries(folder.Path());
    std::erase(after, "stderr.txt");
    EXPECT_EQ(after, before);
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

TEST(CartogramCommand, SaysWhenEverySizeIsEqualForWantOfTheField)
{
    CTempDir folder;
    WriteGrid(folder, {1, 2, 3, 4, 5, 6});
    const CommandResult result =
        RunCli("cartogram " + folder.File("grid.shp") + " --field INCOME --steps 2 --threads 1", folder);
    EXPECT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Err, HasSubstr("equal share"));
    EXPECT_THAT(result.Out, HasSubstr("Sizes: equal shares"));
    EXPECT_THAT(result.Out, HasSubstr("Rounds transformed: 0\n"));
}

} // namespace
} // namespace tessaro::test
