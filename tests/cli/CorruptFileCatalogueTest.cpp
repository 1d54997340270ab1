#include "graphio/CitationFileTranslator.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

const fs::path Catalogue = fs::path(TESSARO_SOURCE_DIR) / "tests/data/corrupt";

struct CorruptCase {
    std::string Name;
    // Each command's exit status; none when the case leaves the command out.
    std::optional<int> CartogramExit;
    std::optional<int> InfoExit;
    std::optional<int> CheckExit;
    std::optional<int> GraphExit; // also the route's
    std::string Message;          // "-": none is asked for
};

std::optional<int> ExitField(const std::string& text)
{
    return text == "-" ? std::nullopt : std::optional<int>(std::stoi(text));
}

std::vector<CorruptCase> ReadCatalogue()
{
    std::vector<CorruptCase> cases;
    std::ifstream table(Catalogue / "catalogue.tsv");
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#')
            continue;
        std::istringstream fields(line);
        CorruptCase entry;
        std::string cartogramExit;
        std::string infoExit;
        std::string checkExit;
        std::string graphExit;
        std::getline(fields, entry.Name, '\t');
        std::getline(fields, cartogramExit, '\t');
        std::getline(fields, infoExit, '\t');
        std::getline(fields, checkExit, '\t');
        std::getline(fields, graphExit, '\t');
        std::getline(fields, entry.Message);
        entry.CartogramExit = ExitField(cartogramExit);
        entry.InfoExit = ExitField(infoExit);
        entry.CheckExit = ExitField(checkExit);
        entry.GraphExit = ExitField(graphExit);
        cases.push_back(entry);
    }
    return cases;
}

// A text case names its file with the ending; a shapefile case is opened by its .shp.
std::string OpenedFile(const std::string& name)
{
    return fs::path(name).has_extension() ? name : name + ".shp";
}

// Copies the case's files into a fresh folder: those named like the case (a shapefile's .shp,
// .dbf and any parameter file; a text file) and the citation table an author table reads.
void CopyCase(const std::string& name, const CTempDir& folder)
{
    const fs::path stem = fs::path(name).stem();
    for (const auto& entry : fs::directory_iterator(Catalogue))
        if (entry.path().stem() == stem)
            fs::copy_file(entry.path(), folder.File(entry.path().filename().string()));
    if (fs::path(name).extension() == ".csv") {
        const std::string citations = CCitationFileTranslator::CitationTablePathFor(name);
        fs::copy_file(Catalogue / citations, folder.File(citations));
    }
}

// What a command left in the folder, apart from the standard error captured there and the paper
// summary that every bibliography read writes beside its file.
std::vector<std::string> Entries(const CTempDir& folder)
{
    std::vector<std::string> entries = FolderEntries(folder.Path());
    std::erase_if(entries, [](const std::string& name) {
        return name == "stderr.txt" || name.ends_with("_paper_sum.csv");
    });
    return entries;
}

// Runs the command. A refusal must give the case's message and write nothing; an accepted file
// must give no error (and the case's message, when it names one).
void ExpectOutcome(const std::string& arguments, int exit, const CorruptCase& entry, const CTempDir& folder)
{
    SCOPED_TRACE(arguments);
    const std::vector<std::string> before = Entries(folder);
    const CommandResult run = RunCli(arguments, folder);
    EXPECT_EQ(run.Exit, exit) << run.Err;
    if (entry.Message != "-") {
        EXPECT_THAT(run.Err, HasSubstr(entry.Message));
    }
    if (exit == 0) {
        EXPECT_THAT(run.Err, Not(HasSubstr("error: ")));
        return;
    }
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(Entries(folder), before);
}

// A command whose output is the listing: only the exit and, on a refusal, the message.
void ExpectStatus(const std::string& arguments, int exit, const CorruptCase& entry, const CTempDir& folder)
{
    SCOPED_TRACE(arguments);
    const CommandResult run = RunCli(arguments, folder);
    EXPECT_EQ(run.Exit, exit) << run.Err;
    if (exit != 0) {
        EXPECT_THAT(run.Err, HasSubstr(entry.Message));
    }
}

// Every damaged file of the catalogue gets its own message and a non-zero exit, and nothing is
// written: the cartogram refuses a damaged shapefile, table or parameter file; `info` and
// `check` report the damage with their status; `graph` and `route` refuse a network read from
// part of a file. The route goes from a node to itself, which any network read whole would
// answer. The files that look damaged but are sound (names in other character sets, tiny rings)
// are read without an error.
TEST(CorruptFileCatalogue, EveryCaseGivesItsExitAndMessage)
{
    const std::vector<CorruptCase> cases = ReadCatalogue();
    ASSERT_GE(cases.size(), 40u);
    for (const CorruptCase& entry : cases) {
        SCOPED_TRACE(entry.Name);
        CTempDir folder;
        CopyCase(entry.Name, folder);
        const std::string input = folder.File(OpenedFile(entry.Name));
        if (entry.CartogramExit) {
            const std::string params = fs::exists(folder.File(entry.Name + ".cartoparam"))
                                           ? " --params " + folder.File(entry.Name + ".cartoparam")
                                           : "";
            ExpectOutcome("--yes cartogram " + input + " --field POP --threads 1" + params, *entry.CartogramExit, entry,
                          folder);
        }
        if (entry.InfoExit)
            ExpectStatus("info " + input, *entry.InfoExit, entry, folder);
        if (entry.CheckExit)
            ExpectStatus("check " + input, *entry.CheckExit, entry, folder);
        if (entry.GraphExit) {
            ExpectOutcome("graph " + input + " --pajek " + folder.File("out.net"), *entry.GraphExit, entry, folder);
            ExpectOutcome("route " + input + " --from-xy 0,100 --to-xy 0,100", *entry.GraphExit, entry, folder);
        }
    }
}

} // namespace
} // namespace tessaro::test
