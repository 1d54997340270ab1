#include "graphio/CitationFileTranslator.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>
#include <random>

namespace tessaro {
namespace {

using namespace test;
using testing::ElementsAre;
using Names = std::vector<std::string>;
using Pairs = std::vector<NamePair>;
using Damage = std::vector<CDamagedLines::Line>;
using namespace std::string_literals;

class CitationFileTranslatorTest : public testing::Test {
protected:
    CitationFileTranslatorTest() { Network.SetKeyMode(KeyByNameMergeParallel); }

    // Writes both tables, headers added, and reads them.
    bool Read(const std::string& authors, const std::string& citations)
    {
        WriteText(AuthorPath, "Name,First,Last\n" + authors);
        WriteText(CitationPath, "Citing,Cited\n" + citations);
        return Translator.ReadCitations(AuthorPath, CCitationFileTranslator::AuthorAndCitationTables);
    }

    CTempDir Dir;
    const std::string AuthorPath = Dir.File("dataAuthor.csv");
    const std::string CitationPath = Dir.File("dataCitations.csv");
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CCitationFileTranslator Translator{&Network};
};

TEST_F(CitationFileTranslatorTest, EveryCitedAuthorGetsAChainToTheCitingAuthorAndAllLieOnACircle)
{
    ASSERT_TRUE(Read("\"Smith, J. and Doe, A.\",1,2\n\"Ray, R.\",3,3\n", "\"Lee, K.\",1 3\n"));

    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Smith, J.", "Lee, K."}, {"Doe, A.", "Lee, K."}, {"Ray, R.", "Lee, K."}}));
    for (const auto& chain : Network.Chains()) {
        EXPECT_EQ(chain->Attribute().GetWeightedLength(), 1.0);
        EXPECT_EQ(chain->Attribute().First, ""); // labels belong to bibliographies only
    }
    ExpectCountTimeAndCircle(Network, Ui->Messages(), "The number of authors is: 4");
    EXPECT_EQ(Network.Extent(), (CExtent{-100.0, -100.0, 100.0, 100.0}));
}

TEST_F(CitationFileTranslatorTest, ACitedEntrySplitsAtEveryBlankAndBlankWhileEmptyNamesAreRefused)
{
    const std::vector<std::tuple<std::string, std::string, Names>> cases = {
        {"A and B and C", "  Lee, K. ", {"A", "B", "C"}}, {"Sandy Anders", "Lee, K.", {"Sandy Anders"}},
        {"A AND B", "Lee, K.", {"A AND B"}},              {"A  and B", "Lee, K.", {"A", "B"}},
        {"A and  and B", "Lee, K.", {"A", "B"}},          {"A and", "Lee, K.", {"A and"}},
        {"", "Lee, K.", {}},                              {"Smith, J.", " \t ", {}}};
    for (const auto& [cited, citing, authors] : cases) {
        CNetwork network;
        CCitationFileTranslator translator(&network);
        EXPECT_EQ(translator.AddCitation(cited, citing), !authors.empty()) << cited;
        Pairs expected;
        for (const std::string& author : authors)
            expected.emplace_back(author, "Lee, K.");
        EXPECT_EQ(ChainEnds(network), expected) << cited;
    }
    EXPECT_EQ(Ui->Messages(), (Names{"Error. Empty author names!", "Error. Empty author names!"}));
}

TEST_F(CitationFileTranslatorTest, DuplicateCitationsMergeIntoOneChain)
{
    // Lee cites Smith three times (numbers 1 and 2 are both Smith); Smith cites Lee once.
    ASSERT_TRUE(Read("\"Smith, J.\",1,2\n\"Lee, K.\",3,3\n", "\"Lee, K.\",1 2\n\"Lee, K.\",1\n\"Smith, J.\",3\n"));

    Pairs ends = ChainEnds(Network);
    std::sort(ends.begin(), ends.end());
    EXPECT_EQ(ends, (Pairs{{"Lee, K.", "Smith, J."}, {"Smith, J.", "Lee, K."}}));
}

// The oracle spreads every line into one map entry per number; later lines take numbers over.
TEST_F(CitationFileTranslatorTest, TheAuthorIndexAnswersAsOneEntryPerNumberWould)
{
    std::mt19937 random(2024);
    std::uniform_int_distribution<int> bound(-8, 60);
    std::map<int, std::string> oracle;
    std::string table;
    for (int line = 0; line < 300; ++line) {
        const int first = bound(random);
        const int last = first + bound(random) / 6; // mostly short ranges, some reversed
        const std::string name = "Author" + std::to_string(line) + ", X.";
        table += "\"" + name + "\"," + std::to_string(first) + "," + std::to_string(last) + "\n";
        for (int k = first; k <= last; ++k)
            oracle[k] = name;
    }

    ASSERT_TRUE(Read(table, ""));

    for (int k = -20; k <= 80; ++k)
        EXPECT_EQ(Translator.AuthorForNumber(std::to_string(k)), oracle.contains(k) ? oracle[k] : "") << k;
}

TEST_F(CitationFileTranslatorTest, OnlyTheDecimalTextOfANumberFindsIt)
{
    ASSERT_TRUE(Read("\"Zero, Z.\",-1,1\n", ""));

    EXPECT_EQ(Translator.AuthorForNumber("0"), "Zero, Z.");
    EXPECT_EQ(Translator.AuthorForNumber("-1"), "Zero, Z.");
    for (const char* text : {"", "-", "01", "+1", " 1", "1 ", "-0", "1.0", "1e0", "0x1", "one", "4294967297"})
        EXPECT_EQ(Translator.AuthorForNumber(text), "") << text;
}

TEST_F(CitationFileTranslatorTest, ARangeOverEveryIntegerIsCheapAndGoneInTheNextRead)
{
    ASSERT_TRUE(Read("\"Everyone, E.\",-2147483648,2147483647\n\"One, O.\",7,7\n", "\"Lee, K.\",2147483647 7\n"));

    EXPECT_EQ(Translator.AuthorForNumber("-2147483648"), "Everyone, E.");
    EXPECT_EQ(Translator.AuthorForNumber("8"), "Everyone, E.");
    EXPECT_EQ(Translator.AuthorForNumber("2147483648"), "");
    EXPECT_EQ(ChainEnds(Network), (Pairs{{"Everyone, E.", "Lee, K."}, {"One, O.", "Lee, K."}}));

    ASSERT_TRUE(Read("\"Doe, A.\",2,2\n", ""));
    EXPECT_EQ(Translator.AuthorForNumber("8"), "");
}

TEST_F(CitationFileTranslatorTest, DamagedLinesOfEitherTableAreListedAndLeftOut)
{
    ASSERT_TRUE(Read("\"Smith, J.\",1,1\n"
                     "short\n"                     // 3: under 10 characters
                     "\"Doe, A.,2,2 unclosed\n"    // 4
                     "\"Doe, A.\" 2 2 no commas\n" // 5
                     "\"   \",2,2 blank\n"         // 6
                     "\"Doe, A.\",2,2x\n"          // 7
                     "\"Doe, A.\",2,99999999999\n" // 8: beyond 32 bits
                     "\"Doe, A.\xFF\",2,2\n"       // 9: Latin-1, kept as its bytes
                     "\"Lee, K.\",3,3,a note\n",   // a field after the numbers is no harm
                     "\"Ray, R.\",1 2 3\n"         // 2
                     "Lee,1\n"                     // 3: one comma; "Last, First" needs its own
                     "  \n"                        // 4: too short
                     "\" , \",1\n"                 // 5: neither part of the name
                     "\"Kim, M.\",9\n"             // a number no author has
                     "\"Fox, F.\",1 x3\n"          // 7: nothing of it is read
                     "\"Ray, R.\",1  3\n"          // a doubled blank is an empty number
                     "\"Ray, R.\",1\0\n"s));       // 9

    // Number 2 is given only by the line in Latin-1, which is a name like any other.
    EXPECT_THAT(ChainEnds(Network),
                testing::UnorderedElementsAre(NamePair{"Smith, J.", "Ray, R."}, NamePair{"Doe, A.\xFF", "Ray, R."},
                                              NamePair{"Lee, K.", "Ray, R."}));
    const std::string_view number = "a first or last number that is not a whole number";
    EXPECT_EQ(Translator.DamagedAuthorLines().Listed(),
              (Damage{{4, "no double quote closing the name"}, {5, "fewer than two commas after the name"},
                      {6, "an empty name"}, {7, number}, {8, number}}));
    EXPECT_EQ(Translator.DamagedCitationLines().Listed(),
              (Damage{{3, "fewer than two commas"}, {5, "an empty citing name"},
                      {7, "a cited number that is not a number"}, {9, "a NUL byte"}}));
    EXPECT_EQ(Ui->Messages().size(), 2u); // only the count and the time

    ASSERT_TRUE(Read("\"Smith, J.\",1,1\n", "\"Lee, K.\",1\n"));
    EXPECT_TRUE(Translator.DamagedAuthorLines().Empty());
    EXPECT_TRUE(Translator.DamagedCitationLines().Empty());
}

TEST_F(CitationFileTranslatorTest, AMissingTableIsReportedAndOnlyKindOneIsRead)
{
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 1));
    WriteText(AuthorPath, "Name,First,Last\n\"Smith, J.\",1,1\n");
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 1));
    WriteText(CitationPath, "Citing,Cited\n\"Lee, K.\",1\n");
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 0));
    EXPECT_FALSE(Translator.ReadCitations(AuthorPath, 2));

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + AuthorPath + "\": No such file or directory.",
                                     "Cannot open the file \"" + CitationPath + "\": No such file or directory."}));
    EXPECT_EQ(Network.ChainCount(), 0u);
}

// The citation table is the author table's path less its last 10 characters plus
// "Citations.csv". A file name of 10 characters or more keeps that cut inside the name; a
// shorter one would reach into the folders, so it is refused with a message naming the table
// the rule would need, and neither that table nor one beside the author table is read.
TEST_F(CitationFileTranslatorTest, TheCitationTableIsCutFromTheFileNameOnly)
{
    std::filesystem::create_directories(Dir.File("a/bib"));
    const std::string authors = "Name,First,Last\n\"Smith, J.\",1,1\n";
    const std::string citations = "Citing,Cited\n\"Lee, K.\",1\n";
    for (const char* table : {"aCitations.csv", "a/bib/Citations.csv", "a/bib/xyCitations.csv"})
        WriteText(Dir.File(table), citations);
    const struct {
        const char* AuthorTable;
        bool Read;
    } cases[] = {{"a/bib/xyAuthor.csv", true}, {"a/bib/Author.csv", true}, {"a/bib/x.csv", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.AuthorTable);
        WriteText(Dir.File(c.AuthorTable), authors);
        CNetwork network;
        network.SetKeyMode(KeyByNameMergeParallel);
        CCitationFileTranslator translator(&network);
        Ui->ClearEntries();
        EXPECT_EQ(translator.ReadCitations(Dir.File(c.AuthorTable), 1), c.Read);
        EXPECT_EQ(network.ChainCount(), c.Read ? 1u : 0u);
        if (!c.Read) {
            EXPECT_THAT(Ui->Messages(),
                        ElementsAre("The citation table of " + Dir.File(c.AuthorTable) + " would be " +
                                    Dir.File("aCitations.csv") +
                                    ": its name is the author table's path less its last 10 characters plus "
                                    "\"Citations.csv\", and the name x.csv is shorter than 10 characters."));
        }
    }
}

TEST_F(CitationFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string hostile = HostileLines();
    // The good lines come last, so that they take their numbers over from any hostile range.
    ASSERT_TRUE(Read(hostile + "\"Smith, J.\",1,1\n", hostile + "\"Lee, K.\",1\n" + hostile));

    EXPECT_THAT(ChainEnds(Network), testing::Contains(NamePair{"Smith, J.", "Lee, K."}));
    EXPECT_THAT(NodeNames(Network), testing::Each(testing::Not(testing::HasSubstr("\0"s))));
}

} // namespace
} // namespace tessaro
