#include "engine/CartoParams.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

const std::string UsStates = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";

TEST(FieldsCommand, ListsTheNumericFieldsOfTheExampleInListOrder)
{
    CTempDir folder;
    const CommandResult result = RunCli("fields " + UsStates, folder);
    EXPECT_EQ(result.Exit, 0);
    EXPECT_EQ(result.Out, "HURRICANES\nPOP\n");
}

TEST(FieldsCommand, ReportsAMissingTableOrOneWithoutNumericFields)
{
    CTempDir folder;
    const CommandResult missing = RunCli("fields " + folder.File("nothing.shp"), folder);
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_EQ(missing.Out, "");
    EXPECT_THAT(missing.Err, HasSubstr("nothing.dbf"));

    WriteTable(folder.File("names.dbf"), {{"NAME", 'C', 10, 0}}, {{std::string("x")}});
    const CommandResult textOnly = RunCli("fields " + folder.File("names.shp"), folder);
    EXPECT_EQ(textOnly.Exit, 1);
    EXPECT_THAT(textOnly.Err, HasSubstr("no numeric field"));
}

TEST(ParamsCommand, WritesPrintsAndReadsBackTheDefaultsUnderADecimalCommaLocale)
{
    CTempDir folder;
    const std::string path = folder.File("x.cartoparam");
    const CommandResult written = RunCli("params --write " + path, folder, "LC_ALL=de_DE.UTF-8");
    ASSERT_EQ(written.Exit, 0) << written.Err;

    const std::string threads = std::to_string(std::max(1u, std::thread::hardware_concurrency()));
    const std::string expectedValues = "-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
                                       "256.000000, -1.000000\n"
                                       "0, 1, 1 \n"
                                       "4, 1, " + threads + ", 6, 0, 0, 16\n"
                                       "3, 0.333333, 3\n"
                                       "2, 0.001000\n"
                                       "\n\n\n\n# Notes: \n";
    const std::string text = ReadText(path);
    EXPECT_THAT(text, StartsWith(expectedValues));

    const CommandResult printed = RunCli("params", folder);
    EXPECT_EQ(printed.Exit, 0);
    EXPECT_EQ(printed.Out, text);

    const CommandResult read = RunCli("params --read " + path, folder, "LC_ALL=de_DE.UTF-8");
    EXPECT_EQ(read.Exit, 0);
    EXPECT_EQ(read.Out, text);
}

TEST(ParamsCommand, ShowsTheBlockAnEditedFileYields)
{
    CTempDir folder;
    const std::string path = folder.File("edited.cartoparam");
    WriteBytes(path, {'2', ',', ' ', '1', '.', '5', '\r', '\n'});
    const CommandResult read = RunCli("params --read " + path, folder);
    // The block is printed, and the lines that fell short are named.
    EXPECT_EQ(read.Exit, 1);
    EXPECT_THAT(read.Err, HasSubstr("lines 1, 2, 3, 4;"));
    // Line 1 gave the first two values; everything else kept its default.
    EXPECT_THAT(read.Out, StartsWith("2.000000, 1.500000, 6.000000, 9.000000, 10.000000, 0.010000\n256.000000"));

    const CommandResult missing = RunCli("params --read " + folder.File("none.cartoparam"), folder);
    EXPECT_EQ(missing.Exit, 2);
    EXPECT_THAT(missing.Err, HasSubstr("none.cartoparam"));
}

// --read applies the limits a run applies: a file that reads whole but that a run would refuse
// is refused here too, with the same words.
TEST(ParamsCommand, ReadRefusesWhatARunRefuses)
{
    CTempDir folder;
    const std::string base = CartoParams().FormatParamFile();
    for (const auto& [line, words] : {std::pair{"flow_grid = 7", "The flow grid is 7; it must be 0 or from 8 to 4096."},
                                      {"fold_guard = 3", "The fold guard is 3; it must be from 0 to 2."},
                                      {"target_error = 0", "The target error is 0; it must be above 0."}}) {
        SCOPED_TRACE(line);
        const std::string path = folder.File("limits.cartoparam");
        WriteText(path, base + line + "\n");
        const CommandResult read = RunCli("params --read " + path, folder);
        EXPECT_EQ(read.Exit, 1);
        EXPECT_THAT(read.Err, HasSubstr(words));
        const CommandResult run =
            RunCli("cartogram " + std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp --field POP "
                   "--output-dir " + folder.File("out") + " --params " + path,
                   folder);
        EXPECT_NE(run.Exit, 0);
        EXPECT_THAT(run.Err, HasSubstr(words));
        std::string setting = line;
        std::erase(setting, ' ');
        const CommandResult set = RunCli("cartogram " + UsStates + " --field POP --output-dir " + folder.File("out") +
                                             " --set " + setting,
                                         folder);
        EXPECT_EQ(set.Exit, 2);
        EXPECT_THAT(set.Err, HasSubstr(words));
    }
}

// The parameters the command line lists are the ones --set takes, and a value set there is the
// run's: two steps export rounds 0 and 1 and nothing after.
TEST(ParamsCommand, ListedParametersAreTheOnesARunTakesFromSet)
{
    CTempDir folder;
    const CommandResult list = RunCli("params --list", folder);
    ASSERT_EQ(list.Exit, 0);
    EXPECT_THAT(list.Out, HasSubstr("\nflow_grid "));
    EXPECT_THAT(list.Out, HasSubstr("0 or from 8 to 4096"));
    EXPECT_THAT(list.Out, HasSubstr("\ntree_depth "));

    const CommandResult run = RunCli("cartogram " + UsStates + " --field POP --set max_steps=2 --set export_every=1 "
                                     "--output-dir " + folder.File("out"),
                                     folder);
    ASSERT_EQ(run.Exit, 0) << run.Err;
    EXPECT_TRUE(std::filesystem::exists(folder.File("out/us_states_1.shp")));
    EXPECT_FALSE(std::filesystem::exists(folder.File("out/us_states_2.shp")));

    for (const char* bad : {"no_such=1", "tree_depth", "tree_depth=deep", "square_full_tree=2"}) {
        const CommandResult refused =
            RunCli("cartogram " + UsStates + " --field POP --output-dir " + folder.File("bad") + " --set " + bad, folder);
        EXPECT_EQ(refused.Exit, 2) << bad;
        EXPECT_THAT(refused.Err, HasSubstr(std::string("--set ") + bad)) << bad;
        EXPECT_FALSE(std::filesystem::exists(folder.File("bad"))) << bad;
    }
}

} // namespace
} // namespace tessaro::test
