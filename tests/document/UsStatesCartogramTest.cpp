#include "document/LumarixDoc.h"

#include "run/RunLog.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/EmfCheck.h"
#include "tests/support/ShapefileFixtures.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::StartsWith;

const std::string ExampleFolder = std::string(TESSARO_SOURCE_DIR) + "/examples/us_states";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        if (line != " ")
            lines.push_back(line);
    return lines;
}

double WeightedMeanError(const std::string& line)
{
    std::istringstream stream(line);
    std::string cell;
    for (int column = 0; column <= 6; ++column)
        std::getline(stream, cell, ',');
    return std::stod(cell);
}

// The example map of the 48 contiguous states and DC, sized by population, at the default
// parameters.
class UsStatesCartogramTest : public ::testing::Test {
protected:
    CartogramRunSummary Run(int threads, const CTempDir& folder)
    {
        CLumarixDoc document;
        document.Params.ThreadCount = threads;
        CCartogramJob job;
        job.ShapefilePath = ExampleFolder + "/us_states.shp";
        job.SizeField = "POP";
        job.OutputFolder = folder.Path().string();
        return document.RunCartogram(job);
    }

    CScopedRecordingUserInterface Ui;
};

TEST_F(UsStatesCartogramTest, AtTheDefaultsFourRoundsBringTheErrorDownAndEveryRoundIsExported)
{
    const std::vector<std::string> exampleFiles = FolderEntries(ExampleFolder);
    CTempDir out;
    const CartogramRunSummary summary = Run(2, out);
    ASSERT_EQ(summary.Result, CartogramRunSummary::Outcome::Completed);
    EXPECT_EQ(summary.RoundsTransformed, 4);
    EXPECT_FALSE(summary.EqualShares);

    const std::vector<std::string> lines = Lines(ReadText(out.File("us_states_nfo.txt")));
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0] + "\n", CRunLog::HeaderLine());
    for (int r = 0; r <= 4; ++r)
        EXPECT_THAT(lines[static_cast<size_t>(r) + 1], StartsWith(std::to_string(r) + ", "));
    EXPECT_THAT(lines[6], StartsWith("Enlarge: "));
    EXPECT_LT(WeightedMeanError(lines[5]), 0.5 * WeightedMeanError(lines[1]));

    for (int r = 0; r < 4; ++r) {
        const std::string stem = out.File("us_states_" + std::to_string(r));
        EXPECT_EQ(ReadWithShapelib(stem + ".shp").size(), 49u) << r;
        for (const char* suffix : {".shx", ".dbf", ".prj"})
            EXPECT_TRUE(std::filesystem::exists(stem + suffix)) << stem << suffix;
        for (const char* picture : {"_qt.emf", "_py.emf", "_qp.emf"}) {
            const EmfCheckResult check = CheckEmfStructure(stem + picture);
            EXPECT_TRUE(check.Ok) << stem << picture << ": " << check.Reason;
        }
    }
    EXPECT_EQ(ReadBytes(out.File("us_states_3.dbf")), ReadBytes(ExampleFolder + "/us_states.dbf"));
    // No temporary file is left, and nothing was written beside the input.
    for (const std::string& name : FolderEntries(out.Path()))
        EXPECT_NE(name.front(), '.') << name;
    EXPECT_EQ(FolderEntries(ExampleFolder), exampleFiles);
}

TEST_F(UsStatesCartogramTest, TwoAndEightThreadsGiveTheSameBytes)
{
    CTempDir two;
    CTempDir eight;
    ASSERT_EQ(Run(2, two).Result, CartogramRunSummary::Outcome::Completed);
    ASSERT_EQ(Run(8, eight).Result, CartogramRunSummary::Outcome::Completed);
    for (int r = 0; r < 4; ++r) {
        const std::string name = "us_states_" + std::to_string(r);
        EXPECT_EQ(ReadBytes(two.File(name + ".shp")), ReadBytes(eight.File(name + ".shp"))) << r;
        EXPECT_EQ(ReadBytes(two.File(name + "_qp.emf")), ReadBytes(eight.File(name + "_qp.emf"))) << r;
    }
}

} // namespace
} // namespace tessaro::test
