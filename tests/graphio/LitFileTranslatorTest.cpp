#include "graphio/LitFileTranslator.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace tessaro {
namespace {

using test::ChainEnds;
using test::CTempDir;
using test::FindNode;
using test::FolderEntries;
using test::NamePair;
using test::NodeNames;
using test::ReadText;
using test::WriteText;
using Names = std::vector<std::string>;
using namespace std::string_literals;

const std::string SummaryHeader = "PaperID,Number of Authors\n";
const std::string SummaryRefused = "Can't create or open this file for write!";

class LitFileTranslatorTest : public testing::Test {
protected:
    LitFileTranslatorTest() { Network.SetKeyMode(KeyByName); }

    // Writes the bibliography into the temporary folder and reads it.
    int Read(const std::string& text, const std::string& name = "refs.txt")
    {
        Path = Dir.File(name);
        WriteText(Path, text);
        return Translator.ReadBibliography(Path);
    }

    bool HasMessage(const std::string& text) const
    {
        const Names messages = Ui->Messages();
        return std::find(messages.begin(), messages.end(), text) != messages.end();
    }

    CTempDir Dir;
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CLitFileTranslator Translator{&Network};
    std::string Path;
};

// --- Papers become cliques ---

TEST_F(LitFileTranslatorTest, PaperWithThreeAuthorsGivesThreeChainsOfOneClique)
{
    ASSERT_EQ(Read("AU: Smith A.\nAU: Jones B.\nAU: Brown C.\nPY: 2001\nBT: Networks\nJR: Journal of Graphs\n"),
              CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ChainEnds(Network),
              (std::vector<NamePair>{{"SMITH A.", "JONES B."}, {"SMITH A.", "BROWN C."}, {"JONES B.", "BROWN C."}}));
    EXPECT_EQ(Network.NodeCount(), 3u);
    for (const auto& node : Network.Nodes())
        EXPECT_EQ(node->ChainCount(), 2u) << node->Name();
    for (const auto& chain : Network.Chains()) {
        EXPECT_EQ(chain->Attribute().GetWeightedLength(), 1.0);
        EXPECT_EQ(chain->Attribute().First, "2001");
        EXPECT_EQ(chain->Attribute().Second, "Networks");
        EXPECT_EQ(chain->Attribute().Third, "Journal of Graphs");
    }
}

TEST_F(LitFileTranslatorTest, PaperWithOneAuthorGivesALoop)
{
    ASSERT_EQ(Read("AU: Smith A.\nPY: 1999\n"), CLitFileTranslator::ReadSucceeded);

    ASSERT_EQ(Network.ChainCount(), 1u);
    ASSERT_EQ(Network.NodeCount(), 1u);
    const CNetworkChain& loop = *Network.Chains().front();
    EXPECT_EQ(loop.From(), loop.To());
    EXPECT_EQ(loop.From()->Name(), "SMITH A.");
    EXPECT_EQ(loop.From()->ChainCount(), 1u);
    EXPECT_EQ(loop.Attribute().First, "1999");
}

TEST_F(LitFileTranslatorTest, AuthorsSharedByPapersBecomeOneNode)
{
    ASSERT_EQ(Read("AU: Doe J.\nAU: Lee K.\nPY: 2000\nAU: DOE J.R.\nAU: Lee K.\nAU: Kim M.\n"),
              CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(NodeNames(Network), (Names{"DOE J.", "KIM M.", "LEE K."}));
    EXPECT_EQ(Network.ChainCount(), 4u);
    EXPECT_EQ(FindNode(Network, "DOE J.")->ChainCount(), 3u);
    EXPECT_EQ(FindNode(Network, "LEE K.")->ChainCount(), 3u);
}

// --- Author names ---

struct NormaliseCase {
    const char* Name;
    const char* Expected;
};

class NormaliseAuthorName : public testing::TestWithParam<NormaliseCase> {};

TEST_P(NormaliseAuthorName, CutsRightAfterTheFirstFullStop)
{
    EXPECT_EQ(CLitFileTranslator::NormaliseAuthorName(GetParam().Name), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Names, NormaliseAuthorName,
                         testing::Values(NormaliseCase{"SMITH J.A.", "SMITH J."}, NormaliseCase{"DOE J.R.", "DOE J."},
                                         NormaliseCase{"DOE J.", "DOE J."}, NormaliseCase{"DOE J", "DOE J"},
                                         NormaliseCase{"DOE", "DOE"}, NormaliseCase{"A.B.C.", "A."},
                                         NormaliseCase{".X", "."}, NormaliseCase{"", ""}));

TEST_F(LitFileTranslatorTest, NamesAreTrimmedAndUpperCasedByteByByte)
{
    ASSERT_EQ(Read("AU:   m\xC3\xBCller a.b.  \t\nAU: o'brien\n"), CLitFileTranslator::ReadSucceeded);

    // Only a-z change; the two bytes of the UTF-8 u-umlaut stay as they are.
    EXPECT_EQ(NodeNames(Network), (Names{"M\xC3\xBCLLER A.", "O'BRIEN"}));
}

// --- Runs of author lines ---

TEST_F(LitFileTranslatorTest, ShortAndEmptyLinesDoNotEndARunOfAuthors)
{
    ASSERT_EQ(Read("AU: Aa1\n\nAU: Bb2\nxx\n     \nAU: Cc3\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(Network.ChainCount(), 3u);
    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,3\n");
}

TEST_F(LitFileTranslatorTest, AnyOtherLongLineEndsARunOfAuthors)
{
    ASSERT_EQ(Read("AU: Aa1\nnote: untagged\nAU: Bb2\nXX: unknown tag\nAU: Cc3\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ChainEnds(Network), (std::vector<NamePair>{{"AA1", "AA1"}, {"BB2", "BB2"}, {"CC3", "CC3"}}));
    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,1\n2,1\n3,1\n");
}

TEST_F(LitFileTranslatorTest, LabelsGoWithTheAuthorsTheyFollow)
{
    ASSERT_EQ(Read("AU: Aa1\nAU: Bb1\nPY: 2001\nJR:   Graphs  \nAU: Cc1\nPY: 2002\nBT: Book\n"),
              CLitFileTranslator::ReadSucceeded);

    ASSERT_EQ(Network.ChainCount(), 2u);
    const auto& pair = Network.Chains().front()->Attribute();
    EXPECT_EQ((Names{pair.First, pair.Second, pair.Third}), (Names{"2001", "", "Graphs"}));
    const auto& loop = Network.Chains().back()->Attribute();
    EXPECT_EQ((Names{loop.First, loop.Second, loop.Third}), (Names{"2002", "Book", ""}));
}

TEST_F(LitFileTranslatorTest, WindowsLineEndsReadLikeUnixOnes)
{
    ASSERT_EQ(Read("AU: Aa1\r\nAU: Bb1\r\nPY: 2001\r\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ChainEnds(Network), (std::vector<NamePair>{{"AA1", "BB1"}}));
    EXPECT_EQ(Network.Chains().front()->Attribute().First, "2001");
}

TEST_F(LitFileTranslatorTest, AnEmptyBibliographyGivesAnEmptyNetwork)
{
    ASSERT_EQ(Read(""), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(Network.NodeCount(), 0u);
    EXPECT_EQ(Network.ChainCount(), 0u);
    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader);
    EXPECT_TRUE(HasMessage("The number of authors is: 0"));
}

// --- Lines that are not text ---

TEST_F(LitFileTranslatorTest, LinesThatAreNotTextAreListedAndLeaveTheRunOfAuthorsWhole)
{
    ASSERT_EQ(Read("AU: Aa1\n"
                   "AU: Bad\xC0\xAF\n"         // 2: an overlong form of "/"
                   "AU: Bb1\n"
                   "AU: Bad\xED\xA0\x80\n"     // 4: a surrogate
                   "AU: Bad\xF4\x90\x80\x80\n" // 5: above U+10FFFF
                   "AU: Bad\xE2\x82\n"         // 6: a sequence cut short
                   "AU: Bad\x80 \n"            // 7: a continuation byte without a lead
                   "AU: M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80\n" // two, three and four bytes
                   "AU: Nul\0Cut\n"s +          // 9
                   "\xFF\n"                     // 10: short, but no text either
                   "untagged line\n"            // part of the format
                   "PY: 2001\n"),
              CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(NodeNames(Network), (Names{"AA1", "BB1", "M\xC3\xBCLLER \xE2\x82\xAC \xF0\x9F\x98\x80"}));
    EXPECT_EQ(Network.ChainCount(), 3u);
    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,3\n");
    const std::string_view utf8 = "not valid UTF-8";
    EXPECT_EQ(Translator.DamagedLines().Listed(),
              (std::vector<CDamagedLines::Line>{
                  {2, utf8}, {4, utf8}, {5, utf8}, {6, utf8}, {7, utf8}, {9, "a NUL byte"}, {10, utf8}}));
}

// --- The paper summary ---

TEST_F(LitFileTranslatorTest, SummaryListsEveryPaperBesideTheBibliography)
{
    // The first line is an author line: the flush before it finds no paper and writes nothing.
    ASSERT_EQ(Read("AU: Aa1\nPY: 2001\nAU: Bb1\nAU: Cc1\nAU: Dd1\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,1\n2,3\n");
    EXPECT_EQ(FolderEntries(Dir.Path()), (Names{"refs.txt", "refs_paper_sum.csv"})); // no temporaries
    EXPECT_EQ(Translator.PaperCounter(), 3);
}

TEST_F(LitFileTranslatorTest, PaperCounterKeepsCountingOverASecondBibliography)
{
    ASSERT_EQ(Read("AU: Aa1\nPY: 2001\nAU: Bb1\n"), CLitFileTranslator::ReadSucceeded);
    ASSERT_EQ(Read("AU: Cc1\nAU: Dd1\n", "more.txt"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,1\n2,1\n");
    EXPECT_EQ(ReadText(Dir.File("more_paper_sum.csv")), SummaryHeader + "3,2\n");
    EXPECT_EQ(Translator.PaperCounter(), 4);
    EXPECT_EQ(Network.NodeCount(), 4u);
}

TEST_F(LitFileTranslatorTest, AnExistingSummaryIsReplacedWhole)
{
    WriteText(Dir.File("refs_paper_sum.csv"), SummaryHeader + std::string(5000, 'x') + "\n");

    ASSERT_EQ(Read("AU: Aa1\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ReadText(Dir.File("refs_paper_sum.csv")), SummaryHeader + "1,1\n");
}

TEST_F(LitFileTranslatorTest, AnUnwritableSummaryIsReportedAndTheReadGoesOn)
{
    // A folder where the summary belongs: a file cannot be put there.
    std::filesystem::create_directory(Dir.File("refs_paper_sum.csv"));

    ASSERT_EQ(Read("AU: Aa1\nAU: Bb1\n"), CLitFileTranslator::ReadSucceeded);

    EXPECT_TRUE(HasMessage(SummaryRefused));
    EXPECT_EQ(Network.ChainCount(), 1u);
    EXPECT_TRUE(std::filesystem::is_directory(Dir.File("refs_paper_sum.csv")));
    EXPECT_EQ(Translator.PaperCounter(), 2);
}

TEST_F(LitFileTranslatorTest, TheSummaryNeverReplacesTheBibliography)
{
    const std::string bibliography = "AU: Aa1\nAU: Bb1\n";
    WriteText(Dir.File("refs.txt"), bibliography);
    std::filesystem::create_symlink("refs.txt", Dir.File("refs_paper_sum.csv"));
    std::filesystem::create_hard_link(Dir.File("refs.txt"), Dir.File("hard.txt"));
    std::filesystem::create_hard_link(Dir.File("refs.txt"), Dir.File("hard_paper_sum.csv"));

    ASSERT_EQ(Translator.ReadBibliography(Dir.File("refs.txt")), CLitFileTranslator::ReadSucceeded);
    ASSERT_EQ(Translator.ReadBibliography(Dir.File("hard.txt")), CLitFileTranslator::ReadSucceeded);

    EXPECT_EQ(ReadText(Dir.File("refs.txt")), bibliography);
    EXPECT_EQ(ReadText(Dir.File("hard.txt")), bibliography);
    EXPECT_TRUE(std::filesystem::is_symlink(Dir.File("refs_paper_sum.csv")));
    EXPECT_TRUE(std::filesystem::equivalent(Dir.File("hard_paper_sum.csv"), Dir.File("refs.txt")));
    EXPECT_EQ(Ui->Messages().size(), 6u); // a refusal, the count and the time for each read
    EXPECT_TRUE(HasMessage(SummaryRefused));
}

struct SummaryPathCase {
    const char* Bibliography;
    const char* Summary;
};

class LitSummaryPath : public testing::TestWithParam<SummaryPathCase> {};

TEST_P(LitSummaryPath, ReplacesTheLastFourCharactersOfTheFileName)
{
    EXPECT_EQ(CLitFileTranslator::SummaryPathFor(GetParam().Bibliography), GetParam().Summary);
}

INSTANTIATE_TEST_SUITE_P(Paths, LitSummaryPath,
                         testing::Values(SummaryPathCase{"/d/refs.txt", "/d/refs_paper_sum.csv"},
                                         SummaryPathCase{"/d/refs.TXT", "/d/refs_paper_sum.csv"},
                                         SummaryPathCase{"refs.txt", "refs_paper_sum.csv"},
                                         SummaryPathCase{"/d/abtxt", "/d/a_paper_sum.csv"},
                                         // A name shorter than four characters is replaced whole,
                                         // so the summary stays in the bibliography's folder.
                                         SummaryPathCase{"/d/txt", "/d/_paper_sum.csv"},
                                         SummaryPathCase{"txt", "_paper_sum.csv"}));

// --- Files that cannot be read ---

TEST_F(LitFileTranslatorTest, AMissingFileIsReportedNotReadAsEmpty)
{
    const std::string missing = Dir.File("missing.txt");

    EXPECT_EQ(Translator.ReadBibliography(missing), CLitFileTranslator::ReadFailed);

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + missing + "\": No such file or directory."}));
    EXPECT_EQ(Network.ChainCount(), 0u);
    EXPECT_TRUE(FolderEntries(Dir.Path()).empty()); // no summary either
}

TEST_F(LitFileTranslatorTest, AFolderIsReportedAsUnreadable)
{
    std::filesystem::create_directory(Dir.File("folder.txt"));

    EXPECT_EQ(Translator.ReadBibliography(Dir.File("folder.txt")), CLitFileTranslator::ReadFailed);

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot read the file \"" + Dir.File("folder.txt") + "\": Is a directory."}));
    EXPECT_EQ(FolderEntries(Dir.Path()), (Names{"folder.txt"}));
}

// --- Messages and layout ---

TEST_F(LitFileTranslatorTest, ReportsTheAuthorCountAndTheTopologyTime)
{
    ASSERT_EQ(Read("AU: Aa1\nAU: Bb1\nAU: Cc1\n"), CLitFileTranslator::ReadSucceeded);

    const Names messages = Ui->Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], "The number of authors is: 3");
    EXPECT_TRUE(test::IsTopologyTimeMessage(messages[1])) << messages[1];
    EXPECT_GE(Translator.TopologyMilliseconds(), 0.0);
}

TEST_F(LitFileTranslatorTest, AuthorsLieOnACircleJoinedByStraightChains)
{
    ASSERT_EQ(Read("AU: Aa1\nAU: Bb1\nAU: Cc1\nAU: Dd1\n"), CLitFileTranslator::ReadSucceeded);

    const CNetworkNode& first = *Network.Nodes().front();
    EXPECT_EQ(first.Name(), "AA1");
    EXPECT_DOUBLE_EQ(first.X(), 0.0);
    EXPECT_DOUBLE_EQ(first.Y(), 100.0);
    for (const auto& node : Network.Nodes()) {
        EXPECT_NEAR(std::hypot(node->X(), node->Y()), 100.0, 1e-9);
        EXPECT_NE(node->ID(), 0u);
    }
    for (const auto& chain : Network.Chains()) {
        ASSERT_EQ(chain->PointCount(), 2);
        const double* points = chain->Points();
        EXPECT_EQ(points[0], chain->From()->X());
        EXPECT_EQ(points[1], chain->From()->Y());
        EXPECT_EQ(points[2], chain->To()->X());
        EXPECT_EQ(points[3], chain->To()->Y());
    }
    EXPECT_EQ(Network.Extent(), (CExtent{-100.0, -100.0, 100.0, 100.0}));
}

// --- Lines no bibliography should hold ---

TEST_F(LitFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string longName(std::size_t{1} << 20, 'q');
    const std::string text = test::JoinLines(test::HostileLines()) + "AU: Valid A.\nAU: Valid B.\n" +
                             "AU: " + longName + "\nPY: 2001\n" + test::JoinLines(test::HostileLines()) +
                             "AU: Last Z."; // no line end at the end of the file

    ASSERT_EQ(Read(text), CLitFileTranslator::ReadSucceeded);

    ASSERT_NE(FindNode(Network, "VALID A."), nullptr);
    ASSERT_NE(FindNode(Network, "VALID B."), nullptr);
    ASSERT_NE(FindNode(Network, "LAST Z."), nullptr);
    // The megabyte-long name is no text line; the two valid authors remain one paper.
    EXPECT_EQ(FindNode(Network, std::string(longName.size(), 'Q')), nullptr);
    EXPECT_EQ(FindNode(Network, "VALID A.")->ChainCount(), 1u);
    EXPECT_FALSE(Translator.DamagedLines().Empty());
    for (const auto& node : Network.Nodes()) {
        EXPECT_EQ(node->Name().find('\0'), std::string::npos);
        EXPECT_EQ(node->Name().find("NUL-CUT"), std::string::npos);
    }
}

} // namespace
} // namespace tessaro
