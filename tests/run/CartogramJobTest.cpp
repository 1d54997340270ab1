#include "run/CartogramJob.h"

#include "engine/CartogramFeedback.h"
#include "engine/QuadTree.h"
#include "run/RunLog.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <filesystem>
#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::IsEmpty;
using ::testing::StartsWith;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line))
        if (line != " ")
            lines.push_back(line);
    return lines;
}

void ScanColumns(const std::string& line, std::vector<double>& columns)
{
    std::istringstream stream(line);
    std::string cell;
    while (std::getline(stream, cell, ','))
        columns.push_back(std::stod(cell));
}

// A 3 x 2 grid of unit squares (clockwise rings) with a POP column.
class CartogramJobTest : public ::testing::Test {
protected:
    std::string MakeGrid(const std::vector<double>& populations)
    {
        std::vector<TestShape> shapes;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column)
                shapes.push_back(Square(column, row, 1.0));
        const std::string shp = WriteShapefile(Folder.File("grid"), SHPT_POLYGON, shapes);
        std::vector<std::vector<TestCell>> rows;
        for (double population : populations)
            rows.push_back({population});
        WriteTable(Folder.File("grid.dbf"), {{"POP", 'N', 10, 0}}, rows);
        return shp;
    }

    // Runs a job and keeps what it hands over, as the document would.
    const CartogramRunSummary& RunJob(const std::string& shp, const CartoParams& params,
                                      CCartogramFeedback* feedback = nullptr, const std::string& field = "pop")
    {
        Job = std::make_unique<CCartogramJob>();
        Job->ShapefilePath = shp;
        Job->SizeField = field;
        Job->Params = params;
        Job->Run(feedback);
        Layer = Job->TakeLayer();
        Tree = Job->TakeQuadTree();
        return Job->Summary;
    }

    std::vector<std::string> MessageTexts() const
    {
        std::vector<std::string> texts;
        for (const UserMessage& message : Job->Summary.Messages)
            texts.push_back(message.Text);
        return texts;
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
    std::unique_ptr<CQuadTree> Tree;
};

// Records the rounds a run reports and cancels after a given one.
class CRecordingFeedback : public CCartogramFeedback {
public:
    explicit CRecordingFeedback(int cancelAfter = -1) : CancelAfter_(cancelAfter) {}
    void OnRound(std::shared_ptr<const CRoundFrame> frame) override
    {
        Frames.push_back(frame);
        if (frame->Round == CancelAfter_)
            Cancel();
    }
    std::vector<std::shared_ptr<const CRoundFrame>> Frames;

private:
    int CancelAfter_;
};

TEST_F(CartogramJobTest, TwoTransformationRoundsWriteHeaderRoundLinesFinalAndParameterLines)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    ASSERT_EQ(RunJob(shp, Params(1)).Result, CartogramRunSummary::Outcome::Completed);
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0] + "\n", CRunLog::HeaderLine());
    EXPECT_THAT(lines[1], StartsWith("0, "));
    EXPECT_THAT(lines[2], StartsWith("1, "));
    EXPECT_THAT(lines[3], StartsWith("2, "));
    EXPECT_THAT(lines[4], StartsWith("Enlarge: "));
    ASSERT_TRUE(Layer);
    EXPECT_EQ(Layer->Count(), 6u);
    ASSERT_TRUE(Tree);
    EXPECT_EQ(Tree->CurrentMap, 1);
    EXPECT_THAT(Job->Summary.Messages, IsEmpty());
}

TEST_F(CartogramJobTest, EqualSizesOnEqualSquaresStopBeforeAnyTransformation)
{
    const std::string shp = MakeGrid({7, 7, 7, 7, 7, 7});
    ASSERT_EQ(RunJob(shp, Params(5)).Result, CartogramRunSummary::Outcome::Completed);
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], StartsWith("0, "));
    EXPECT_THAT(lines[1], StartsWith("Enlarge: "));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_0.shp")));
    EXPECT_DOUBLE_EQ(Job->LayerExtent().MinX, 0.0);
    EXPECT_DOUBLE_EQ(Job->LayerExtent().MaxX, 3.0);
}

TEST_F(CartogramJobTest, TwoRunsAppendTwoBlocks)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    RunJob(shp, Params(2));
    RunJob(shp, Params(2));
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], lines[5]);
    EXPECT_THAT(lines[9], StartsWith("Enlarge: "));
}

TEST_F(CartogramJobTest, ACancelEndsTheRunAfterTheRoundInHandAndHandsNothingOver)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CRecordingFeedback feedback(0);
    const CartogramRunSummary& summary = RunJob(shp, Params(6), &feedback);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Cancelled);
    EXPECT_EQ(summary.LastRound, 0);
    EXPECT_EQ(summary.RoundsTransformed, 1);
    EXPECT_EQ(feedback.Frames.size(), 1u);
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[1], StartsWith("0, "));
    EXPECT_EQ(ReadWithShapelib(Folder.File("grid_0.shp")).size(), 6u);
    EXPECT_FALSE(Layer);
    EXPECT_FALSE(Tree);
}

TEST_F(CartogramJobTest, ExportedShapefilesReadBackWithEveryRecord)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CartoParams params = Params(3);
    params.ExportEvery = 2;
    RunJob(shp, params);
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_1.shp")));
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_2.shp")));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_0.shp")));
    EXPECT_EQ(ReadWithShapelib(Folder.File("grid_1.shp")).size(), 6u);
    const std::vector<ShapelibShape> last = ReadWithShapelib(Folder.File("grid_2.shp"));
    ASSERT_EQ(last.size(), 6u);
    EXPECT_EQ(last[0].Type, SHPT_POLYGON);
}

TEST_F(CartogramJobTest, RefusesATableWhoseRecordCountDiffersFromThePolygons)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5});
    EXPECT_EQ(RunJob(shp, Params(2)).Result, CartogramRunSummary::Outcome::Refused);
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_THAT(MessageTexts()[0], ::testing::HasSubstr("5 records"));
    EXPECT_EQ(Job->Summary.Refusal, MessageTexts()[0]);
    // The log opened for the run is removed again: a refused run leaves no file.
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_nfo.txt")));
}

TEST_F(CartogramJobTest, SizeValuesBelowZeroAreRefusedAndZeroGetsTheStandIn)
{
    EXPECT_EQ(RunJob(MakeGrid({1, 2, -3, 4, 5, 6}), Params(2)).Result, CartogramRunSummary::Outcome::Refused);
    ASSERT_EQ(MessageTexts().size(), 1u);
    EXPECT_THAT(MessageTexts()[0], ::testing::HasSubstr("at record 3"));
    EXPECT_THAT(FolderEntries(Folder.Path()), ::testing::Not(::testing::Contains(::testing::HasSubstr("nfo"))));
    EXPECT_FALSE(Layer);

    EXPECT_EQ(RunJob(MakeGrid({0, 2, 3, 0, 5, 6}), Params(2)).Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(Job->Summary.ZeroSizeRecords, (std::vector<size_t>{1, 4}));
    ASSERT_EQ(Job->Summary.Messages.size(), 1u);
    EXPECT_EQ(Job->Summary.Messages[0].Kind, MessageKind::Warning);
    EXPECT_THAT(MessageTexts()[0], ::testing::HasSubstr("records 1, 4"));
    // The zero-sized polygons shrank below every other one.
    const double smallestOther = std::min({Area(1), Area(2), Area(4), Area(5)});
    EXPECT_LT(Area(0), smallestOther);
    EXPECT_LT(Area(3), smallestOther);
}

TEST_F(CartogramJobTest, WithoutTheFieldEveryPolygonGetsAnEqualShare)
{
    const CartogramRunSummary& summary = RunJob(MakeGrid({1, 2, 3, 4, 5, 6}), Params(2), nullptr, "INCOME");
    EXPECT_TRUE(summary.EqualShares);
    // Six equal squares already have equal shares: the first measurement stops the run.
    EXPECT_EQ(summary.RoundsTransformed, 0);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
}

TEST_F(CartogramJobTest, RisingErrorsStopTheRunNoEarlierThanRoundTwo)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CartoParams params = Params(12);
    params.StopWhenErrorRises = true;
    RunJob(shp, params);
    const std::vector<std::string> lines = InformationLines();
    ASSERT_GE(lines.size(), 5u); // header, rounds 0 and 1 at least, final, parameters
    const std::string& final = lines[lines.size() - 2];
    const int finalRound = std::stoi(final);
    EXPECT_GE(finalRound, 2);
    if (finalRound < 12) {
        // Stopped by the rule: error, mean quadratic, simple mean and weighted mean all rose.
        std::vector<double> last;
        std::vector<double> previous;
        ScanColumns(final, last);
        ScanColumns(lines[lines.size() - 3], previous);
        for (size_t column = 3; column <= 6; ++column)
            EXPECT_GE(last[column], previous[column]) << column;
    }
}

TEST_F(CartogramJobTest, AnExportIntervalBeyondTheStepsExportsOnlyTheLastRound)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CartoParams params = Params(3);
    params.ExportEvery = 10;
    RunJob(shp, params);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_0.shp")));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_1.shp")));
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_2.shp")));
}

TEST_F(CartogramJobTest, AFlatPolygonLeavesTheAutomaticDepthFiniteAndIsRefusedByTheMeasures)
{
    std::vector<TestShape> shapes{Square(0, 0, 1), Square(1, 0, 1), TestShape{{0}, {3, 3, 3, 3}, {0, 1, 2, 0}}};
    const std::string shp = WriteShapefile(Folder.File("flat"), SHPT_POLYGON, shapes);
    WriteTable(Folder.File("flat.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {2.0}, {3.0}});
    CartoParams params = Params(2);
    params.TreeDepth = 0;
    const CartogramRunSummary& summary = RunJob(shp, params);
    EXPECT_EQ(summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_EQ(summary.RoundsTransformed, 0);
    EXPECT_EQ(summary.Messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("flat_nfo.txt")));
}

TEST_F(CartogramJobTest, WithoutAShapefileTheJobIsRefusedAndWritesNothing)
{
    EXPECT_EQ(RunJob("", Params(2)).Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_THAT(FolderEntries(Folder.Path()), IsEmpty());
}

} // namespace
} // namespace tessaro::test
