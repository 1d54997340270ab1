#include "run/CartogramJob.h"

#include "engine/QuadTree.h"
#include "run/RunLog.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
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

    bool RunJob(const std::string& shp, const CartoParams& params, CCartogramJob::ProgressObserver observer = {})
    {
        CCartogramJob job;
        job.ShapefilePath = shp;
        job.SizeField = "pop";
        job.Progress = std::move(observer);
        return job.Run(Network, Tree, Translator, params);
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

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CNetwork Network;
    CQuadTree Tree;
    CShpFileTranslator Translator{Network};
};

TEST_F(CartogramJobTest, FewerThanTwoStepsStillTransformTwoRoundsAndMeasureAThird)
{
    for (int maxSteps : {0, 1, 2}) {
        std::filesystem::remove(Folder.File("grid_nfo.txt"));
        const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
        ASSERT_TRUE(RunJob(shp, Params(maxSteps))) << maxSteps;
        const std::vector<std::string> lines = InformationLines();
        ASSERT_EQ(lines.size(), 5u) << maxSteps;
        EXPECT_EQ(lines[0] + "\n", CRunLog::HeaderLine());
        EXPECT_THAT(lines[1], StartsWith("0, "));
        EXPECT_THAT(lines[2], StartsWith("1, "));
        EXPECT_THAT(lines[3], StartsWith("2, "));
        EXPECT_THAT(lines[4], StartsWith("Enlarge: "));
        EXPECT_EQ(Network.PolygonCount(), 6u);
        EXPECT_EQ(Tree.CurrentMap, 1);
    }
    EXPECT_THAT(Ui->Messages(), IsEmpty());
}

TEST_F(CartogramJobTest, EqualSizesOnEqualSquaresStopBeforeAnyTransformation)
{
    const std::string shp = MakeGrid({7, 7, 7, 7, 7, 7});
    ASSERT_TRUE(RunJob(shp, Params(5)));
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[0], StartsWith("0, "));
    EXPECT_THAT(lines[1], StartsWith("Enlarge: "));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_0.shp")));
    EXPECT_DOUBLE_EQ(Network.Extent().MinX, 0.0);
    EXPECT_DOUBLE_EQ(Network.Extent().MaxX, 3.0);
}

TEST_F(CartogramJobTest, TwoRunsAppendTwoBlocksAndKeepOneLayer)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    ASSERT_TRUE(RunJob(shp, Params(2)));
    ASSERT_TRUE(RunJob(shp, Params(2)));
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], lines[5]);
    EXPECT_THAT(lines[9], StartsWith("Enlarge: "));
    // The second run replaced the layer instead of appending to it.
    EXPECT_EQ(Network.PolygonCount(), 6u);
    EXPECT_THAT(Ui->Messages(), IsEmpty());
}

TEST_F(CartogramJobTest, WeightedMeanErrorFallsOverTheRounds)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    // Gentle rates: the heavy defaults overshoot on a map of six polygons.
    CartoParams params = Params(6);
    params.EnlargeRate = 1.0;
    params.ShrinkRate = 1.0;
    std::vector<double> weighted;
    ASSERT_TRUE(RunJob(shp, params, [&](const RoundProgress& progress) {
        EXPECT_EQ(progress.Round, static_cast<int>(weighted.size()));
        EXPECT_THAT(progress.ElapsedText, ::testing::HasSubstr("Second"));
        weighted.push_back(progress.Measures.WeightedMeanError);
        return true;
    }));
    ASSERT_GE(weighted.size(), 3u);
    EXPECT_LT(weighted.back(), 0.5 * weighted.front());
    for (size_t k = 1; k < weighted.size(); ++k)
        EXPECT_LT(weighted[k], weighted[k - 1]) << k;
}

TEST_F(CartogramJobTest, AnObserverThatSaysStopEndsTheRunAfterThatRound)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    int calls = 0;
    ASSERT_TRUE(RunJob(shp, Params(6), [&](const RoundProgress&) { return ++calls < 1; }));
    EXPECT_EQ(calls, 1);
    const std::vector<std::string> lines = InformationLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_THAT(lines[1], StartsWith("0, "));
}

TEST_F(CartogramJobTest, ExportedShapefilesReadBackWithEveryRecord)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CartoParams params = Params(3);
    params.ExportEvery = 2;
    ASSERT_TRUE(RunJob(shp, params));
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
    ASSERT_TRUE(RunJob(shp, Params(2)));
    ASSERT_EQ(Ui->Messages().size(), 1u);
    EXPECT_THAT(Ui->Messages()[0], ::testing::HasSubstr("5 records"));
    // The log opened for the run is removed again: a refused run leaves no file.
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_nfo.txt")));
}

TEST_F(CartogramJobTest, SizeValuesBelowZeroAreRefusedAndZeroGetsTheStandIn)
{
    CCartogramJob job;
    job.ShapefilePath = MakeGrid({1, 2, -3, 4, 5, 6});
    job.SizeField = "POP";
    EXPECT_TRUE(job.Run(Network, Tree, Translator, Params(2)));
    EXPECT_EQ(job.Summary.Result, CartogramRunSummary::Outcome::Refused);
    ASSERT_EQ(Ui->Messages().size(), 1u);
    EXPECT_THAT(Ui->Messages()[0], ::testing::HasSubstr("at record 3"));
    EXPECT_THAT(FolderEntries(Folder.Path()), ::testing::Not(::testing::Contains(::testing::HasSubstr("nfo"))));

    job.ShapefilePath = MakeGrid({0, 2, 3, 0, 5, 6});
    EXPECT_TRUE(job.Run(Network, Tree, Translator, Params(2)));
    EXPECT_EQ(job.Summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(job.Summary.ZeroSizeRecords, (std::vector<size_t>{1, 4}));
    ASSERT_EQ(Ui->Messages().size(), 2u);
    EXPECT_THAT(Ui->Messages()[1], ::testing::HasSubstr("records 1, 4"));
    // The zero-sized polygons shrank below every other one.
    const auto area = [this](uint32_t i) {
        double value = 0.0;
        CPoint2D centroid;
        Network.Polygon(i).AreaAndCentroid(&centroid, &value);
        return value;
    };
    const double smallestOther = std::min({area(1), area(2), area(4), area(5)});
    EXPECT_LT(area(0), smallestOther);
    EXPECT_LT(area(3), smallestOther);
}

TEST_F(CartogramJobTest, WithoutTheFieldEveryPolygonGetsAnEqualShare)
{
    CCartogramJob job;
    job.ShapefilePath = MakeGrid({1, 2, 3, 4, 5, 6});
    job.SizeField = "INCOME";
    EXPECT_TRUE(job.Run(Network, Tree, Translator, Params(2)));
    EXPECT_TRUE(job.Summary.EqualShares);
    // Six equal squares already have equal shares: the first measurement stops the run.
    EXPECT_EQ(job.Summary.RoundsTransformed, 0);
    EXPECT_EQ(job.Summary.Result, CartogramRunSummary::Outcome::Completed);
}

TEST_F(CartogramJobTest, RisingErrorsStopTheRunNoEarlierThanRoundTwo)
{
    const std::string shp = MakeGrid({1, 2, 3, 4, 5, 6});
    CartoParams params = Params(12);
    params.StopWhenErrorRises = true;
    ASSERT_TRUE(RunJob(shp, params));
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
    ASSERT_TRUE(RunJob(shp, params));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_0.shp")));
    EXPECT_FALSE(std::filesystem::exists(Folder.File("grid_1.shp")));
    EXPECT_TRUE(std::filesystem::exists(Folder.File("grid_2.shp")));
}

TEST_F(CartogramJobTest, AFlatPolygonLeavesTheAutomaticDepthFiniteAndIsRefusedByTheMeasures)
{
    std::vector<TestShape> shapes{Square(0, 0, 1), Square(1, 0, 1), TestShape{{0}, {3, 3, 3, 3}, {0, 1, 2, 0}}};
    CCartogramJob job;
    job.ShapefilePath = WriteShapefile(Folder.File("flat"), SHPT_POLYGON, shapes);
    WriteTable(Folder.File("flat.dbf"), {{"POP", 'N', 10, 0}}, {{1.0}, {2.0}, {3.0}});
    job.SizeField = "POP";
    CartoParams params = Params(2);
    params.TreeDepth = 0;
    EXPECT_TRUE(job.Run(Network, Tree, Translator, params));
    EXPECT_EQ(job.Summary.Result, CartogramRunSummary::Outcome::Refused);
    EXPECT_EQ(job.Summary.RoundsTransformed, 0);
    EXPECT_EQ(Ui->Messages().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(Folder.File("flat_nfo.txt")));
}

TEST_F(CartogramJobTest, CancelledFileChooserReturnsFalseWithoutFiles)
{
    Ui->QueueFileAnswer(std::nullopt);
    CCartogramJob job;
    EXPECT_FALSE(job.Run(Network, Tree, Translator, Params(2)));
    EXPECT_THAT(FolderEntries(Folder.Path()), IsEmpty());
}

} // namespace
} // namespace tessaro::test
