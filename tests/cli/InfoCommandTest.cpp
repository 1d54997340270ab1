#include "cli/InfoCommand.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/ShpBytes.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;

const std::string UsStates = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";

TEST(InfoCommand, SummarisesThePolygonExample)
{
    CScopedRecordingUserInterface ui;
    std::ostringstream out;
    EXPECT_EQ(RunInfoCommand({UsStates, false, ""}, out), InfoComplete);
    const std::string text = out.str();
    EXPECT_THAT(text, HasSubstr("Shape type:     5 (Polygon)\n"));
    EXPECT_THAT(text, HasSubstr("Records:        49\n"));
    EXPECT_THAT(text, HasSubstr("Polygons:       49\n"));
    EXPECT_THAT(text, HasSubstr("Rings:          140\n"));
    EXPECT_THAT(text, HasSubstr("Vertices:       9866\n"));
    EXPECT_THAT(text, HasSubstr("Extent:         -"));
    // The wait indicator was shown for the read and ended with it.
    EXPECT_EQ(ui->WaitCount(), 1);
    EXPECT_EQ(ui->WaitDepth(), 0);
}

TEST(InfoCommand, ExitStatusTellsCompletePartialAndUnreadableApart)
{
    CScopedRecordingUserInterface ui;
    CTempDir folder;
    std::ostringstream out;

    EXPECT_EQ(RunInfoCommand({folder.File("missing.shp"), false, ""}, out), InfoUnreadable);
    EXPECT_THAT(ui->Messages().back(), HasSubstr("missing.shp"));

    std::vector<unsigned char> wrongCode = CShpBytes(5).Bytes();
    PutInt32BigEndian(wrongCode, 0, 1);
    WriteBytes(folder.File("code.shp"), wrongCode);
    EXPECT_EQ(RunInfoCommand({folder.File("code.shp"), false, ""}, out), InfoUnreadable);

    CShpBytes damaged(5);
    damaged.AddParted(5, {0}, {0, 0, 0, 1, 1, 1, 1, 0, 0, 0}).AddNull();
    damaged.Save(folder.File("damaged.shp"));
    std::ostringstream partial;
    EXPECT_EQ(RunInfoCommand({folder.File("damaged.shp"), false, ""}, partial), InfoIncomplete);
    EXPECT_THAT(partial.str(), HasSubstr("Polygons:       1\n"));
}

TEST(InfoCommandExecutable, PrintsTheSummaryAndReadsALineFileAsPolygonsOnlyWhenConfirmed)
{
    CTempDir folder;
    const CommandResult ok = RunCli("info " + UsStates, folder);
    EXPECT_EQ(ok.Exit, 0);
    EXPECT_THAT(ok.Out, HasSubstr("Polygons:       49\n"));
    EXPECT_EQ(ok.Err, "");

    // A line file read as polygons is read only when the question is answered yes.
    const std::string lines = WriteShapefile(folder.File("lines"), SHPT_ARC, {TestShape{{0}, {0, 1}, {0, 1}}});

    const CommandResult declined = RunCli("info --polygons " + lines, folder);
    EXPECT_EQ(declined.Exit, 1);
    EXPECT_THAT(declined.Err, HasSubstr("Are you sure that is the LINE TYPE?"));
    EXPECT_THAT(declined.Out, HasSubstr("Nothing was read."));

    const CommandResult accepted = RunCli("--yes info --polygons " + lines, folder);
    EXPECT_EQ(accepted.Exit, 0);
    EXPECT_THAT(accepted.Out, HasSubstr("Chains:         1\n"));
    EXPECT_THAT(accepted.Out, HasSubstr("Nodes:          2\n"));
    EXPECT_THAT(accepted.Out, HasSubstr("Topology time:  "));
}

} // namespace
} // namespace tessaro::test
