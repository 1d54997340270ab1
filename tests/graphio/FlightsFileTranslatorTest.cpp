#include "graphio/FlightsFileTranslator.h"

#include "graphio/TextLines.h"
#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

namespace tessaro {
namespace {

using test::ChainEnds;
using test::CTempDir;
using test::FindNode;
using test::NamePair;
using test::WriteText;
using Names = std::vector<std::string>;
using Pairs = std::vector<NamePair>;
using Damage = std::vector<CDamagedLines::Line>;
using namespace std::string_literals;

const std::string Header = "ORIGIN,DEST,ORIGIN_CITY,DEST_CITY,STATES,FLIGHTS\n";
// The weight of one flight, sqrt(50.49436848545301) / 340, worked out apart from the program.
constexpr double WeightPerFlight = 0.020899820466905965;

class FlightsFileTranslatorTest : public testing::Test {
protected:
    FlightsFileTranslatorTest() { Network.SetKeyMode(KeyByNameOrderByX); }

    // Writes the table (header added) into the temporary folder and reads it.
    bool Read(const std::string& lines)
    {
        WriteText(Path, Header + lines);
        return Translator.ReadFlights(Path);
    }

    double OnlyWeight() const
    {
        EXPECT_EQ(Network.ChainCount(), 1u);
        return Network.ChainCount() == 0 ? -1.0 : Network.Chains().front()->Attribute().GetWeightedLength();
    }

    CTempDir Dir;
    const std::string Path = Dir.File("flights.flt");
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CFlightsFileTranslator Translator{&Network};
};

// --- Weights ---

TEST_F(FlightsFileTranslatorTest, ThreeHundredFortyFlightsWeighTheRootOfTheScale)
{
    ASSERT_TRUE(Read("ABE,ATL,Allentown,Atlanta,PA-GA,340\n"));

    EXPECT_DOUBLE_EQ(OnlyWeight(), std::sqrt(50.49436848545301));
    EXPECT_NEAR(OnlyWeight(), 7.1059, 5e-5);
}

struct WeightCase {
    const char* Count;
    double Flights;
};

class FlightWeight : public testing::TestWithParam<WeightCase> {};

TEST_P(FlightWeight, ReadsTheCountAfterTheFifthCommaAsAtofDoes)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    WriteText(dir.File("f.flt"), Header + "ABE,ATL,Allentown,Atlanta,PA-GA," + GetParam().Count + "\n");
    CNetwork network;
    network.SetKeyMode(KeyByNameOrderByX);
    CFlightsFileTranslator translator(&network);

    ASSERT_TRUE(translator.ReadFlights(dir.File("f.flt")));

    ASSERT_EQ(network.ChainCount(), 1u);
    const double weight = network.Chains().front()->Attribute().GetWeightedLength();
    EXPECT_NEAR(weight, GetParam().Flights * WeightPerFlight, 1e-12 * std::max(1.0, GetParam().Flights))
        << GetParam().Count;
}

INSTANTIATE_TEST_SUITE_P(Counts, FlightWeight,
                         testing::Values(WeightCase{"1", 1.0}, WeightCase{"0", 0.0}, WeightCase{"853", 853.0},
                                         WeightCase{"13788", 13788.0}, WeightCase{"170.5", 170.5},
                                         WeightCase{"  85", 85.0}, WeightCase{"1e3", 1000.0},
                                         WeightCase{"77,999,extra", 77.0}, WeightCase{"+4 ", 4.0}));

TEST_F(FlightsFileTranslatorTest, CountsReadWithAFullStopUnderADecimalCommaLocale)
{
    const test::CScopedLocale german("de_DE.UTF-8");
    ASSERT_TRUE(german.Set) << "the de_DE.UTF-8 locale is not installed";
    ASSERT_STREQ(std::localeconv()->decimal_point, ","); // else this test proves nothing

    ASSERT_TRUE(Read("ABE,ATL,Allentown,Atlanta,PA-GA,340.5\n"));

    EXPECT_NEAR(OnlyWeight(), 340.5 * WeightPerFlight, 1e-12);
}

// --- Cities and chains ---

TEST_F(FlightsFileTranslatorTest, RepeatedFlightsBetweenTwoCitiesStayApart)
{
    ASSERT_TRUE(Read("ABE,ATL,Allentown,Atlanta,PA-GA,10\nABE,ATL,Allentown,Atlanta,PA-GA,20\n"
                     "ATL,ABE,Atlanta,Allentown,GA-PA,30\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"ABE", "ATL"}, {"ABE", "ATL"}, {"ATL", "ABE"}}));
    EXPECT_EQ(Network.NodeCount(), 2u);
    EXPECT_EQ(FindNode(Network, "ABE")->ChainCount(), 3u);
    EXPECT_EQ(FindNode(Network, "ATL")->ChainCount(), 3u);
}

TEST_F(FlightsFileTranslatorTest, CityNamesLoseTheirQuotesAndBlanks)
{
    ASSERT_TRUE(Read("\" ABE \",  \"ATL\"\t,Allentown,Atlanta,PA-GA,5\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"ABE", "ATL"}}));
}

TEST_F(FlightsFileTranslatorTest, DamagedLinesAreListedAndLeftOutWhileShortAndBlankOnesAreNot)
{
    const std::string route = "ABE,ATL,Allentown,";
    const std::string tail = ",PA-GA,3";
    const std::string longest = route + std::string(LongestTextLine - route.size() - tail.size(), 'x') + tail;
    ASSERT_TRUE(Read("\n"                                            // 2: blank
                     "ABE,ATL,a,b,c,1\n"                             // 3: under 20 characters
                     "ABE,ATL,Allentown,Atlanta PA-GA 1\n"           // 4
                     ",ATL,Allentown,Atlanta,PA-GA,3\n"              // 5
                     "ABE,\"\",Allentown,Atlanta,PA-GA,3\n"          // 6
                     "ABE,ATL,Allentown,Atlanta,PA-GA,many\n"        // 7
                     "ABE,ATL,Allentown,Atlanta,PA-GA,12abc\n"       // 8
                     "ABE,ATL,Allentown,Atlanta,PA-GA,\n"            // 9
                     "ABE,ATL,Allentown,Atlanta,PA-GA,inf\n" +       // 10
                     "ABE,ATL,Allen\0town,Atlanta,PA-GA,3\n"s +     // 11
                     "ABE,ATL,Allentown,Atl\xE9nta,PA-GA,3\n" +      // 12: Latin-1, not UTF-8
                     longest + "\n" +                                // 13: just fits
                     longest + "x\n" +                               // 14: one byte too many
                     "BHM,CLE,Birmingham,Cleveland,AL-OH,4"));       // 15, without a line end

    // The header would make a chain ORIGIN -> DEST if it were read.
    EXPECT_EQ(ChainEnds(Network), (Pairs{{"ABE", "ATL"}, {"BHM", "CLE"}}));
    const std::string_view count = "a flight count that is not a number";
    EXPECT_EQ(Translator.DamagedLines().Listed(),
              (Damage{{4, "fewer than five commas"}, {5, "an empty city name"}, {6, "an empty city name"},
                      {7, count}, {8, count}, {9, count}, {10, count}, {11, "a NUL byte"}, {12, "not valid UTF-8"},
                      {14, "longer than 65536 bytes"}}));
    EXPECT_EQ(Translator.DamagedLines().Count(), 10);
    EXPECT_EQ(Ui->Messages().size(), 2u); // the count and the time: the document reports damage

    // Each read starts a new list.
    ASSERT_TRUE(Read("BHM,CLE,Birmingham,Cleveland,AL-OH,4\n"));
    EXPECT_TRUE(Translator.DamagedLines().Empty());
}

TEST_F(FlightsFileTranslatorTest, AFileOfDamagedLinesKeepsABoundedList)
{
    std::string lines;
    for (int i = 0; i < 3000; ++i)
        lines += "ABE;ATL;Allentown;Atlanta;PA-GA;3\n"; // semicolons: no line is a flight

    ASSERT_TRUE(Read(lines));

    const CDamagedLines& damaged = Translator.DamagedLines();
    EXPECT_EQ(damaged.Count(), 3000);
    ASSERT_EQ(damaged.Listed().size(), CDamagedLines::ListedLimit);
    EXPECT_EQ(damaged.Listed().front().Number, 2);
    EXPECT_EQ(damaged.Listed().back().Number, static_cast<int64_t>(CDamagedLines::ListedLimit) + 1);
    EXPECT_EQ(Network.ChainCount(), 0u);
}

// --- Files that cannot be read ---

TEST_F(FlightsFileTranslatorTest, AMissingFileIsReportedNotReadAsEmpty)
{
    EXPECT_FALSE(Translator.ReadFlights(Path));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + Path + "\": No such file or directory."}));
    EXPECT_EQ(Network.NodeCount(), 0u);
}

TEST_F(FlightsFileTranslatorTest, AFolderIsReportedAsUnreadable)
{
    std::filesystem::create_directory(Path);

    EXPECT_FALSE(Translator.ReadFlights(Path));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot read the file \"" + Path + "\": Is a directory."}));
}

// --- Messages, layout and extent ---

TEST_F(FlightsFileTranslatorTest, ReportsTheCityCountLaysTheCitiesOnACircleAndFitsTheExtent)
{
    ASSERT_TRUE(Read("ABE,ATL,Allentown,Atlanta,PA-GA,853\nABE,BHM,Allentown,Birmingham,PA-AL,1\n"
                     "ABE,CLE,Allentown,Cleveland,PA-OH,805\n"));

    const Names messages = Ui->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "The number of cities is: 4");
    EXPECT_TRUE(test::IsTopologyTimeMessage(messages[1]));

    CExtent nodes;
    for (const auto& node : Network.Nodes()) {
        EXPECT_NEAR(std::hypot(node->X(), node->Y()), 100.0, 1e-9);
        nodes.Include(node->X(), node->Y());
    }
    EXPECT_EQ(Network.Extent(), nodes); // the nodes' box, not the (-100, -100)-(100, 100) square
    EXPECT_NEAR(nodes.MinX, -100.0, 1e-9);
    EXPECT_NEAR(nodes.MaxX, 100.0, 1e-9);
    EXPECT_NEAR(nodes.MinY, -100.0, 1e-9);
    for (const auto& chain : Network.Chains()) {
        ASSERT_EQ(chain->PointCount(), 2);
        EXPECT_EQ(chain->Points()[2], chain->To()->X());
    }
}

// --- Lines no table should hold ---

TEST_F(FlightsFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string hostile = test::JoinLines(test::HostileLines());

    ASSERT_TRUE(Read(hostile + "BHM,CLE,Birmingham,Cleveland,AL-OH,4\n" + hostile + "YUM,PHX,Yuma,Phoenix,AZ-AZ,7"));

    const auto ends = ChainEnds(Network);
    EXPECT_NE(std::find(ends.begin(), ends.end(), NamePair{"BHM", "CLE"}), ends.end());
    EXPECT_NE(std::find(ends.begin(), ends.end(), NamePair{"YUM", "PHX"}), ends.end());
    EXPECT_EQ(FindNode(Network, "JFK"), nullptr); // its line ends at the NUL after "JFK"
    for (const auto& node : Network.Nodes())
        EXPECT_EQ(node->Name().find('\0'), std::string::npos);
}

// --- The shipped example ---

TEST(FlightsExample, ReadsEveryAirportPairOfTheUsFlightsTable)
{
    const std::string path = std::string(TESSARO_SOURCE_DIR) + "/examples/us_flights/us_flights.flt";
    // The oracle: the table split at its commas by the standard library.
    struct Flight {
        std::string From;
        std::string To;
        double Count;
    };
    std::vector<Flight> expected;
    std::set<std::string> airports;
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, ',');)
            fields.push_back(field);
        ASSERT_EQ(fields.size(), 6u) << line;
        expected.push_back({fields[0], fields[1], std::stod(fields[5])});
        airports.insert(fields[0]);
        airports.insert(fields[1]);
    }
    ASSERT_EQ(expected.size(), 5366u);

    CScopedRecordingUserInterface ui;
    CNetwork network;
    network.SetKeyMode(KeyByNameOrderByX);
    CFlightsFileTranslator translator(&network);
    ASSERT_TRUE(translator.ReadFlights(path));

    EXPECT_EQ(network.NodeCount(), airports.size());
    EXPECT_EQ(network.NodeCount(), 305u);
    ASSERT_EQ(network.ChainCount(), expected.size());
    size_t i = 0;
    for (const auto& chain : network.Chains()) {
        const Flight& flight = expected[i++];
        ASSERT_EQ(chain->From()->Name(), flight.From) << i;
        ASSERT_EQ(chain->To()->Name(), flight.To) << i;
        ASSERT_NEAR(chain->Attribute().GetWeightedLength(), flight.Count * WeightPerFlight, 1e-12 * flight.Count) << i;
    }
    EXPECT_EQ(ui->Messages().front(), "The number of cities is: 305");
}

} // namespace
} // namespace tessaro
