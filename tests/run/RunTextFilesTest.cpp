// The run's two text files, which other programs read: the information file it appends a block
// to per run, and the parameter file.
#include "engine/CartoParams.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "run/RunLog.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace tessaro {
namespace {

using test::CTempDir;
using test::FolderEntries;
using test::ReadText;
using test::WriteText;
using Names = std::vector<std::string>;

// The measures of two unit squares wanting 0.8 and 0.2 of the total.
RoundMeasures ExampleMeasures()
{
    return ComputeRoundMeasures(std::vector<double>{1.0, 1.0}, std::vector<double>{0.8, 0.2}, 2.0).Measures;
}

// Writes one short run: header, a round line, the final line and the parameter line.
void WriteRun(CRunLog& log, double enlarge)
{
    const RoundMeasures m = ExampleMeasures();
    ASSERT_TRUE(log.WriteHeader());
    ASSERT_TRUE(log.WriteRound(0, m, 2.5, 0.0, "0.1234 Second"));
    ASSERT_TRUE(log.WriteFinal(1, m));
    ASSERT_TRUE(log.WriteParameters(enlarge, 0.25, 7, 3));
}

std::string ExpectedRun(const std::string& enlarge)
{
    const std::string measures = "1.500000, 0.375000, 0.102633, 0.344186, 0.329670, 0.329670";
    return "round, minRit, maxRit, error, mean_quadratic_error, simple_mean_error, weighted_mean_error, elasticity, "
           "maxDisplacement, time\n"
           "0, " + measures + ", 2.500000, 0.000000, 0.1234 Second\n"
           "1, " + measures + "\n"
           "Enlarge: " + enlarge + ", Shrink: 0.250000, treeDepth: 7, minTreeDepth: 3\n \n";
}

TEST(RunLogTest, WritesEveryLineAtOnceAndAppendsEachRunToWhatIsThere)
{
    CTempDir dir;
    const std::string path = dir.File("usa_nfo.txt");
    WriteText(path, "kept\n");
    std::string expected = "kept\n";
    for (const auto& [enlarge, text] : {std::pair{1.0, "1.000000"}, std::pair{0.5, "0.500000"}}) {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        WriteRun(log, enlarge);
        // On disk as soon as written, before the log is closed.
        expected += ExpectedRun(text);
        EXPECT_EQ(ReadText(path), expected);
    }
}

TEST(RunLogTest, LineLongerThan255CharactersIsWrittenWhole)
{
    CTempDir dir;
    const std::string path = dir.File("long_nfo.txt");
    RoundMeasures m = ExampleMeasures();
    m.Error = 1e250; // "%f" prints all 251 integer digits
    const std::string time(60, 't');
    CRunLog log;
    ASSERT_TRUE(log.Open(path));
    ASSERT_TRUE(log.WriteRound(4, m, 1.0, 0.0, time));
    // The C library's own formatting, in the C locale the tests run under, is the oracle.
    std::vector<char> expected(1024);
    const int length = std::snprintf(expected.data(), expected.size(), "%d, %f, %f, %f, %f, %f, %f, %f, %f, %s\n", 4,
                                     m.MinRit, m.MaxRit, m.Error, m.MeanQuadraticError, m.SimpleMeanError,
                                     m.WeightedMeanError, 1.0, 0.0, time.c_str());
    ASSERT_GT(length, 300);
    EXPECT_EQ(ReadText(path), std::string(expected.data(), static_cast<std::size_t>(length)));
}

// A path that cannot be created opens nothing, silently; a failed write is reported once.
TEST(RunLogTest, OpenRefusesWhatCannotBeCreatedAndAWriteErrorIsReportedOnce)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    CRunLog log;
    EXPECT_FALSE(log.Open(dir.File("missing/usa_nfo.txt")));
    EXPECT_FALSE(log.Open(dir.Path().string())); // a folder
    EXPECT_FALSE(log.WriteHeader());
    EXPECT_TRUE(ui->Messages().empty());

    ASSERT_TRUE(log.Open("/dev/full"));
    EXPECT_FALSE(log.WriteHeader());
    EXPECT_FALSE(log.WriteParameters(1.0, 1.0, 5, 3));
    const std::vector<std::string> messages = ui->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("/dev/full"), std::string::npos);
    EXPECT_NE(messages[0].find("write"), std::string::npos);
}

// --- The parameter file ---

const std::string NotesHeader = "\n\n\n\n# Notes: \n";

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

// The value block itself is the parameter table's test; after it come six numbered note lines,
// with line feeds only.
TEST(CartoParamsSave, TheValuesAreFollowedBySixNoteLinesWithLineFeedsOnly)
{
    const std::string text = CartoParams().FormatParamFile();
    const auto notes = text.find(NotesHeader);
    ASSERT_NE(notes, std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::size_t at = notes + NotesHeader.size();
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

// --- A write that fails ---

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

// The parameter files shipped to start from load whole and are what their names say: the
// defaults, a slim look (shrinking exaggerated over enlarging), an inflated one, the convergence
// mode.
TEST(CartoParamsLoad, TheExampleFilesAreWhatTheirNamesSay)
{
    const std::string folder = std::string(TESSARO_SOURCE_DIR) + "/examples/parameters/";
    const auto load = [&folder](const char* name) {
        CartoParams params;
        std::vector<ParamLineRefusal> refused;
        EXPECT_TRUE(LoadParamFile(params, folder + name, &refused)) << name;
        EXPECT_TRUE(refused.empty()) << name;
        params.ThreadCount = 4;
        return params;
    };
    CartoParams defaults;
    defaults.ThreadCount = 4;
    EXPECT_EQ(load("default.cartoparam"), defaults);
    const CartoParams slim = load("slim.cartoparam");
    const CartoParams inflated = load("inflated.cartoparam");
    EXPECT_GE(slim.ShrinkRate, 3 * slim.EnlargeRate);
    EXPECT_GE(inflated.EnlargeRate, 3 * inflated.ShrinkRate);
    for (CartoParams look : {slim, inflated}) {
        look.EnlargeRate = defaults.EnlargeRate;
        look.ShrinkRate = defaults.ShrinkRate;
        EXPECT_EQ(look, defaults);
    }
    CartoParams converging = defaults;
    converging.SetConvergence();
    EXPECT_EQ(load("convergence.cartoparam"), converging);
}

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

// --- Both files in a user's locale with a decimal comma ---

// Sets the process locale for a scope and puts "C" back, also when an assertion fails.
struct CScopedLocale {
    explicit CScopedLocale(const char* name) : Set(std::setlocale(LC_ALL, name) != nullptr) {}
    ~CScopedLocale() { std::setlocale(LC_ALL, "C"); }
    const bool Set;
};

// The information file and the parameter file are read by other programs and other locales.
TEST(RunTextFiles, DecimalCommaLocaleStillWritesAndReadsDecimalPoints)
{
    const CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ","); // else this test proves nothing
    CTempDir dir;
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(dir.File("de_nfo.txt")));
        WriteRun(log, 1.0);
    }
    EXPECT_EQ(ReadText(dir.File("de_nfo.txt")), ExpectedRun("1.000000"));

    ASSERT_TRUE(SaveParamFile(NonDefaultParams(), dir.File("p.cartoparam")));
    EXPECT_TRUE(ReadText(dir.File("p.cartoparam")).starts_with("2.500000, 1.250000, 3.500000, 12.125000, 7.750000, 0.015625\n"));
    CartoParams loaded; // differs from the saved block in every field
    ASSERT_TRUE(LoadParamFile(loaded, dir.File("p.cartoparam")));
    EXPECT_EQ(loaded, NonDefaultParams());
}

} // namespace
} // namespace tessaro
