#include "graphio/CitationFileTranslator.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>

namespace tessaro {
namespace {

using test::ChainEnds;
using test::CTempDir;
using test::FindNode;
using test::NamePair;
using test::NodeNames;
using test::WriteText;
using Names = std::vector<std::string>;
using Pairs = std::vector<NamePair>;
using Damage = std::vector<CDamagedLines::Line>;
using namespace std::string_literals;

const std::string AuthorHeader = "Name,First,Last\n";
const std::string CitationHeader = "Citing,Cited\n";

class CitationFileTranslatorTest : public testing::Test {
protected:
    CitationFileTranslatorTest() { Network.SetKeyMode(KeyByNameMergeParallel); }

    // Writes both tables ("dataAuthor.csv" and "dataCitations.csv", headers added) and reads them.
    bool Read(const std::string& authors, const std::string& citations)
    {
        WriteText(AuthorPath, AuthorHeader + authors);
        WriteText(CitationPath, CitationHeader + citations);
        return Translator.ReadCitations(AuthorPath, CCitationFileTranslator::AuthorAndCitationTables);
    }

    CTempDir Dir;
    const std::string AuthorPath = Dir.File("dataAuthor.csv");
    const std::string CitationPath = Dir.File("dataCitations.csv");
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CCitationFileTranslator Translator{&Network};
};

// --- Citations become chains from the cited to the citing author ---

TEST_F(CitationFileTranslatorTest, EveryCitedNumberGivesAChainToTheCitingAuthor)
{
    ASSERT_TRUE(Read("\"Smith, J.\",1,2\n\"Doe, A.\",3,3\n", "\"Lee, K.\",1 3\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Smith, J.", "Lee, K."}, {"Doe, A.", "Lee, K."}}));
    EXPECT_EQ(NodeNames(Network), (Names{"Doe, A.", "Lee, K.", "Smith, J."}));
    for (const auto& chain : Network.Chains()) {
        EXPECT_EQ(chain->Attribute().GetWeightedLength(), 1.0);
        EXPECT_EQ(chain->Attribute().First, ""); // labels belong to bibliographies only
    }
}

TEST_F(CitationFileTranslatorTest, AndSplitsACitedEntryIntoOneChainPerAuthor)
{
    ASSERT_TRUE(Read("\"Smith, J. and Doe, A.\",5,5\n", "\"Lee, K.\",5\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Smith, J.", "Lee, K."}, {"Doe, A.", "Lee, K."}}));
}

struct SplitCase {
    const char* Cited;
    std::vector<const char*> Authors;
};

class CitationAuthorSplit : public testing::TestWithParam<SplitCase> {};

TEST_P(CitationAuthorSplit, SplitsAtEveryBlankAndBlank)
{
    CScopedRecordingUserInterface ui;
    CNetwork network;
    CCitationFileTranslator translator(&network);

    translator.AddCitation(GetParam().Cited, "  Citing, C. ");

    Pairs expected;
    for (const char* author : GetParam().Authors)
        expected.emplace_back(author, "Citing, C.");
    EXPECT_EQ(ChainEnds(network), expected);
    EXPECT_TRUE(ui->Messages().empty());
}

INSTANTIATE_TEST_SUITE_P(Names, CitationAuthorSplit,
                         testing::Values(SplitCase{"A and B and C", {"A", "B", "C"}},
                                         SplitCase{"  Smith, J.  ", {"Smith, J."}},
                                         SplitCase{"Anderson and Band", {"Anderson", "Band"}},
                                         SplitCase{"Sandy Anders", {"Sandy Anders"}}, SplitCase{"A AND B", {"A AND B"}},
                                         SplitCase{"A  and B", {"A", "B"}}, SplitCase{"A and  and B", {"A", "B"}},
                                         SplitCase{"A and", {"A and"}}));

TEST_F(CitationFileTranslatorTest, EmptyNamesAreRefusedWithAMessage)
{
    EXPECT_FALSE(Translator.AddCitation("", "Lee, K."));
    EXPECT_FALSE(Translator.AddCitation("Smith, J.", " \t "));

    EXPECT_EQ(Ui->Messages(), (Names{"Error. Empty author names!", "Error. Empty author names!"}));
    EXPECT_EQ(Network.ChainCount(), 0u);
}

TEST_F(CitationFileTranslatorTest, DuplicateCitationsMergeIntoOneChain)
{
    // Smith is cited by Lee three times (numbers 1 and 2 are both Smith); Lee by Smith once.
    ASSERT_TRUE(Read("\"Smith, J.\",1,2\n\"Lee, K.\",3,3\n", "\"Lee, K.\",1 2\n\"Lee, K.\",1\n\"Smith, J.\",3\n"));

    ASSERT_EQ(Network.ChainCount(), 2u);
    Pairs ends = ChainEnds(Network);
    std::sort(ends.begin(), ends.end());
    EXPECT_EQ(ends, (Pairs{{"Lee, K.", "Smith, J."}, {"Smith, J.", "Lee, K."}}));
    EXPECT_EQ(FindNode(Network, "Smith, J.")->ChainCount(), 2u);
    EXPECT_EQ(FindNode(Network, "Lee, K.")->ChainCount(), 2u);
}

// --- The author table ---

TEST_F(CitationFileTranslatorTest, LaterAuthorLinesTakeOverTheirNumbers)
{
    ASSERT_TRUE(Read("\"A, a\",1,5\n\"B, b\",3,3\n\"C, c\",5,7\n\"D, d\",9,8\n", ""));

    const Names expected{"", "A, a", "A, a", "B, b", "A, a", "C, c", "C, c", "C, c", "", ""};
    for (int k = 0; k < static_cast<int>(expected.size()); ++k)
        EXPECT_EQ(Translator.AuthorForNumber(std::to_string(k)), expected[static_cast<size_t>(k)]) << k;
}

TEST_F(CitationFileTranslatorTest, TheAuthorIndexAnswersAsOneEntryPerNumberWould)
{
    // The oracle spreads every line into one map entry per number, as the table defines it.
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> bound(-8, 60);
    std::map<std::string, std::string> oracle;
    std::string table;
    for (int line = 0; line < 300; ++line) {
        const int first = bound(random);
        const int last = first + bound(random) / 6; // mostly short ranges, some reversed
        const std::string name = "Author" + std::to_string(line) + ", X.";
        table += "\"" + name + "\"," + std::to_string(first) + "," + std::to_string(last) + "\n";
        for (int k = first; k <= last; ++k)
            oracle[std::to_string(k)] = name;
    }

    ASSERT_TRUE(Read(table, ""));

    for (int k = -20; k <= 80; ++k) {
        const auto entry = oracle.find(std::to_string(k));
        EXPECT_EQ(Translator.AuthorForNumber(std::to_string(k)), entry == oracle.end() ? "" : entry->second) << k;
    }
}

class CitationNumberText : public testing::TestWithParam<const char*> {};

TEST_P(CitationNumberText, OnlyTheDecimalTextOfANumberFindsIt)
{
    CScopedRecordingUserInterface ui;
    CTempDir dir;
    WriteText(dir.File("xAuthor.csv"), AuthorHeader + "\"Zero, Z.\",-1,1\n");
    WriteText(dir.File("xCitations.csv"), CitationHeader);
    CNetwork network;
    CCitationFileTranslator translator(&network);
    ASSERT_TRUE(translator.ReadCitations(dir.File("xAuthor.csv"), 1));

    EXPECT_EQ(translator.AuthorForNumber(GetParam()), "") << GetParam();
    EXPECT_EQ(translator.AuthorForNumber("0"), "Zero, Z.");
    EXPECT_EQ(translator.AuthorForNumber("-1"), "Zero, Z.");
}

INSTANTIATE_TEST_SUITE_P(Texts, CitationNumberText,
                         testing::Values("", "-", "00", "01", "+1", " 1", "1 ", "-0", "1.0", "1e0", "0x1", "one", "2",
                                         "-2", "4294967297"));

TEST_F(CitationFileTranslatorTest, ARangeOverEveryIntegerIsCheap)
{
    ASSERT_TRUE(Read("\"Everyone, E.\",-2147483648,2147483647\n\"One, O.\",7,7\n", "\"Lee, K.\",2147483647 7\n"));

    EXPECT_EQ(Translator.AuthorForNumber("-2147483648"), "Everyone, E.");
    EXPECT_EQ(Translator.AuthorForNumber("2147483647"), "Everyone, E.");
    EXPECT_EQ(Translator.AuthorForNumber("7"), "One, O.");
    EXPECT_EQ(Translator.AuthorForNumber("8"), "Everyone, E.");
    EXPECT_EQ(Translator.AuthorForNumber("2147483648"), "");
    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Everyone, E.", "Lee, K."}, {"One, O.", "Lee, K."}}));
}

TEST_F(CitationFileTranslatorTest, AnotherReadStartsFromAnEmptyAuthorIndex)
{
    ASSERT_TRUE(Read("\"Smith, J.\",1,1\n", ""));
    ASSERT_TRUE(Read("\"Doe, A.\",2,2\n", "\"Lee, K.\",1 2\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Doe, A.", "Lee, K."}}));
}

// --- The citation table ---

TEST_F(CitationFileTranslatorTest, DamagedLinesOfEitherTableAreListedAndLeftOut)
{
    ASSERT_TRUE(Read("\"Smith, J.\",1,1\n"
                     "short\n"                        // 3: under 10 characters
                     "\"Doe, A.,2,2 unclosed\n"       // 4
                     "\"Doe, A.\" 2 2 no commas\n"    // 5
                     "\"   \",2,2 blank\n"            // 6
                     "\"Doe, A.\",two,2\n"            // 7
                     "\"Doe, A.\",2,2x\n"             // 8
                     "\"Doe, A.\",2,99999999999\n"    // 9: beyond 32 bits
                     "\"Doe, A.\xFF\",2,2\n"          // 10
                     "\"Lee, K.\",3,3,a note\n",      // a field after the numbers is no harm
                     "\"Ray, R.\",1 2 3\n"            // 2
                     "Lee,1\n"                        // 3: one comma; "Last, First" needs its own
                     "  \n"                           // 4: too short
                     "\" , \",1\n"                     // 5: neither part of the name
                     "\"Kim, M.\",9\n"                // a number no author has
                     "\"Fox, F.\",1 x3\n"             // 7: nothing of it is read
                     "\"Ray, R.\",1  3\n"             // a doubled blank is an empty number
                     "\"Ray, R.\",1\0\n"s));           // 9

    // Number 2 was never given: every line giving it is damaged.
    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Smith, J.", "Ray, R."}, {"Lee, K.", "Ray, R."}}));
    const std::string_view number = "a first or last number that is not a whole number";
    EXPECT_EQ(Translator.DamagedAuthorLines().Listed(),
              (Damage{{4, "no double quote closing the name"}, {5, "fewer than two commas after the name"},
                      {6, "an empty name"}, {7, number}, {8, number}, {9, number}, {10, "not valid UTF-8"}}));
    EXPECT_EQ(Translator.DamagedCitationLines().Listed(),
              (Damage{{3, "fewer than two commas"}, {5, "an empty citing name"},
                      {7, "a cited number that is not a number"}, {9, "a NUL byte"}}));
    EXPECT_EQ(Ui->Messages().size(), 2u); // only the count and the time

    ASSERT_TRUE(Read("\"Smith, J.\",1,1\n", "\"Lee, K.\",1\n"));
    EXPECT_TRUE(Translator.DamagedAuthorLines().Empty());
    EXPECT_TRUE(Translator.DamagedCitationLines().Empty());
}

struct TablePathCase {
    const char* Authors;
    const char* Citations;
};

class CitationTablePath : public testing::TestWithParam<TablePathCase> {};

TEST_P(CitationTablePath, ReplacesTheLastTenCharactersOfTheFileName)
{
    EXPECT_EQ(CCitationFileTranslator::CitationTablePathFor(GetParam().Authors), GetParam().Citations);
}

INSTANTIATE_TEST_SUITE_P(Paths, CitationTablePath,
                         testing::Values(TablePathCase{"/d/dataAuthor.csv", "/d/dataCitations.csv"},
                                         TablePathCase{"dataAuthor.csv", "dataCitations.csv"},
                                         TablePathCase{"/d/Author.csv", "/d/Citations.csv"},
                                         // A shorter name is replaced whole, within its folder.
                                         TablePathCase{"/d/a.csv", "/d/Citations.csv"}));

// --- Kinds and files that cannot be read ---

TEST_F(CitationFileTranslatorTest, OnlyKindOneIsRead)
{
    WriteText(AuthorPath, AuthorHeader + "\"Smith, J.\",1,1\n");
    WriteText(CitationPath, CitationHeader + "\"Lee, K.\",1\n");

    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 0));
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 2));

    EXPECT_TRUE(Ui->Messages().empty());
    EXPECT_EQ(Network.ChainCount(), 0u);
}

TEST_F(CitationFileTranslatorTest, AMissingAuthorTableIsReportedNotReadAsEmpty)
{
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 1));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + AuthorPath + "\": No such file or directory."}));
    EXPECT_EQ(Network.NodeCount(), 0u);
}

TEST_F(CitationFileTranslatorTest, AMissingCitationTableIsReportedNotReadAsEmpty)
{
    WriteText(AuthorPath, AuthorHeader + "\"Smith, J.\",1,1\n");

    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 1));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + CitationPath + "\": No such file or directory."}));
}

// --- Messages and layout ---

TEST_F(CitationFileTranslatorTest, ReportsTheAuthorCountAndLaysTheAuthorsOnACircle)
{
    ASSERT_TRUE(Read("\"Smith, J.\",1,2\n\"Doe, A.\",3,3\n", "\"Lee, K.\",1 3\n"));

    const Names messages = Ui->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "The number of authors is: 3");
    EXPECT_TRUE(test::IsTopologyTimeMessage(messages[1]));
    for (const auto& node : Network.Nodes())
        EXPECT_NEAR(std::hypot(node->X(), node->Y()), 100.0, 1e-9);
    for (const auto& chain : Network.Chains()) {
        ASSERT_EQ(chain->PointCount(), 2);
        EXPECT_EQ(chain->Points()[0], chain->From()->X());
        EXPECT_EQ(chain->Points()[3], chain->To()->Y());
    }
    EXPECT_EQ(Network.Extent(), (CExtent{-100.0, -100.0, 100.0, 100.0}));
}

// --- Lines no table should hold ---

TEST_F(CitationFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string hostile = test::JoinLines(test::HostileLines());
    // The good lines come last, so that they take their numbers over from any hostile range.
    ASSERT_TRUE(Read(hostile + "\"Smith, J.\",1,1\n", hostile + "\"Lee, K.\",1\n" + hostile));

    const auto ends = ChainEnds(Network);
    EXPECT_NE(std::find(ends.begin(), ends.end(), NamePair{"Smith, J.", "Lee, K."}), ends.end());
    for (const auto& node : Network.Nodes())
        EXPECT_EQ(node->Name().find('\0'), std::string::npos);
}

} // namespace
} // namespace tessaro
