#include "run/RunLog.h"

#include "platform/RecordingUserInterface.h"
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

const char* const Header = "round, minRit, maxRit, error, mean_quadratic_error, simple_mean_error, "
                           "weighted_mean_error, elasticity, maxDisplacement, time\n";

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

const std::string ExampleMeasureColumns = "1.500000, 0.375000, 0.102633, 0.344186, 0.329670, 0.329670";

std::string ExpectedRun(const std::string& enlarge)
{
    return std::string(Header) + "0, " + ExampleMeasureColumns + ", 2.500000, 0.000000, 0.1234 Second\n" + "1, " +
           ExampleMeasureColumns + "\n" + "Enlarge: " + enlarge +
           ", Shrink: 0.250000, treeDepth: 7, minTreeDepth: 3\n \n";
}

TEST(RunLogTest, WritesTheLinesByteForByte)
{
    CTempDir dir;
    const std::string path = dir.File("usa_nfo.txt");
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        WriteRun(log, 1.0);
        // Every line is on disk as soon as it is written, before the log is closed.
        EXPECT_EQ(ReadText(path), ExpectedRun("1.000000"));
    }
    EXPECT_EQ(ReadText(path), ExpectedRun("1.000000"));
}

TEST(RunLogTest, SecondRunAppendsItsOwnBlock)
{
    CTempDir dir;
    const std::string path = dir.File("usa_nfo.txt");
    WriteText(path, "kept\n");
    for (const double enlarge : {1.0, 0.5}) {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        WriteRun(log, enlarge);
    }
    EXPECT_EQ(ReadText(path), "kept\n" + ExpectedRun("1.000000") + ExpectedRun("0.500000"));
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

// Sets the process locale for a scope and puts "C" back.
class CLocaleGuard {
public:
    explicit CLocaleGuard(const char* name) : Set_(std::setlocale(LC_ALL, name) != nullptr) {}
    ~CLocaleGuard() { std::setlocale(LC_ALL, "C"); }
    CLocaleGuard(const CLocaleGuard&) = delete;
    CLocaleGuard& operator=(const CLocaleGuard&) = delete;
    bool Set() const { return Set_; }

private:
    bool Set_;
};

TEST(RunLogTest, DecimalCommaLocaleStillWritesPoints)
{
    CLocaleGuard guard("de_DE.UTF-8");
    ASSERT_TRUE(guard.Set()) << "the de_DE.UTF-8 locale is not installed";
    char probe[16];
    std::snprintf(probe, sizeof probe, "%.1f", 0.5);
    ASSERT_STREQ(probe, "0,5"); // the locale really is in force
    CTempDir dir;
    const std::string path = dir.File("de_nfo.txt");
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        WriteRun(log, 1.0);
    }
    EXPECT_EQ(ReadText(path), ExpectedRun("1.000000"));
}

TEST(RunLogTest, OpenRefusesAPathThatCannotBeCreated)
{
    CTempDir dir;
    CRunLog log;
    EXPECT_FALSE(log.Open(dir.File("missing/usa_nfo.txt")));
    EXPECT_FALSE(log.Open(dir.Path().string())); // a folder
    EXPECT_FALSE(log.IsOpen());
    EXPECT_FALSE(log.WriteHeader());
}

TEST(RunLogTest, WriteErrorIsReportedOnceAndFails)
{
    CScopedRecordingUserInterface ui;
    CRunLog log;
    ASSERT_TRUE(log.Open("/dev/full"));
    EXPECT_FALSE(log.WriteHeader());
    EXPECT_FALSE(log.WriteParameters(1.0, 1.0, 5, 3));
    const std::vector<std::string> messages = ui->Messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].find("/dev/full"), std::string::npos);
    EXPECT_NE(messages[0].find("write"), std::string::npos);
}

} // namespace
} // namespace tessaro
