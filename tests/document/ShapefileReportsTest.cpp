// The two reports on a shapefile the commands give without opening it as the document: the
// summary of what it holds and the check of its polygons.
#include "document/ShapefileCheck.h"
#include "document/ShapefileSummary.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShpBytes.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tessaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::Field;
using ::testing::HasSubstr;
using Entry = CRecordingUserInterface::Entry;
using Contents = ShapefileSummary::Contents;

const std::vector<double> OpenRing = {5, 0, 5, 1, 6, 1, 6, 0};

// The summary reads under the wait indicator, ended on every way out; a file that cannot be
// opened gives none.
TEST(ShapefileSummary, SaysWhatEachKindOfFileGaveAndWhetherItWasReadWhole)
{
    CTempDir folder;
    CShpBytes(1).AddPoint(0, 0).AddPoint(1, 2).AddPoint(3, 1).Save(folder.File("points.shp"));
    CShpBytes(8).Save(folder.File("multi.shp"));
    CShpBytes(1).AddPoint(0, 0).AddNull().Save(folder.File("broken.shp"));
    const struct {
        const char* File;
        bool AsPolygonInput;
        std::optional<Contents> Received; // none: no summary
        int32_t Records;
        uint64_t Points;
        bool Whole;
        const char* Said;
    } cases[] = {
        {"points.shp", false, Contents::Points, 3, 3, true, nullptr},
        // Declining the question reads nothing: a summary, but not of the file's contents.
        {"points.shp", true, Contents::Nothing, 0, 0, false, "Are you sure that is the POINT TYPE?"},
        {"multi.shp", false, Contents::Nothing, 0, 0, false, "Are you sure that is the MultiPoint TYPE?"},
        // A damaged record loses the whole point layer, which is handed over only complete.
        {"broken.shp", false, Contents::Points, 1, 0, false, "Error! The data is not POINT type!"},
        {"none.shp", false, std::nullopt, 0, 0, false, "none.shp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.File) + (c.AsPolygonInput ? " as polygons" : ""));
        CScopedRecordingUserInterface ui;
        const std::optional<ShapefileSummary> summary = SummariseShapefile(folder.File(c.File), c.AsPolygonInput);
        ASSERT_EQ(summary.has_value(), c.Received.has_value());
        if (summary) {
            EXPECT_EQ(summary->Received, *c.Received);
            EXPECT_EQ(summary->RecordsRead, c.Records);
            EXPECT_EQ(summary->Points, c.Points);
            EXPECT_EQ(summary->Whole, c.Whole);
        }
        if (c.Said != nullptr)
            EXPECT_THAT(ui->Entries(), ElementsAre(Field(&Entry::Text, HasSubstr(c.Said))));
        else
            EXPECT_TRUE(ui->Entries().empty());
        EXPECT_EQ(ui->WaitCount(), 1);
        EXPECT_EQ(ui->WaitDepth(), 0);
    }
}

TEST(ShapefileCheck, LabelsRecordsByNumberAndNameWhereTheTableHasARow)
{
    CTempDir folder;
    CShpBytes shapes(5);
    shapes.AddParted(5, {0, 5}, {10, 0, 10, 3, 13, 3, 13, 0, 10, 0, 20, 0, 20, 1, 21, 0, 21, 1, 20, 0})
        .AddParted(5, {0}, OpenRing)
        .AddParted(5, {0}, OpenRing);
    shapes.Save(folder.File("map.shp"));
    WriteTable(folder.File("map.dbf"), {{"POP", 'N', 9, 0}, {"STATE_NAME", 'C', 20, 0}},
               {{TestCell{1.0}, TestCell{std::string("Alpha")}}, {TestCell{2.0}, TestCell{std::string("Beta")}}});

    CScopedRecordingUserInterface ui;
    const std::optional<ShapefileCheck> check = CheckPolygonShapefile(folder.File("map.shp"), false);
    ASSERT_TRUE(check.has_value());
    EXPECT_TRUE(check->Whole);
    EXPECT_EQ(check->RecordsChecked, 3);
    const auto place = [](const ShapefileCheck::Finding& f) { return std::make_tuple(f.Record, f.OtherRecord, f.Ring, f.KindName); };
    ASSERT_EQ(check->Findings.size(), 3u);
    EXPECT_EQ(place(check->Findings[0]), std::make_tuple("1 (Alpha)", "", 2, "self-intersection"));
    EXPECT_EQ(place(check->Findings[1]), std::make_tuple("2 (Beta)", "", 1, "not closed"));
    EXPECT_EQ(place(check->Findings[2]), std::make_tuple("3", "", 1, "not closed"));
    // Counted in the order of the kinds, not of the findings.
    EXPECT_THAT(check->CountsByKind, ElementsAre(::testing::Pair("not closed", 2u), ::testing::Pair("self-intersection", 1u)));
    EXPECT_THAT(ui->Messages(), ElementsAre("The table " + folder.File("map.dbf") +
                                            " has 2 records for 3 shapes; names are shown where it has a row."));
}

// Another type is refused from its header, before the reader would ask whether to read it
// anyway; a header the reader refuses is left to the reader's own words.
TEST(ShapefileCheck, RefusesOtherTypesWithoutAQuestionAndDamagedHeadersInTheReadersWords)
{
    CTempDir folder;
    CShpBytes(1).AddPoint(0, 0).Save(folder.File("points.shp"));
    std::vector<unsigned char> lines = CShpBytes(3).AddParted(3, {0}, {0, 0, 1, 1}).Bytes();
    PutInt32LittleEndian(lines, 28, 999);
    WriteBytes(folder.File("lines.shp"), lines);
    const std::pair<const char*, std::string> cases[] = {
        {"points.shp", folder.File("points.shp") + " is not a polygon shapefile: its shape type is 1 (Point). The "
                                                   "check reads polygon shapefiles (type 5) only."},
        {"lines.shp", "Error! The inappropriate version!"},
    };
    for (const auto& [file, said] : cases) {
        SCOPED_TRACE(file);
        CScopedRecordingUserInterface ui;
        EXPECT_FALSE(CheckPolygonShapefile(folder.File(file), true).has_value());
        EXPECT_THAT(ui->Entries(), ElementsAre(Field(&Entry::Text, said)));
    }
}

} // namespace
} // namespace tessaro::test
