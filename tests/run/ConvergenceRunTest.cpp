// A cartogram run in the convergence mode, from the shapefile to the files it leaves: the log's
// extra columns, the result exported under the stop round, the summary's kept round, and the
// warning that names the records left out.
#include "run/CartogramJob.h"

#include "engine/CartoParams.h"
#include "platform/NumberText.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "tests/support/DbfFixtures.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <shapefil.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::EndsWith;
using ::testing::HasSubstr;

const std::string FarFromSize = "below half or above twice";

// The text of the run's first warning that holds `words`; empty when none does.
std::string Warning(const CartogramRunSummary& summary, const std::string& words)
{
    for (const UserMessage& message : summary.Messages)
        if (message.Kind == MessageKind::Warning && message.Text.find(words) != std::string::npos)
            return message.Text;
    return {};
}

class ConvergenceRunTest : public ::testing::Test {
protected:
    // A 3 x 2 grid of unit squares with NAME and POP (1 to 6 unless given), and, when asked, a
    // seventh record of no area (its ring runs out and back along one line) named Sliver.
    std::string MakeGrid(bool withSliver, std::vector<double> sizes = {1, 2, 3, 4, 5, 6})
    {
        std::vector<TestShape> shapes;
        for (int row = 0; row < 2; ++row)
            for (int column = 0; column < 3; ++column)
                shapes.push_back(Square(column, row, 1.0));
        std::vector<std::vector<TestCell>> rows;
        const char* names[] = {"A", "B", "C", "D", "E", "F"};
        for (int k = 0; k < 6; ++k)
            rows.push_back({std::string(names[k]), sizes[static_cast<size_t>(k)]});
        if (withSliver) {
            shapes.push_back(TestShape{{0}, {1.2, 1.5, 1.8, 1.2}, {0.5, 0.5, 0.5, 0.5}});
            rows.push_back({std::string("Sliver"), 1.0});
        }
        const std::string shp = WriteShapefile(Folder.File("grid"), SHPT_POLYGON, shapes);
        WriteTable(Folder.File("grid.dbf"), {{"NAME", 'C', 10, 0}, {"POP", 'N', 10, 0}}, rows);
        return shp;
    }

    const CartogramRunSummary& Run(const std::string& shp, const CartoParams& params)
    {
        Job.ShapefilePath = shp;
        Job.SizeField = "POP";
        Job.Params = params;
        return Job.Run();
    }

    static CartoParams Converging()
    {
        CartoParams params;
        params.SetConvergence();
        params.ThreadCount = 2;
        return params;
    }

    CScopedRecordingUserInterface Ui;
    CTempDir Folder;
    CCartogramJob Job;
};

// The grid with a sliver of no area: the run moves it along, leaves it out of the measures and
// names it; the log carries the step and retries of each round and only the result is exported.
TEST_F(ConvergenceRunTest, TheLogCarriesStepsAndRetriesAndARecordOfNoAreaIsLeftOutAndNamed)
{
    const CartogramRunSummary& summary = Run(MakeGrid(true), Converging());
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    ASSERT_TRUE(summary.LastMeasures);
    EXPECT_LT(summary.LastMeasures->WeightedMeanError, 0.001);
    EXPECT_EQ(summary.KeptRound, summary.LastRound);
    EXPECT_EQ(summary.RoundsTransformed, summary.LastRound);
    EXPECT_THAT(summary.LeftOutRecords, ::testing::ElementsAre(6u));
    EXPECT_THAT(Warning(summary, "record 7 (Sliver)"), HasSubstr("left out"));
    // Converged: no polygon is far from its size, and none is named so.
    EXPECT_TRUE(summary.FarFromSizeRecords.empty());
    EXPECT_EQ(Warning(summary, FarFromSize), "");
    EXPECT_EQ(Warning(summary, "from their sizes"), "");
    EXPECT_EQ(Warning(summary, "from its size"), "");

    const std::vector<std::string> lines = Lines(ReadText(Folder.File("grid_nfo.txt")));
    ASSERT_EQ(lines.size(), static_cast<size_t>(summary.LastRound) + 3);
    EXPECT_THAT(lines.front(), EndsWith(", time, step, retries"));
    for (int r = 0; r < summary.LastRound; ++r) {
        // ..., "0.0123 Second", step, retries
        std::vector<std::string> cells;
        std::istringstream row(lines[static_cast<size_t>(r) + 1]);
        for (std::string cell; std::getline(row, cell, ',');)
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), 12u) << lines[static_cast<size_t>(r) + 1];
        EXPECT_EQ(std::stoi(cells[0]), r);
        EXPECT_THAT(cells[9], EndsWith("Second"));
        const double step = std::stod(cells[10]);
        EXPECT_GT(step, 0.0);
        EXPECT_LE(step, 1.0);
        EXPECT_GE(std::stoi(cells[11]), 0);
    }
    EXPECT_THAT(lines.back(), EndsWith(", keptRound: " + std::to_string(summary.KeptRound)));

    // The result, under the number of the round the run stopped at, and nothing before it.
    const std::string result = "grid_" + std::to_string(summary.LastRound);
    std::vector<std::string> written;
    for (const std::string& file : summary.WrittenFiles)
        written.push_back(std::filesystem::path(file).filename().string());
    EXPECT_THAT(written, ::testing::ElementsAre(result + ".shp", result + ".shx", result + "_qt.emf",
                                                result + "_py.emf", result + "_qp.emf", result + ".dbf"));
    EXPECT_EQ(ReadWithShapelib(Folder.File(result + ".shp")).size(), 7u);
}

// A result far from its sizes is named, however low its weighted mean error: the first square
// asks for 1/201 of the map and is still far above that after two rounds. A result above the
// target says so.
TEST_F(ConvergenceRunTest, PolygonsFarFromTheirSizeAreNamed)
{
    CartoParams early = Converging();
    early.MaxSteps = 2;
    const CartogramRunSummary& stopped = Run(MakeGrid(false, {1, 40, 40, 40, 40, 40}), early);
    ASSERT_EQ(stopped.Result, CartogramRunSummary::Outcome::Completed);
    ASSERT_EQ(stopped.LastRound, 2);
    EXPECT_THAT(stopped.FarFromSizeRecords, ::testing::Contains(0u));
    EXPECT_THAT(Warning(stopped, FarFromSize), HasSubstr("record 1 (A)"));
    // Every polygon of a visible share further than the largest error from its size is named with
    // how far, from the kept round's measures, the farthest first.
    const std::vector<PolygonFit>& fits = stopped.LastMeasures->Fits;
    const std::string beyond =
        Warning(stopped, "of at least 0.01 % of the total end more than 1.00 % from their sizes");
    EXPECT_THAT(beyond,
                HasSubstr("the farthest first: record 1 (A) " + FormatFixed(100.0 * fits[0].Deviation, 1) + " % over"));
    for (size_t i = 1; i < fits.size(); ++i) {
        if (std::fabs(fits[i].Deviation) > 0.01) {
            EXPECT_THAT(beyond, HasSubstr("record " + std::to_string(i + 1) + " ")) << "record " << i + 1;
        }
    }
    // The round limit came before the target, and the run says so with the kept round's figure.
    EXPECT_THAT(Warning(stopped, "stays above the target of 0.001000"),
                HasSubstr(FormatFixed(stopped.LastMeasures->WeightedMeanError, 6) + " at the kept round 2."));
}

// The named values follow the notes and only when they differ from their defaults, so a file of
// the usual settings is what it always was and reads back the same.
TEST(ConvergenceParamFile, NamedValuesFollowTheNotesAndReadBack)
{
    CTempDir folder;
    CartoParams plain;
    EXPECT_EQ(plain.FormatParamFile().find(" = "), std::string::npos);

    CartoParams converging;
    converging.SetConvergence();
    converging.TargetError = 0.0005;
    converging.KernelRange = 3.25;
    converging.StepRetries = 4;
    converging.FoldGuard = FoldGuardKind::Local;
    converging.ShrinkFloor = 0.25;
    converging.KeepValid = false;
    converging.LargestError = 0.02;
    converging.DensityFlow = false;
    converging.FlowGrid = 300;
    const std::string text = converging.FormatParamFile();
    const std::string notesEnd = "1 and 2 are the same point) \n";
    ASSERT_NE(text.find(notesEnd), std::string::npos);
    EXPECT_EQ(text.substr(text.find(notesEnd) + notesEnd.size()),
              "converge = 1\ntarget_error = 0.0005\nkernel_range = 3.25\nstep_retries = 4\nfold_guard = 2\n"
              "shrink_floor = 0.25\nkeep_valid = 0\nlargest_error = 0.02\ndensity_flow = 0\nflow_grid = 300\n");
    EXPECT_EQ(text.substr(0, text.find(notesEnd)), [&] {
        CartoParams same = converging;
        same.Converge = false;
        same.TargetError = 0.001;
        same.KernelRange = 2.0;
        same.StepRetries = 6;
        same.FoldGuard = FoldGuardKind::Global;
        same.ShrinkFloor = 0.5;
        same.KeepValid = true;
        same.LargestError = 0.01;
        same.DensityFlow = true;
        same.FlowGrid = 0;
        const std::string plainText = same.FormatParamFile();
        return plainText.substr(0, plainText.find(notesEnd));
    }());

    const std::string path = folder.File("converge.cartoparam");
    WriteText(path, text);
    CartoParams loaded;
    std::vector<ParamLineRefusal> incomplete;
    ASSERT_TRUE(LoadParamFile(loaded, path, &incomplete));
    EXPECT_TRUE(incomplete.empty());
    EXPECT_EQ(loaded, converging);

    // The floor is a share of an area, 0 turning it off; the flow's grid is 0 for the map's own
    // choice or at least 8 cells. (The upper edges are in the parameter table's test.)
    const struct {
        double Floor;
        int32_t Cells;
        bool Usable;
    } limits[] = {{0.0, 8, true}, {-0.1, 0, false}, {0.5, -1, false}};
    for (const auto& c : limits) {
        converging.ShrinkFloor = c.Floor;
        converging.FlowGrid = c.Cells;
        EXPECT_EQ(converging.LimitProblem().empty(), c.Usable) << c.Floor << ", " << c.Cells;
    }
}

TEST(ConvergenceParamFile, AnUnknownNameOrABadValueIsReportedByItsLineAndChangesNothing)
{
    CTempDir folder;
    const std::string base = CartoParams().FormatParamFile();
    const size_t notesLines = static_cast<size_t>(std::count(base.begin(), base.end(), '\n'));
    struct Case {
        std::string Line;
        bool Taken;
    } cases[] = {
        {"kernel_range = 5", true},    {"kernel_range=5", true},       {"  kernel_range =  5  ", true},
        {"kernel_rang = 5", false},    {"kernel_range = five", false}, {"kernel_range = 5 metres", false},
        {"kernel_range = nan", false}, {"step_retries = 2.5", false},  {"free text without a sign", true},
        {"# kernel_range = 9", true},
    };
    for (const Case& c : cases) {
        const std::string path = folder.File("case.cartoparam");
        WriteText(path, base + c.Line + "\n");
        CartoParams loaded;
        std::vector<ParamLineRefusal> incomplete;
        ASSERT_TRUE(LoadParamFile(loaded, path, &incomplete));
        if (c.Taken) {
            EXPECT_TRUE(incomplete.empty()) << c.Line;
        } else {
            ASSERT_EQ(incomplete.size(), 1u) << c.Line;
            EXPECT_EQ(incomplete[0].Line, static_cast<int>(notesLines) + 1) << c.Line;
            EXPECT_EQ(loaded.KernelRange, CartoParams().KernelRange) << c.Line;
        }
    }
}

} // namespace
} // namespace tessaro::test
