// The cartogram command as the desktop program drives it, where the command line's stricter
// rules are options: a field that matches nothing still gives equal shares, and a run into the
// names another run is writing is refused with a message the window shows.
#include "document/LumarixDoc.h"
#include "document/StaleRoundFiles.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

namespace tessaro::test {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

class CartogramFaultsTest : public ::testing::Test {
protected:
    CartogramFaultsTest()
    {
        Shapefile =
            WriteShapefile(Folder.File("grid"), SHPT_POLYGON, {Square(0, 0, 1), Square(1, 0, 2), Square(3, 0, 1)});
        WriteTable(Folder.File("grid.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {2.0}, {3.0}});
        Document.Params.MaxSteps = 2;
        Document.Params.ThreadCount = 1;
    }

    const CartogramRunSummary& Run(CCartogramJob& job, const std::string& field)
    {
        job.ShapefilePath = Shapefile;
        job.SizeField = field;
        return Document.RunCartogram(job);
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    std::string Shapefile;
    CLumarixDoc Document;
};

TEST_F(CartogramFaultsTest, TheDesktopRunStillGivesEqualSharesForAFieldThatMatchesNothing)
{
    CCartogramJob job;
    const CartogramRunSummary& summary = Run(job, "INCOME");
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed) << summary.Refusal;
    EXPECT_TRUE(summary.EqualShares);
}

TEST_F(CartogramFaultsTest, ALockedInformationFileRefusesTheRunWithAMessageTheWindowShows)
{
    WriteText(Folder.File("grid_nfo.txt"), "");
    const int held = ::open(Folder.File("grid_nfo.txt").c_str(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    CCartogramJob job;
    const CartogramRunSummary& summary = Run(job, "POP");
    ::close(held);

    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_THAT(summary.Refusal, HasSubstr("Failed to create running information file. Please check.\n"));
    EXPECT_THAT(summary.Refusal, HasSubstr("another run is writing into these files"));
    EXPECT_THAT(Ui->Messages(), Contains(summary.Refusal));
    EXPECT_TRUE(summary.WrittenFiles.empty());
}

// The files a longer run left that this one did not write: named, never this run's own, never
// the input, and gone once removed.
TEST_F(CartogramFaultsTest, StaleRoundFilesAreThoseOfTheStemThisRunDidNotWrite)
{
    for (const char* name : {"grid_7.shp", "grid_7_qp.SVG", "grid_12.DBF", "grid_x.shp", "grid_7.txt", "other_7.shp"})
        WriteText(Folder.File(name), "old");
    CCartogramJob job;
    ASSERT_EQ(Run(job, "POP").Result, CartogramRunSummary::Outcome::Completed);
    const std::vector<std::string> stale = FindStaleRoundFiles(job);
    EXPECT_EQ(stale, (std::vector<std::string>{Folder.File("grid_12.DBF"), Folder.File("grid_7.shp"),
                                               Folder.File("grid_7_qp.SVG")}));
    EXPECT_TRUE(RemoveFiles(stale).empty());
    EXPECT_TRUE(FindStaleRoundFiles(job).empty());
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_1.shp")));
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_x.shp")));
}

} // namespace
} // namespace tessaro::test
