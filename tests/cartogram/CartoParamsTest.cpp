#include "cartogram/CartoParams.h"
#include "cartogram/NumberText.h"
#include "platform/RecordingUserInterface.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sys/resource.h>
#include <thread>

namespace tessaro {
namespace {

using test::CTempDir;

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
    p.ForceType = 1;
    p.EpsilonFactor = 1.25;
    p.CirclePoints = 24;
    p.EnlargeRate = 3.5;
    p.ShrinkRate = 12.125;
    p.MaxRadiusRatio = 7.75;
    p.MinRadiusRatio = 0.015625;
    p.RadiusCorrection = 2.5;
    p.ThreadCount = 3;
    p.ElasticityType = 1;
    p.StopWhenErrorRises = false;
    p.RelativeSizes = false;
    p.RectangleFactor = 1.5;
    p.DensificationType = 1;
    p.MinVertexDistanceScale = 1024.5;
    p.SquareFullTree = true;
    p.MinTreeDepth = 4;
    p.OptimalNodeSize = 0.75;
    p.LocalSearchDepth = 5;
    p.ZeroTolerance = 0.0005;
    return p;
}
const std::string NonDefaultLine1 = "2.500000, 1.250000, 3.500000, 12.125000, 7.750000, 0.015625";

std::string ReadText(const std::string& path)
{
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

void WriteText(const std::string& path, const std::string& text)
{
    test::WriteBytes(path, {text.begin(), text.end()});
}

std::vector<std::string> FolderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// --- The written text ---

TEST(CartoParamsSave, DefaultsGiveTheTableValuesThenSixNoteLinesWithLineFeedsOnly)
{
    CTempDir dir;
    ASSERT_TRUE(CartoParams().SaveParamFile(dir.File("param.cartoparam")));
    const std::string text = ReadText(dir.File("param.cartoparam"));
    EXPECT_EQ(text, CartoParams().FormatParamFile());

    const auto notes = text.find(NotesHeader);
    ASSERT_NE(notes, std::string::npos);
    EXPECT_EQ(text.substr(0, notes), DefaultValueLines());
    EXPECT_EQ(text.find('\r'), std::string::npos);
    std::vector<std::string> noteLines;
    for (auto begin = notes + NotesHeader.size(); begin < text.size(); begin = text.find('\n', begin) + 1)
        noteLines.push_back(text.substr(begin, text.find('\n', begin) - begin));
    ASSERT_EQ(noteLines.size(), 6u);
    for (std::size_t i = 0; i < noteLines.size(); ++i)
        EXPECT_TRUE(noteLines[i].starts_with("#  Line " + std::to_string(i + 1) + ": ")) << noteLines[i];
    EXPECT_TRUE(text.ends_with("1 and 2 are the same point) \n"));
}

TEST(CartoParamsSave, LoadingWhatWasSavedGivesTheSameBlockAndNothingOfTheOldFileRemains)
{
    CTempDir dir;
    const std::string path = dir.File("param.cartoparam");
    for (const CartoParams& saved : {CartoParams(), NonDefaultParams()}) {
        WriteText(path, std::string(5000, 'x'));
        ASSERT_TRUE(saved.SaveParamFile(path));
        EXPECT_EQ(ReadText(path), saved.FormatParamFile());
        // Load over a block that differs in every field, so no field passes unread.
        CartoParams loaded = saved == CartoParams() ? NonDefaultParams() : CartoParams();
        ASSERT_TRUE(loaded.LoadParamFile(path));
        EXPECT_EQ(loaded, saved);
    }
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"param.cartoparam"});
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
    CartoParams loaded = NonDefaultParams();
    CartoParams expected = NonDefaultParams();
    GetParam().Expect(expected);
    ASSERT_TRUE(loaded.LoadParamFile(dir.File("in.cartoparam")));
    EXPECT_EQ(loaded, expected);
}

// Lines 1-4 as a file of an older version wrote them: the defaults with 8 threads.
const std::string FourLines = "-1.000000, 1.050000, 6.000000, 9.000000, 10.000000, 0.010000\n"
                              "256.000000, -1.000000\n"
                              "0, 1, 1 \n"
                              "4, 1, 8, 6, 0, 0, 16\n";
const std::string OldNotes = "# Notes: \n#  Line 1: Inner Force Cancellation Control\n";

void FourLinesRead(CartoParams& p)
{
    const CartoParams d;
    p.RadiusCorrection = d.RadiusCorrection;
    p.EpsilonFactor = d.EpsilonFactor;
    p.EnlargeRate = d.EnlargeRate;
    p.ShrinkRate = d.ShrinkRate;
    p.MaxRadiusRatio = d.MaxRadiusRatio;
    p.MinRadiusRatio = d.MinRadiusRatio;
    p.MinVertexDistanceScale = d.MinVertexDistanceScale;
    p.RectangleFactor = d.RectangleFactor;
    p.SquareFullTree = false;
    p.StopWhenErrorRises = true;
    p.RelativeSizes = true;
    p.MaxSteps = 4;
    p.ExportEvery = 1;
    p.ThreadCount = 8;
    p.TreeDepth = 6;
    p.ElasticityType = 0;
    p.ForceType = 0;
    p.CirclePoints = 16;
}

const std::string SixLines = FourLines + "7, 0.5, 2\n0, 0.25\n";

void SixLinesRead(CartoParams& p)
{
    FourLinesRead(p);
    p.MinTreeDepth = 7;
    p.OptimalNodeSize = 0.5;
    p.LocalSearchDepth = 2;
    p.DensificationType = 0;
    p.ZeroTolerance = 0.25;
}

std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (const char c : text)
        out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CartoParamsLoad,
    testing::Values(LoadCase{"SixLines", SixLines + NotesHeader + OldNotes, SixLinesRead},
                    LoadCase{"SixLinesWithCrLf", WithCrLf(SixLines + NotesHeader + OldNotes), SixLinesRead},
                    LoadCase{"NoFinalLineEnd", FourLines + "7, 0.5, 2\n0, 0.25", SixLinesRead},
                    LoadCase{"OlderFourLinesThenEmptyLinesAndNotes", FourLines + NotesHeader + OldNotes, FourLinesRead},
                    LoadCase{"OlderFourLinesThenNotesAtOnce", FourLines + OldNotes, FourLinesRead},
                    LoadCase{"LineFiveCommentSkipped", FourLines + "# 7, 0.5, 2\n0, 0.25\n",
                             [](CartoParams& p) {
                                 FourLinesRead(p);
                                 p.DensificationType = 0;
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
                    LoadCase{"BlankBeforeACommaEndsTheLine", "\n\n\n10 , 2\n", [](CartoParams& p) { p.MaxSteps = 10; }},
                    LoadCase{"CommasWithNoneOrManyBlanks", "\n\n\n\t 1,2,\t3,   4, 5,6,7  \n",
                             [](CartoParams& p) {
                                 p.MaxSteps = 1;
                                 p.ExportEvery = 2;
                                 p.ThreadCount = 3;
                                 p.TreeDepth = 4;
                                 p.ElasticityType = 5;
                                 p.ForceType = 6;
                                 p.CirclePoints = 7;
                             }},
                    LoadCase{"AnyNonZeroFlagIsTrue", "\n\n0, 5, -2\n",
                             [](CartoParams& p) {
                                 p.SquareFullTree = false;
                                 p.StopWhenErrorRises = true;
                                 p.RelativeSizes = true;
                             }},
                    LoadCase{"RealsAsCReadsThem", "1e-3, +2.5E1, .5, 5., -0, 0x10\n",
                             [](CartoParams& p) {
                                 p.RadiusCorrection = 0.001;
                                 p.EpsilonFactor = 25;
                                 p.EnlargeRate = 0.5;
                                 p.ShrinkRate = 5;
                                 p.MaxRadiusRatio = 0;
                                 p.MinRadiusRatio = 16;
                             }},
                    LoadCase{"IntegerBeyondInt32IsNoNumber", "\n\n\n5, 2147483648, 3\n",
                             [](CartoParams& p) { p.MaxSteps = 5; }},
                    // A decimal comma splits a number in two: "1,5, 2,25" is 1, 5, 2 and 25.
                    LoadCase{"DecimalCommaIsNoDecimalPoint", "1,5, 2,25\n",
                             [](CartoParams& p) {
                                 p.RadiusCorrection = 1;
                                 p.EpsilonFactor = 5;
                                 p.EnlargeRate = 2;
                                 p.ShrinkRate = 25;
                             }},
                    LoadCase{"EmptyFile", "", [](CartoParams&) {}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CartoParamsLoad, MissingFileOrAFolderReturnsFalseSilentlyAndLeavesTheBlock)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    for (const std::string& path : {dir.File("missing.cartoparam"), dir.Path().string()}) {
        CartoParams params = NonDefaultParams();
        EXPECT_FALSE(params.LoadParamFile(path)) << path;
        EXPECT_EQ(params, NonDefaultParams()) << path;
    }
    EXPECT_TRUE(ui->Entries().empty());
}

// --- Saves that cannot complete ---

TEST(CartoParamsSave, FileThatCannotBeCreatedReturnsFalseSilentlyAndLeavesNothing)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    std::filesystem::create_directory(dir.Path() / "taken");
    EXPECT_FALSE(CartoParams().SaveParamFile(dir.File("no such folder/param.cartoparam")));
    EXPECT_FALSE(CartoParams().SaveParamFile(dir.File("taken")));
    EXPECT_TRUE(ui->Entries().empty());
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"taken"});
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path() / "taken"));
}

// Lowers the file size limit for a scope, so that writes past it fail with EFBIG as on a full
// disk; the signal such a write raises is ignored meanwhile.
class CScopedFileSizeLimit {
public:
    explicit CScopedFileSizeLimit(rlim_t bytes) : PreviousHandler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &Previous_);
        rlimit lowered = Previous_;
        lowered.rlim_cur = bytes;
        Set_ = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~CScopedFileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &Previous_);
        std::signal(SIGXFSZ, PreviousHandler_);
    }
    CScopedFileSizeLimit(const CScopedFileSizeLimit&) = delete;
    CScopedFileSizeLimit& operator=(const CScopedFileSizeLimit&) = delete;

    bool Set() const { return Set_; }

private:
    void (*PreviousHandler_)(int);
    rlimit Previous_{};
    bool Set_ = false;
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
        ASSERT_TRUE(limit.Set());
        EXPECT_FALSE(CartoParams().SaveParamFile(path));
    }
    EXPECT_EQ(ReadText(path), old);
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"param.cartoparam"});
    const auto entries = ui->Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Kind, CRecordingUserInterface::EntryKind::Error);
    EXPECT_EQ(entries[0].Text, "Cannot write the file \"" + path + "\": " + std::strerror(EFBIG) + ".");
}

// --- A user's locale with a decimal comma ---

// Sets the process locale for a scope and puts "C" back, also when an assertion fails.
class CScopedLocale {
public:
    explicit CScopedLocale(const char* name) : Set_(std::setlocale(LC_ALL, name) != nullptr) {}
    ~CScopedLocale() { std::setlocale(LC_ALL, "C"); }
    CScopedLocale(const CScopedLocale&) = delete;
    CScopedLocale& operator=(const CScopedLocale&) = delete;

    bool Set() const { return Set_; }

private:
    bool Set_;
};

TEST(CartoParamsLocale, DecimalCommaLocaleStillWritesAndReadsDecimalPoints)
{
    CTempDir dir;
    const CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set()) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ","); // else this test proves nothing

    ASSERT_TRUE(CartoParams().SaveParamFile(dir.File("defaults.cartoparam")));
    ASSERT_TRUE(NonDefaultParams().SaveParamFile(dir.File("changed.cartoparam")));
    const std::string defaultsText = ReadText(dir.File("defaults.cartoparam"));
    EXPECT_EQ(defaultsText.substr(0, defaultsText.find(NotesHeader)), DefaultValueLines());
    EXPECT_TRUE(ReadText(dir.File("changed.cartoparam")).starts_with(NonDefaultLine1 + "\n"));

    CartoParams loaded = NonDefaultParams();
    ASSERT_TRUE(loaded.LoadParamFile(dir.File("defaults.cartoparam")));
    EXPECT_EQ(loaded, CartoParams());
    ASSERT_TRUE(loaded.LoadParamFile(dir.File("changed.cartoparam")));
    EXPECT_EQ(loaded, NonDefaultParams());
}

// --- The number scanner, with the C library's sscanf in the C locale as the oracle ---

class ScanNumbersLikeSscanf : public testing::TestWithParam<const char*> {};

TEST_P(ScanNumbersLikeSscanf, ReadsTheSameRealsAndIntegers)
{
    const char* text = GetParam();
    double expectedReals[2] = {-7, -7}, reals[2] = {-7, -7};
    const int realCount = std::sscanf(text, "%lf, %lf", &expectedReals[0], &expectedReals[1]);
    EXPECT_EQ(ScanNumbers(text, "%lf, %lf", {&reals[0], &reals[1]}), std::max(realCount, 0));
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(reals[i] == expectedReals[i] || (std::isnan(reals[i]) && std::isnan(expectedReals[i]))) << i;

    int expectedInts[2] = {-7, -7};
    int32_t ints[2] = {-7, -7};
    const int intCount = std::sscanf(text, "%d, %d", &expectedInts[0], &expectedInts[1]);
    EXPECT_EQ(ScanNumbers(text, "%d, %d", {&ints[0], &ints[1]}), std::max(intCount, 0));
    EXPECT_EQ(ints[0], expectedInts[0]);
    EXPECT_EQ(ints[1], expectedInts[1]);
}

INSTANTIATE_TEST_SUITE_P(Texts, ScanNumbersLikeSscanf,
                         testing::Values("1.5, 2.5", "  -3,4", "+7,\n\t 8", "1 , 2", "1;2", "1,", "", "   ", "x, 2",
                                         "2.5e2, -1E-2", "inf, -infinity", "nan, 1", "1e999, 4e-330", "0x1p3, 12abc",
                                         "- 5, 6", "007, -0", "2147483647, -2147483648"));

TEST(ScanNumbers, IntegerBeyondInt32IsNoMatchAndLeavesItsField)
{
    int32_t values[2] = {-7, -7};
    EXPECT_EQ(ScanNumbers("4, 2147483648", "%d, %d", {&values[0], &values[1]}), 1);
    EXPECT_EQ(ScanNumbers("-99999999999999999999999", "%d", {&values[1]}), 0);
    EXPECT_EQ(values[0], 4);
    EXPECT_EQ(values[1], -7);
}

} // namespace
} // namespace tessaro
