#include "run/CartogramJob.h"

#include "run/RunLog.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <functional>

namespace tessaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// A 3 x 2 grid of unit squares (clockwise rings) with a POP column.
class CartogramJobTest : public ::testing::Test {
protected:
    std::string MakeGrid(const std::vector<double>& populations)
    {
        std::vector<TestShape> shapes;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column)
                shapes.push_back(Square(column, row, 1.0));
        std::vector<std::vector<TestCell>> rows;
        for (double population : populations)
            rows.push_back({population});
        WriteTable(Folder.File("grid.dbf"), {{"POP", 'N', 10, 0}}, rows);
        return WriteShapefile(Folder.File("grid"), SHPT_POLYGON, shapes);
    }

    // Runs a job and keeps what it hands over, as the document would.
    const CartogramRunSummary& RunJob(const std::string& shp, const CartoParams& params)
    {
        Job = std::make_unique<CCartogramJob>();
        Job->ShapefilePath = shp;
        Job->SizeField = "pop";
        Job->Params = params;
        Job->Run();
        Layer = Job->TakeLayer();
        return Job->Summary;
    }

    double Area(uint32_t i) const
    {
        double value = 0.0;
        CPoint2D centroid;
        Layer->Polygon(i).AreaAndCentroid(&centroid, &value);
        return value;
    }

    static CartoParams Params(int maxSteps)
    {
        CartoParams params;
        params.MaxSteps = maxSteps;
        params.ExportEvery = 1;
        params.TreeDepth = 4;
        params.ThreadCount = 2;
        params.StopWhenErrorRises = false;
        return params;
    }

    std::vector<std::string> InformationLines() const { return Lines(ReadText(Folder.File("grid_nfo.txt"))); }

    // The job talks to nobody: whatever it says ends up in its summary.
    void TearDown() override { EXPECT_THAT(Ui->Entries(), IsEmpty()); }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    std::unique_ptr<CCartogramJob> Job;
    std::optional<CPolygonLayer> Layer;
};

// A refused job says why in one message, hands nothing over, leaves no file behind and keeps
// what earlier runs wrote.
TEST_F(CartogramJobTest, RefusalsSayWhyAndWriteNothing)
{
    WriteText(Folder.File("grid_nfo.txt"), "an earlier run\n");
    const struct {
        const char* Name;
        std::function<std::string()> Make;
        const char* Said;
    } cases[] = {
        {"fewer records", [&] { return MakeGrid({1, 2, 3, 4, 5}); }, "5 records"},
        {"size below zero", [&] { return MakeGrid({1, 2, -3, 4, 5, 6}); }, "at record 3"},
        {"a flat polygon, which also leaves the automatic depth finite",
         [&] {
             WriteTable(Folder.File("flat.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {2.0}, {3.0}});
             return WriteShapefile(Folder.File("flat"), SHPT_POLYGON,
                                   {Square(0, 0, 1), Square(1, 0, 1), TestShape{{0}, {3, 3, 3, 3}, {0, 1, 2, 0}}});
         },
         "polygon 3"},
        {"no shapefile", [] { return std::string(); }, "No shapefile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string shp = c.Make();
        const std::vector<std::string> written = FolderEntries(Folder.Path());
        CartoParams params = Params(2);
        params.TreeDepth = 0;
        const CartogramRunSummary& summary = RunJob(shp, params);
        EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
        EXPECT_EQ(summary.RoundsTransformed, 0);
        ASSERT_EQ(summary.Messages.size(), 1u);
        EXPECT_THAT(summary.Messages[0].Text, HasSubstr(c.Said));
        EXPECT_FALSE(summary.Refusal.empty());
        EXPECT_FALSE(Layer);
        EXPECT_EQ(FolderEntries(Folder.Path()), written) << "the log opened for the run is removed again";
        EXPECT_EQ(ReadText(Folder.File("grid_nfo.txt")), "an earlier run\n");
    }
}

TEST_F(CartogramJobTest, ZeroSizesGetTheStandInAndShrinkBelowEveryOtherPolygon)
{
    EXPECT_EQ(RunJob(MakeGrid({0, 2, 3, 0, 5, 6}), Params(2)).Result, CartogramRunSummary::Outcome::Completed);
    // The information file: the header, a line per measured round (two transformed, the third
    // the stop), then the parameter line.
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "\n", CRunLog::HeaderLine());
    for (int r = 0; r < 3; ++r)
        EXPECT_THAT(lines[static_cast<size_t>(r) + 1], StartsWith(std::to_string(r) + ", "));
    EXPECT_THAT(lines[4], StartsWith("Enlarge: "));
    EXPECT_EQ(Job->Summary.ZeroSizeRecords, (std::vector<size_t>{1, 4}));
    ASSERT_EQ(Job->Summary.Messages.size(), 1u);
    EXPECT_EQ(Job->Summary.Messages[0].Kind, MessageKind::Warning);
    EXPECT_THAT(Job->Summary.Messages[0].Text, HasSubstr("records 1, 4"));
    const double smallestOther = std::min({Area(1), Area(2), Area(4), Area(5)});
    EXPECT_LT(Area(0), smallestOther);
    EXPECT_LT(Area(3), smallestOther);
}

} // namespace
} // namespace tessaro::test
