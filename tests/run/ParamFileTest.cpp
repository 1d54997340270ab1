#include "engine/CartoParams.h"
#include "run/ParamFile.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace tessaro {
namespace {

using test::CTempDir;
using test::FolderEntries;
using test::ReadText;
using test::WriteText;
using Names = std::vector<std::string>;

const std::string NotesHeader = "\n\n\n\n# Notes: \n";

// The default value lines as the parameter table gives them, for this machine's processors.
std::string DefaultValueLines()
{
    const unsigned processors = std::thread::hardware_concurrency();
    return "-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
           "256.000000, -1.000000\n"
           "0, 1, 1 \n"
           "4, 1, " +
           std::to_string(processors == 0 ? 1 : processors) +
           ", 6, 0, 0, 16\n"
           "3, 0.333333, 3\n"
           "2, 0.001000\n";
}

// Every field away from its default, with reals that six decimals keep exactly.
CartoParams NonDefaultParams()
{
    CartoParams p;
    p.MaxSteps = 40;
    p.ExportEvery = 5;
    p.TreeDepth = 9;
    p.ForceType = ForceDecay::Directional;
    p.EpsilonFactor = 1.25;
    p.CirclePoints = 24;
    p.EnlargeRate = 3.5;
    p.ShrinkRate = 12.125;
    p.MaxRadiusRatio = 7.75;
    p.MinRadiusRatio = 0.015625;
    p.RadiusCorrection = 2.5;
    p.ThreadCount = 3;
    p.ElasticityType = ElasticityMeasure::Gradient;
    p.StopWhenErrorRises = false;
    p.RelativeSizes = false;
    p.RectangleFactor = 1.5;
    p.DensificationType = Densification::QuadtreeLeaf;
    p.MinVertexDistanceScale = 1024.5;
    p.SquareFullTree = true;
    p.MinTreeDepth = 4;
    p.OptimalNodeSize = 0.75;
    p.LocalSearchDepth = 5;
    p.ZeroTolerance = 0.0005;
    return p;
}

// --- The written text ---

TEST(CartoParamsSave, DefaultsGiveTheTableValuesThenSixNoteLinesWithLineFeedsOnly)
{
    const std::string text = CartoParams().FormatParamFile();
    const auto notes = text.find(NotesHeader);
    ASSERT_NE(notes, std::string::npos);
    EXPECT_EQ(text.substr(0, notes), DefaultValueLines());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::size_t at = notes + NotesHeader.size(); // six numbered note lines, then the end
    for (int i = 1; i <= 6; ++i, at = text.find('\n', at) + 1)
        EXPECT_TRUE(text.substr(at).starts_with("#  Line " + std::to_string(i) + ": ")) << text.substr(at);
    EXPECT_EQ(at, text.size());
}

TEST(CartoParamsSave, LoadingWhatWasSavedGivesTheSameBlockAndNothingOfTheOldFileRemains)
{
    CTempDir dir;
    const std::string path = dir.File("param.cartoparam");
    for (const CartoParams& saved : {CartoParams(), NonDefaultParams()}) {
        WriteText(path, std::string(5000, 'x'));
        ASSERT_TRUE(SaveParamFile(saved, path));
        EXPECT_EQ(ReadText(path), saved.FormatParamFile());
        // Load over a block that differs in every field, so no field passes unread.
        CartoParams loaded = saved == CartoParams() ? NonDefaultParams() : CartoParams();
        ASSERT_TRUE(LoadParamFile(loaded, path));
        EXPECT_EQ(loaded, saved);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), Names{"param.cartoparam"});
}

// --- Loading hand-written files over a block that differs from the defaults ---

struct LoadCase {
    const char* Name;
    std::string Text;
    std::function<void(CartoParams&)> Expect; // what the file changes in the starting block
};

class CartoParamsLoad : public testing::TestWithParam<LoadCase> {};

TEST_P(CartoParamsLoad, ChangesExactlyTheFieldsTheFileSupplies)
{
    CTempDir dir;
    WriteText(dir.File("in.cartoparam"), GetParam().Text);
    CartoParams loaded = NonDefaultParams(), expected = loaded;
    GetParam().Expect(expected);
    ASSERT_TRUE(LoadParamFile(loaded, dir.File("in.cartoparam")));
    EXPECT_EQ(loaded, expected);
}

// Lines 1-4 as a file of an older version wrote them: the defaults with 8 threads.
const std::string FourLines = "-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
                              "256.000000, -1.000000\n"
                              "0, 1, 1 \n"
                              "4, 1, 8, 6, 0, 0, 16\n";
const std::string OldNotes = "# Notes: \n#  Line 1: Inner Force Cancellation Control\n";

// Lines 1-4 give the defaults with 8 threads; the five fields of lines 5 and 6 keep their values.
void FourLinesRead(CartoParams& p)
{
    CartoParams read;
    read.ThreadCount = 8;
    read.MinTreeDepth = p.MinTreeDepth;
    read.OptimalNodeSize = p.OptimalNodeSize;
    read.LocalSearchDepth = p.LocalSearchDepth;
    read.DensificationType = p.DensificationType;
    read.ZeroTolerance = p.ZeroTolerance;
    p = read;
}

const std::string SixLines = FourLines + "7, 0.5, 2\n0, 0.25\n";

void SixLinesRead(CartoParams& p)
{
    FourLinesRead(p);
    p.MinTreeDepth = 7;
    p.OptimalNodeSize = 0.5;
    p.LocalSearchDepth = 2;
    p.DensificationType = Densification::MinimumDistance;
    p.ZeroTolerance = 0.25;
}

std::string WithCrLf(std::string text)
{
    for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2))
        text.insert(at, 1, '\r');
    return text;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CartoParamsLoad,
    testing::Values(LoadCase{"SixLinesWithCrLf", WithCrLf(SixLines + NotesHeader + OldNotes), SixLinesRead},
                    LoadCase{"NoFinalLineEnd", FourLines + "7, 0.5, 2\n0, 0.25", SixLinesRead},
                    LoadCase{"OlderFourLinesThenEmptyLinesAndNotes", FourLines + NotesHeader + OldNotes, FourLinesRead},
                    LoadCase{"LineFiveCommentSkipped", FourLines + "# 7, 0.5, 2\n0, 0.25\n",
                             [](CartoParams& p) {
                                 FourLinesRead(p);
                                 p.DensificationType = Densification::MinimumDistance;
                                 p.ZeroTolerance = 0.25;
                             }},
                    LoadCase{"LineSixCommentSkipped", FourLines + "7, 0.5, 2\n  # 0, 0.25\n",
                             [](CartoParams& p) {
                                 FourLinesRead(p);
                                 p.MinTreeDepth = 7;
                                 p.OptimalNodeSize = 0.5;
                                 p.LocalSearchDepth = 2;
                             }},
                    LoadCase{"TextWhereANumberStandsKeepsTheRestOfItsLine", "7.5, 1.5, abc, 4, 5, 6\n\n\n10, 2, x, 5\n",
                             [](CartoParams& p) {
                                 p.RadiusCorrection = 7.5;
                                 p.EpsilonFactor = 1.5;
                                 p.MaxSteps = 10;
                                 p.ExportEvery = 2;
                             }},
                    LoadCase{"AnyNonZeroFlagIsTrue", "\n\n0, 5, -2\n",
                             [](CartoParams& p) {
                                 p.SquareFullTree = false;
                                 p.StopWhenErrorRises = true;
                                 p.RelativeSizes = true;
                             }},
                    LoadCase{"EmptyFile", "", [](CartoParams&) {}}),
    [](const auto& info) { return std::string(info.param.Name); });

// --- Files that cannot be opened, created or written ---

TEST(CartoParamsFiles, LoadOrSaveThatCannotOpenReturnsFalseSilentlyAndChangesNothing)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    std::filesystem::create_directory(dir.Path() / "taken");
    for (const std::string& path : {dir.File("missing.cartoparam"), dir.File("taken")}) {
        CartoParams params = NonDefaultParams();
        EXPECT_FALSE(LoadParamFile(params, path)) << path;
        EXPECT_EQ(params, NonDefaultParams()) << path;
    }
    // What the writer leaves of a target it refuses is checked in AtomicFileWriterTest.
    EXPECT_FALSE(SaveParamFile(CartoParams(), dir.File("no such folder/param.cartoparam")));
    EXPECT_FALSE(SaveParamFile(CartoParams(), dir.File("taken")));
    EXPECT_TRUE(ui->Entries().empty());
}

// Lowers the file size limit for a scope, so that writes past it fail with EFBIG as on a full
// disk; the signal such a write raises is ignored meanwhile.
struct CScopedFileSizeLimit {
    explicit CScopedFileSizeLimit(rlim_t bytes) : PreviousHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &Previous);
        rlimit lowered = Previous;
        lowered.rlim_cur = bytes;
        Set = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~CScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &Previous);
        std::signal(SIGXFSZ, PreviousHandler);
    }
    void (*PreviousHandler)(int);
    rlimit Previous{};
    bool Set = false;
};

TEST(CartoParamsSave, FailedWriteShowsTheFileErrorAndKeepsTheOldFileWhole)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    const std::string path = dir.File("param.cartoparam");
    const std::string old = NonDefaultParams().FormatParamFile();
    WriteText(path, old);
    {
        CScopedFileSizeLimit limit(100);
        ASSERT_TRUE(limit.Set);
        EXPECT_FALSE(SaveParamFile(CartoParams(), path));
    }
    EXPECT_EQ(ReadText(path), old);
    EXPECT_EQ(FolderEntries(dir.Path()), Names{"param.cartoparam"});
    const auto entries = ui->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Kind, CRecordingUserInterface::EntryKind::Error);
    EXPECT_EQ(entries[0].Text, "Cannot write the file \"" + path + "\": " + std::strerror(EFBIG) + ".");
}

} // namespace
} // namespace tessaro
