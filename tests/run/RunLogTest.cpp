#include "run/RunLog.h"

#include "engine/CartoParams.h"
#include "platform/RecordingUserInterface.h"
#include "run/ParamFile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace tessaro {
namespace {

using test::CTempDir;
using test::ReadText;
using test::WriteText;

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

    CartoParams saved;
    saved.EnlargeRate = 3.5;
    saved.MinRadiusRatio = 0.015625;
    saved.OptimalNodeSize = 0.75;
    saved.ZeroTolerance = 0.0005;
    ASSERT_TRUE(SaveParamFile(saved, dir.File("p.cartoparam")));
    EXPECT_TRUE(ReadText(dir.File("p.cartoparam")).starts_with("-1.000000, 1.050000, 3.500000, 9.000000, 10.000000, 0.015625\n"));
    CartoParams loaded;
    ASSERT_TRUE(LoadParamFile(loaded, dir.File("p.cartoparam")));
    EXPECT_EQ(loaded, saved);
}

} // namespace
} // namespace tessaro
