#include "document/ShapefileSummary.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/ShpBytes.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Contents = ShapefileSummary::Contents;

TEST(ShapefileSummary, SaysWhatEachKindOfFileGaveAndWhetherItWasReadWhole)
{
    CTempDir folder;
    CShpBytes(1).AddPoint(0, 0).AddPoint(1, 2).AddPoint(3, 1).Save(folder.File("points.shp"));
    CShpBytes(8).Save(folder.File("multi.shp"));
    CShpBytes(1).AddPoint(0, 0).AddNull().Save(folder.File("broken.shp"));

    struct Case {
        const char* File;
        bool AsPolygonInput;
        Contents Received;
        int32_t Records;
        uint64_t Points;
        bool Whole;
        const char* Said;
    };
    const Case cases[] = {
        {"points.shp", false, Contents::Points, 3, 3, true, nullptr},
        // Declining the question reads nothing: a summary, but not of the file's contents.
        {"points.shp", true, Contents::Nothing, 0, 0, false, "Are you sure that is the POINT TYPE?"},
        {"multi.shp", false, Contents::Nothing, 0, 0, false, "Are you sure that is the MultiPoint TYPE?"},
        // A damaged record loses the whole point layer, which is handed over only complete.
        {"broken.shp", false, Contents::Points, 1, 0, false, "Error! The data is not POINT type!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.File) + (c.AsPolygonInput ? " as polygons" : ""));
        CScopedRecordingUserInterface ui;
        const std::optional<ShapefileSummary> summary = SummariseShapefile(folder.File(c.File), c.AsPolygonInput);
        ASSERT_TRUE(summary.has_value());
        EXPECT_EQ(summary->Received, c.Received);
        EXPECT_EQ(summary->RecordsRead, c.Records);
        EXPECT_EQ(summary->Points, c.Points);
        EXPECT_EQ(summary->Whole, c.Whole);
        if (c.Said != nullptr)
            EXPECT_THAT(ui->Entries(), ElementsAre(::testing::Field(&CRecordingUserInterface::Entry::Text, c.Said)));
        else
            EXPECT_TRUE(ui->Entries().empty());
        EXPECT_EQ(ui->WaitCount(), 1);
        EXPECT_EQ(ui->WaitDepth(), 0);
    }
}

TEST(ShapefileSummary, AFileThatCannotBeOpenedGivesNoSummaryAndEndsTheWaitIndicator)
{
    CTempDir folder;
    CScopedRecordingUserInterface ui;
    EXPECT_FALSE(SummariseShapefile(folder.File("none.shp"), false).has_value());
    using Entry = CRecordingUserInterface::Entry;
    EXPECT_THAT(ui->Entries(), ElementsAre(::testing::AllOf(
                                   ::testing::Field(&Entry::Kind, CRecordingUserInterface::EntryKind::Error),
                                   ::testing::Field(&Entry::Text, HasSubstr("none.shp")))));
    EXPECT_EQ(ui->WaitCount(), 1);
    EXPECT_EQ(ui->WaitDepth(), 0);
}

} // namespace
} // namespace tessaro::test
