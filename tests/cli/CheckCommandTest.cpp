#include "cli/CheckCommand.h"

#include "platform/RecordingUserInterface.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/ShpBytes.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

const std::vector<double> GoodSquare = {0, 0, 0, 2, 2, 2, 2, 0, 0, 0};

// A table whose name field is found by its name containing NAME, beside a numeric field.
void WriteNames(const CTempDir& folder, const std::string& base, const std::vector<std::string>& names)
{
    std::vector<std::vector<TestCell>> rows;
    for (const std::string& name : names)
        rows.push_back({TestCell{1.0}, TestCell{name}});
    WriteTable(folder.File(base + ".dbf"), {{"POP", 'N', 9, 0}, {"STATE_NAME", 'C', 20, 0}}, rows);
}

TEST(CheckCommandExecutable, ListsFindingsByRecordNumberAndName)
{
    CTempDir folder;
    CShpBytes shapes(5);
    shapes.AddParted(5, {0}, GoodSquare)                                // 1: sound
        .AddParted(5, {0}, {5, 0, 5, 1, 6, 1, 6, 0})                    // 2: open
        .AddParted(5, {0, 5}, {10, 0, 10, 3, 13, 3, 13, 0, 10, 0,       // 3: ring 2 a bow-tie
                               20, 0, 20, 1, 21, 0, 21, 1, 20, 0})
        .AddParted(5, {0}, {1, 1, 1, 3, 3, 3, 3, 1, 1, 1});             // 4: overlaps 1
    shapes.Save(folder.File("map.shp"));
    WriteNames(folder, "map", {"Alpha", "Beta", "Gamma", "Delta"});

    const CommandResult plain = RunCli("check " + folder.File("map.shp"), folder);
    EXPECT_EQ(plain.Exit, 1);
    EXPECT_THAT(plain.Out, HasSubstr("Record 2 (Beta), ring 1: not closed: "));
    EXPECT_THAT(plain.Out, HasSubstr("Record 3 (Gamma), ring 2: self-intersection: "));
    EXPECT_THAT(plain.Out, Not(HasSubstr("Record 1 ")));
    EXPECT_THAT(plain.Out, Not(HasSubstr("overlap:")));
    EXPECT_THAT(plain.Out, HasSubstr("Summary: 4 records checked"));
    EXPECT_THAT(plain.Out, HasSubstr("2 findings: 1 not closed, 1 self-intersection"));
    EXPECT_EQ(plain.Err, "");

    const CommandResult overlaps = RunCli("check --overlaps " + folder.File("map.shp"), folder);
    EXPECT_EQ(overlaps.Exit, 1);
    EXPECT_THAT(overlaps.Out, HasSubstr("Record 1 (Alpha), record 4 (Delta): overlap: "));
    EXPECT_THAT(overlaps.Out, HasSubstr("3 findings"));
}

TEST(CheckCommandExecutable, CleanFilesPassAndAFileReadInPartExitsWithTwo)
{
    CTempDir folder;
    // Squares sharing an edge are neighbours, not an overlap; without a table there are no names.
    const std::string clean = WriteShapefile(folder.File("clean"), SHPT_POLYGON, {Square(0, 0, 1), Square(1, 0, 1)});
    const CommandResult ok = RunCli("check --overlaps " + clean, folder);
    EXPECT_EQ(ok.Exit, 0);
    EXPECT_THAT(ok.Out, HasSubstr("Summary: 2 records checked (numbered from 1 in file order), no findings."));
    EXPECT_EQ(ok.Err, "");

    // A null shape stops the reading: what was read is checked, but the file is not passed.
    CShpBytes damaged(5);
    damaged.AddParted(5, {0}, GoodSquare).AddNull().AddParted(5, {0}, GoodSquare);
    damaged.Save(folder.File("damaged.shp"));
    const CommandResult partial = RunCli("check " + folder.File("damaged.shp"), folder);
    EXPECT_EQ(partial.Exit, 2);
    EXPECT_THAT(partial.Out, HasSubstr("reading stopped at record 2"));
    EXPECT_THAT(partial.Out, HasSubstr("1 record checked"));
    EXPECT_THAT(partial.Err, HasSubstr("Error! The data is not POLYGON type!"));
}

// Two triangles far out (x = 1e300) with finite coordinates and area: their centroids overflow
// a double, so the cartogram cannot measure them, and `check` says so instead of passing them.
TEST(CheckCommandExecutable, AgreesWithTheCartogramOnCoordinatesTooLargeToMeasure)
{
    CTempDir folder;
    const double x = 1e300;
    const std::string shp = WriteShapefile(
        folder.File("far"), SHPT_POLYGON,
        {TestShape{{0}, {x, x, x * (1 + 1e-10), x}, {0, 1, 0, 0}},
         TestShape{{0}, {x * (1 + 2e-10), x * (1 + 2e-10), x * (1 + 4e-10), x * (1 + 2e-10)}, {0, 1, 0, 0}}});
    WriteNames(folder, "far", {"Alpha", "Beta"});

    const CommandResult check = RunCli("check " + shp, folder);
    EXPECT_EQ(check.Exit, 1);
    EXPECT_THAT(check.Out, HasSubstr("Record 1 (Alpha), ring 1: invalid coordinate: "));
    EXPECT_THAT(check.Out, HasSubstr("2 findings: 2 invalid coordinate"));
    const CommandResult run = RunCli("cartogram " + shp + " --field POP --threads 1", folder);
    EXPECT_EQ(run.Exit, 1);
    EXPECT_THAT(run.Err, HasSubstr("error: "));
}

TEST(CheckCommand, FindsTheKnownFaultsOfTheExample)
{
    // Delaware's first ring is a there-and-back of three points; Oregon's outer ring runs out to
    // a point and straight back along the same edge.
    CScopedRecordingUserInterface ui;
    std::ostringstream out;
    const std::string states = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states.shp";
    EXPECT_EQ(RunCheckCommand({states, true, ""}, out), CheckFindings);
    EXPECT_THAT(out.str(), HasSubstr("Record 7 (Delaware), ring 1: too few points: "));
    EXPECT_THAT(out.str(), HasSubstr("Record 36 (Oregon), ring 1: self-intersection: "));
    EXPECT_THAT(out.str(), HasSubstr("49 records checked"));
    EXPECT_TRUE(ui->Messages().empty());
}

} // namespace
} // namespace tessaro::test
