#include "document/LumarixDoc.h"

#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;

TestShape Line(double x0, double y0, double x1, double y1) { return TestShape{{0}, {x0, x1}, {y0, y1}}; }

class LumarixDocTest : public ::testing::Test {
protected:
    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CLumarixDoc Document;
};

TEST_F(LumarixDocTest, OpensAShapefileByItsEndingInAnyCase)
{
    const std::string shp =
        WriteShapefile(Folder.File("roads"), SHPT_ARC, {Line(0, 0, 1, 0), Line(1, 0, 1, 1), Line(1, 1, 0, 0)});
    const std::string upper = Folder.File("ROADS.SHP");
    std::filesystem::copy_file(shp, upper);
    std::filesystem::copy_file(Folder.File("roads.shx"), Folder.File("ROADS.SHX"));

    for (const std::string& path : {shp, upper}) {
        CLumarixDoc document;
        document.Network().SetKeyMode(KeyByName);
        ASSERT_TRUE(document.OnOpenDocument(path)) << path;
        EXPECT_EQ(document.Network().KeyMode(), KeyByCoordinates);
        EXPECT_EQ(document.Network().ChainCount(), 3u);
        EXPECT_EQ(document.Network().NodeCount(), 3u);
        EXPECT_EQ(document.DocumentPath, path);
    }
    // The topology pass reports its time; nothing else is said.
    EXPECT_THAT(Ui->Messages(), ::testing::Each(::testing::StartsWith("The time for adding nodes is: ")));
}

TEST_F(LumarixDocTest, RefusesUnknownEndingsAndUnreadableFiles)
{
    WriteTable(Folder.File("table.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}});
    EXPECT_FALSE(Document.OnOpenDocument(Folder.File("table.dbf")));
    EXPECT_FALSE(Document.OnOpenDocument(Folder.File("missing.shp")));
    ASSERT_EQ(Ui->Messages().size(), 2u);
    EXPECT_EQ(Ui->Messages()[0], "Unknown File Format");
    EXPECT_THAT(Ui->Messages()[1], HasSubstr("missing.shp"));
    EXPECT_EQ(Document.Network().ChainCount(), 0u);
}

TEST_F(LumarixDocTest, TheCartogramReplacesAPolygonLayerOpenedBefore)
{
    const std::string other = WriteShapefile(Folder.File("other"), SHPT_POLYGON, {Square(10, 10, 1)});
    ASSERT_TRUE(Document.OnOpenDocument(other));
    ASSERT_EQ(Document.Network().PolygonCount(), 1u);

    const std::string shp =
        WriteShapefile(Folder.File("pair"), SHPT_POLYGON, {Square(0, 0, 1), Square(1, 0, 1)});
    WriteTable(Folder.File("pair.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {3.0}});
    Document.Params.MaxSteps = 2;
    Document.Params.ThreadCount = 1;
    CCartogramJob job;
    job.ShapefilePath = shp;
    job.SizeField = "pop";
    const CartogramRunSummary& summary = Document.RunCartogram(job);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(Document.Network().PolygonCount(), 2u);
    EXPECT_EQ(Document.QuadTree().CurrentMap, 1);
    EXPECT_EQ(summary.SizeFieldRead, "POP");
    EXPECT_THAT(summary.WrittenFiles, ::testing::Contains(Folder.File("pair_1.shp")));
}

// The reader's question about a line file is asked by the document before the run, once; the
// run itself, which may go on another thread, asks nothing and takes the answer.
TEST_F(LumarixDocTest, TheCartogramAsksAboutAnotherShapeTypeBeforeTheRun)
{
    const std::string shp = WriteShapefile(Folder.File("roads"), SHPT_ARC, {Line(0, 0, 1, 0), Line(1, 0, 1, 1)});
    for (const bool yes : {false, true}) {
        Ui->ClearEntries();
        Ui->QueueAnswer(yes);
        CCartogramJob job;
        job.ShapefilePath = shp;
        job.SizeField = "POP";
        const CartogramRunSummary& summary = Document.RunCartogram(job);
        EXPECT_EQ(Ui->Questions(), std::vector<std::string>{"Are you sure that is the LINE TYPE?"});
        // No reads nothing; Yes reads the lines, which hold no polygon for a cartogram.
        EXPECT_EQ(summary.Result, yes ? CartogramRunSummary::Outcome::Refused : CartogramRunSummary::Outcome::Unreadable);
        EXPECT_THAT(summary.Refusal, HasSubstr(yes ? "holds no polygons" : "could not be read whole"));
        EXPECT_EQ(Document.Network().PolygonCount(), 0u);
    }
}

} // namespace
} // namespace tessaro::test
