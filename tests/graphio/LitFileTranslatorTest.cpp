#include "graphio/LitFileTranslator.h"

#include "network/Network.h"
#include "platform/RecordingUserInterface.h"
#include "tests/graphio/TranslatorTestSupport.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tessaro {
namespace {

using namespace test;
using Names = std::vector<std::string>;
using Pairs = std::vector<NamePair>;
using namespace std::string_literals;
namespace fs = std::filesystem;

constexpr int Succeeded = CLitFileTranslator::ReadSucceeded;
const std::string SummaryHeader = "PaperID,Number of Authors\n";

class LitFileTranslatorTest : public testing::Test {
protected:
    LitFileTranslatorTest() { Network.SetKeyMode(KeyByName); }

    int Read(const std::string& text, const std::string& name = "refs.txt")
    {
        WriteText(Dir.File(name), text);
        return Translator.ReadBibliography(Dir.File(name));
    }
    std::string Summary(const std::string& stem = "refs") const { return ReadText(Dir.File(stem + "_paper_sum.csv")); }

    CTempDir Dir;
    CScopedRecordingUserInterface Ui;
    CNetwork Network;
    CLitFileTranslator Translator{&Network};
};

// Also the count, the time and the layout on a circle that every read ends with.
TEST_F(LitFileTranslatorTest, EveryRunOfAuthorLinesIsAPaperWhoseAuthorsFormACliqueOrALoop)
{
    struct Case {
        std::string Text;
        Pairs Ends;
        size_t Nodes;
        std::string Summary;
    };
    const std::vector<Case> cases = {
        {"AU: Smith A.\nAU: Jones B.\nAU: Brown C.\nPY: 2001\n",
         {{"SMITH A.", "JONES B."}, {"SMITH A.", "BROWN C."}, {"JONES B.", "BROWN C."}}, 3, "1,3\n"},
        {"AU: Smith A.\nPY: 1999\n", {{"SMITH A.", "SMITH A."}}, 1, "1,1\n"},
        {"AU: Doe J.\nAU: Lee K.\nPY: 2000\nAU: DOE J.R.\nAU: Lee K.\n",
         {{"DOE J.", "LEE K."}, {"DOE J.", "LEE K."}}, 2, "1,2\n2,2\n"},
        // Trimmed and upper-cased byte by byte: the UTF-8 u-umlaut stays as it is.
        {"AU:   m\xC3\xBCller a.b.  \t\nAU: o'brien\n", {{"M\xC3\xBCLLER A.", "O'BRIEN"}}, 2, "1,2\n"},
        // Short and blank lines do not end a run; any other line does. A tag followed by blanks
        // only is an author line whose name is empty.
        {"AU: Aa1\n\nAU: Bb2\nxx\n     \nAU:    \nAU: Cc3\n",
         {{"AA1", "BB2"}, {"AA1", ""}, {"AA1", "CC3"}, {"BB2", ""}, {"BB2", "CC3"}, {"", "CC3"}}, 4, "1,4\n"},
        {"AU: Aa1\nnote: untagged\nAU: Bb2\nXX: unknown tag\nAU: Cc3\n",
         {{"AA1", "AA1"}, {"BB2", "BB2"}, {"CC3", "CC3"}}, 3, "1,1\n2,1\n3,1\n"},
        {"", {}, 0, ""},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.Text);
        Ui->ClearEntries();
        CNetwork network;
        network.SetKeyMode(KeyByName);
        CLitFileTranslator translator(&network);
        WriteText(Dir.File("refs.txt"), row.Text);
        ASSERT_EQ(translator.ReadBibliography(Dir.File("refs.txt")), Succeeded);
        EXPECT_EQ(ChainEnds(network), row.Ends);
        EXPECT_EQ(network.NodeCount(), row.Nodes);
        EXPECT_EQ(Summary(), SummaryHeader + row.Summary);
        for (const auto& chain : network.Chains())
            EXPECT_EQ(chain->Attribute().GetWeightedLength(), 1.0);
        ExpectCountTimeAndCircle(network, Ui->Messages(), "The number of authors is: " + std::to_string(row.Nodes));
        EXPECT_EQ(network.Extent(), (CExtent{-100.0, -100.0, 100.0, 100.0}));
        EXPECT_GE(translator.TopologyMilliseconds(), 0.0);
    }
}

TEST_F(LitFileTranslatorTest, LabelsGoWithTheAuthorsTheyFollow)
{
    ASSERT_EQ(Read("AU: Aa1\nAU: Bb1\nPY: 2001\nJR:   Graphs  \nAU: Cc1\nBT: Book\n"), Succeeded);

    ASSERT_EQ(Network.ChainCount(), 2u);
    const auto& pair = Network.Chains().front()->Attribute();
    EXPECT_EQ((Names{pair.First, pair.Second, pair.Third}), (Names{"2001", "", "Graphs"}));
    const auto& loop = Network.Chains().back()->Attribute();
    EXPECT_EQ((Names{loop.First, loop.Second, loop.Third}), (Names{"", "Book", ""}));
}

// Names in a single-byte character set (Latin-1, GBK) or in broken UTF-8 are kept as their
// bytes, upper-cased in ASCII only; a NUL byte is damage and leaves the run of authors whole.
TEST_F(LitFileTranslatorTest, NamesThatAreNotUtf8AreKeptAsTheirBytesAndNulLinesAreListed)
{
    ASSERT_EQ(Read("AU: Aa1\n"
                   "AU: M\xFCller K.\n"                                // 2: Latin-1
                   "AU: \xD5\xC5\xC8\xFD\n"                            // 3: GBK
                   "AU: Bad\xC0\xAF\n"                                 // 4: an overlong form of "/"
                   "AU: M\xC3\xBCller \xE2\x82\xAC \xF0\x9F\x98\x80\n" // two, three and four bytes
                   "AU: Nul\0Cut\n"s +                                 // 6
                   "untagged line\n"
                   "PY: 2001\n"),
              Succeeded);

    EXPECT_THAT(NodeNames(Network),
                testing::UnorderedElementsAre("AA1", "M\xFCLLER K.", "\xD5\xC5\xC8\xFD", "BAD\xC0\xAF",
                                              "M\xC3\xBCLLER \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_EQ(Summary(), SummaryHeader + "1,5\n");
    EXPECT_EQ(Translator.DamagedLines().Listed(), (std::vector<CDamagedLines::Line>{{6, "a NUL byte"}}));
}

// A summary takes the place of the file name's last four characters, whatever they are (of a
// shorter name, the whole name), and the paper numbers run on over further bibliographies.
TEST_F(LitFileTranslatorTest, SummariesLieBesideTheirBibliographyAndPaperNumbersRunOn)
{
    for (const auto& [path, summary] : std::vector<NamePair>{{"/d/abtxt", "/d/a_paper_sum.csv"},
                                                            {"/d/txt", "/d/_paper_sum.csv"},
                                                            {"txt", "_paper_sum.csv"}})
        EXPECT_EQ(CLitFileTranslator::SummaryPathFor(path), summary);

    ASSERT_EQ(Read("AU: Aa1\nPY: 2001\nAU: Bb1\n"), Succeeded);
    ASSERT_EQ(Read("AU: Cc1\nAU: Dd1\n", "more.txt"), Succeeded);

    EXPECT_EQ(Summary(), SummaryHeader + "1,1\n2,1\n");
    EXPECT_EQ(Summary("more"), SummaryHeader + "3,2\n");
    EXPECT_EQ(Translator.PaperCounter(), 4);
}

// A folder in the summary's place, or a link from the summary to the bibliography.
TEST_F(LitFileTranslatorTest, ASummaryThatCannotBeWrittenSafelyIsRefusedAndTheReadGoesOn)
{
    const std::string text = "AU: Aa1\nAU: Bb1\n";
    fs::create_directory(Dir.File("dir_paper_sum.csv"));
    fs::create_symlink("refs.txt", Dir.File("refs_paper_sum.csv"));

    for (const char* name : {"dir.txt", "refs.txt"}) {
        Ui->ClearEntries();
        ASSERT_EQ(Read(text, name), Succeeded) << name;
        EXPECT_EQ(Ui->Messages().size(), 3u) << name; // the refusal, the count and the time
        EXPECT_THAT(Ui->Messages().front(),
                    testing::StartsWith("Can't create or open this file for write!\n" +
                                        Dir.File(fs::path(name).stem().string() + "_paper_sum.csv") + ": "))
            << name;
    }
    EXPECT_EQ(Network.ChainCount(), 2u);
    EXPECT_TRUE(fs::is_directory(Dir.File("dir_paper_sum.csv")));
    EXPECT_TRUE(fs::is_symlink(Dir.File("refs_paper_sum.csv")));
}

TEST_F(LitFileTranslatorTest, AFileThatCannotBeReadIsReportedAndNoSummaryIsWritten)
{
    const std::string missing = Dir.File("missing.txt"), folder = Dir.File("folder.txt");
    fs::create_directory(folder);
    EXPECT_EQ(Translator.ReadBibliography(missing), CLitFileTranslator::ReadFailed);
    EXPECT_EQ(Translator.ReadBibliography(folder), CLitFileTranslator::ReadFailed);

    EXPECT_EQ(Ui->Messages(), (Names{"Cannot open the file \"" + missing + "\": No such file or directory.",
                                     "Cannot read the file \"" + folder + "\": Is a directory."}));
    EXPECT_EQ(FolderEntries(Dir.Path()), (Names{"folder.txt"}));
}

TEST_F(LitFileTranslatorTest, HostileLinesNeverReachOutsideTheirLine)
{
    const std::string longName(std::size_t{1} << 20, 'q');
    const std::string hostile = HostileLines();
    ASSERT_EQ(Read(hostile + "AU: Valid A.\nAU: Valid B.\nAU: " + longName + "\nPY: 2001\n" + hostile + "AU: Last Z."),
              Succeeded);

    // The megabyte-long name is no text line; the two valid authors remain one paper.
    EXPECT_EQ(ChainEnds(Network), (Pairs{{"VALID A.", "VALID B."}, {"LAST Z.", "LAST Z."}}));
    EXPECT_FALSE(Translator.DamagedLines().Empty());
}

} // namespace
} // namespace tessaro
