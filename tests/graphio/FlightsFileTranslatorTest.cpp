#include "graphio/FlightsFileTranslator.h"

#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

namespace tessaro {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Pairs = std::vector<NamePair>;
using Damage = std::vector<CDamagedLines::Line>;
using namespace std::string_literals;

// The weight of one flight, sqrt(50.49436848545301) / 340, worked out apart from the program.
constexpr double WeightPerFlight = 0.020899820466905965;

class FlightsFileTranslatorTest : public testing::Test {
protected:
    FlightsFileTranslatorTest() { Network.SetKeyMode(KeyByNameOrderByX); }

    // Writes the table, header added, and reads it.
    bool Read(const std::string& lines)
    {
        WriteText(Path, "ORIGIN,DEST,ORIGIN_CITY,DEST_CITY,STATES,FLIGHTS\n" + lines);
        return Translator.ReadFlights(Path);
    }

    CTempDir Dir;
    const std::string Path = Dir.File("flights.flt");
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CFlightsFileTranslator Translator{&Network};
};

// The count after the fifth comma is read as the C library's atof reads it in the "C" locale.
TEST_F(FlightsFileTranslatorTest, FlightCountsAreReadWithAFullStopUnderADecimalCommaLocale)
{
    const CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ","); // else this test proves nothing
    const std::vector<std::pair<std::string, double>> counts = {
        {"340", 340.0}, {"1", 1.0},   {"170.5", 170.5}, {"  85", 85.0},
        {"1e3", 1e3},   {"+4 ", 4.0}, {"0", 0.0},       {"77,999,extra", 77.0}};
    std::string table;
    for (const auto& [count, flights] : counts)
        table += "ABE,ATL,Allentown,Atlanta,PA-GA," + count + "\n";

    ASSERT_TRUE(Read(table));

    ASSERT_EQ(Network.ChainCount(), counts.size());
    auto chain = Network.Chains().begin();
    EXPECT_DOUBLE_EQ((*chain)->Attribute().GetWeightedLength(), std::sqrt(50.49436848545301));
    for (const auto& [count, flights] : counts)
        EXPECT_NEAR((*chain++)->Attribute().GetWeightedLength(), flights * WeightPerFlight, 1e-12 * (1.0 + flights))
            << count;
}

// Also the count, the time, the layout on a circle and the extent fitted to the cities.
TEST_F(FlightsFileTranslatorTest, RepeatedFlightsBetweenTwoCitiesStayApartAndNamesLoseQuotesAndBlanks)
{
    ASSERT_TRUE(Read("ABE,ATL,Allentown,Atlanta,PA-GA,10\n\" ABE \",  \"ATL\"\t,Allentown,Atlanta,PA-GA,20\n"
                     "ATL,ABE,Atlanta,Allentown,GA-PA,30\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"ABE", "ATL"}, {"ABE", "ATL"}, {"ATL", "ABE"}}));
    ExpectCountTimeAndCircle(Network, Ui->Messages(), "The number of cities is: 2");
    EXPECT_NEAR(Network.Extent().Width(), 0.0, 1e-9); // the two cities lie at the top and the bottom
    EXPECT_NEAR(Network.Extent().Height(), 200.0, 1e-9);
}

TEST_F(FlightsFileTranslatorTest, DamagedLinesAreListedAndLeftOutWhileShortAndBlankOnesAreNot)
{
    const std::string route = "ABE,ATL,Allentown,";
    const std::string tail = ",PA-GA,3";
    const std::string longest = route + std::string(LongestTextLine - route.size() - tail.size(), 'x') + tail;
    ASSERT_TRUE(Read("\n"                                       // 2: blank
                     "ABE,ATL,a,b,c,1\n"                        // 3: under 20 characters
                     "ABE,ATL,Allentown,Atlanta PA-GA 1\n"      // 4
                     ",ATL,Allentown,Atlanta,PA-GA,3\n"         // 5: an empty city, skipped
                     "ABE,\"\",Allentown,Atlanta,PA-GA,3\n"     // 6: skipped too
                     "ABE,ATL,Allentown,Atlanta,PA-GA,12abc\n"  // 7
                     "ABE,ATL,Allentown,Atlanta,PA-GA,\n"       // 8
                     "ABE,ATL,Allentown,Atlanta,PA-GA,inf\n" +  // 9
                     "ABE,ATL,Allen\0town,Atlanta,PA-GA,3\n"s + // 10
                     "ABE,ATL,Allentown,Atl\xE9nta,PA-GA,3\n" + // 11: Latin-1, read as its bytes
                     longest + "\n" +                           // 12: just fits
                     longest + "x\n" +                          // 13: one byte too many
                     "ABE,ATL,Allentown,Atlanta,PA-GA,-2\n"     // 14
                     "ABE,ATL,Allentown,Atlanta,PA-GA,1e308\n"  // 15: its weight is beyond a double
                     "M\xFCnchen,\xD5\xC5\xC8\xFD,a,b,c,7\n"    // 16: Latin-1 and GBK city names
                     "BHM,CLE,Birmingham,Cleveland,AL-OH,4"));  // 17, without a line end

    // The header would make a chain ORIGIN -> DEST if it were read.
    EXPECT_EQ(ChainEnds(Network),
              (Pairs{{"ABE", "ATL"}, {"ABE", "ATL"}, {"M\xFCnchen", "\xD5\xC5\xC8\xFD"}, {"BHM", "CLE"}}));
    const std::string_view count = "a flight count that is not a number";
    EXPECT_EQ(Translator.DamagedLines().Listed(),
              (Damage{{4, "fewer than five commas"}, {7, count}, {8, count}, {9, count}, {10, "a NUL byte"},
                      {13, "longer than 65536 bytes"}, {14, "a negative flight count"},
                      {15, "a flight count too large to weigh"}}));
    EXPECT_EQ(Ui->Messages().size(), 2u); // the count and the time: the document reports damage

    ASSERT_TRUE(Read("BHM,CLE,Birmingham,Cleveland,AL-OH,4\n"));
    EXPECT_TRUE(Translator.DamagedLines().Empty());
}

TEST_F(FlightsFileTranslatorTest, AFileOfDamagedLinesKeepsABoundedList)
{
    std::string lines;
    for (int i = 0; i < 3000; ++i)
        lines += "ABE;ATL;Allentown;Atlanta;PA-GA;3\n";

    ASSERT_TRUE(Read(lines));

    EXPECT_EQ(Translator.DamagedLines().Count(), 3000);
    const auto& listed = Translator.DamagedLines().Listed();
    ASSERT_EQ(listed.size(), CDamagedLines::ListedLimit);
    EXPECT_EQ(listed.back().Number, static_cast<int64_t>(CDamagedLines::ListedLimit) + 1);
}

TEST_F(FlightsFileTranslatorTest, AMissingFileIsReportedNotReadAsEmpty)
{
    EXPECT_FALSE(Translator.ReadFlights(Path));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + Path + "\": No such file or directory."}));
}

TEST_F(FlightsFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string hostile = HostileLines();

    ASSERT_TRUE(Read(hostile + "BHM,CLE,Birmingham,Cleveland,AL-OH,4\n" + hostile + "YUM,PHX,Yuma,Phoenix,AZ-AZ,7"));

    EXPECT_THAT(ChainEnds(Network), testing::IsSupersetOf(Pairs{{"BHM", "CLE"}, {"YUM", "PHX"}}));
    EXPECT_THAT(NodeNames(Network), testing::Not(testing::Contains("JFK"))); // its line ends at the NUL after "JFK"
    EXPECT_THAT(NodeNames(Network), testing::Each(testing::Not(testing::HasSubstr("\0"s))));
}

TEST(FlightsExample, ReadsTheShippedUsFlightsTableWithoutDamage)
{
    CScopedRecordingUserInterface ui;
    CNetwork network;
    network.SetKeyMode(KeyByNameOrderByX);
    CFlightsFileTranslator translator(&network);

    ASSERT_TRUE(translator.ReadFlights(std::string(TESSARO_SOURCE_DIR) + "/examples/us_flights/us_flights.flt"));

    EXPECT_TRUE(translator.DamagedLines().Empty());
    EXPECT_EQ(network.ChainCount(), 5366u);
    EXPECT_EQ(ui->Messages().front(), "The number of cities is: 305");
}

} // namespace
} // namespace tessaro
