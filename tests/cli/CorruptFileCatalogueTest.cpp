#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessaro::test {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

const fs::path Catalogue = fs::path(TESSARO_SOURCE_DIR) / "tests/data/corrupt";

struct CorruptCase {
    std::string Name;
    int CartogramExit = 0;
    int InfoExit = 0;
    std::string Message;
};

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
        std::getline(fields, entry.Name, '\t');
        std::getline(fields, cartogramExit, '\t');
        std::getline(fields, infoExit, '\t');
        std::getline(fields, entry.Message);
        entry.CartogramExit = std::stoi(cartogramExit);
        entry.InfoExit = std::stoi(infoExit);
        cases.push_back(entry);
    }
    return cases;
}

// Copies the case's files (its .shp, .dbf and any parameter file) into a fresh folder.
void CopyCase(const std::string& name, const CTempDir& folder)
{
    for (const auto& entry : fs::directory_iterator(Catalogue))
        if (entry.path().stem() == name)
            fs::copy_file(entry.path(), folder.File(entry.path().filename().string()));
}

// Every damaged file of the catalogue gets its own message and a non-zero exit from the
// cartogram, and nothing is written; `info` reports the shapefile damage with its status.
TEST(CorruptFileCatalogue, EveryCaseIsRefusedWithItsMessageAndWritesNothing)
{
    const std::vector<CorruptCase> cases = ReadCatalogue();
    ASSERT_GE(cases.size(), 20u);
    for (const CorruptCase& entry : cases) {
        SCOPED_TRACE(entry.Name);
        CTempDir folder;
        CopyCase(entry.Name, folder);
        const std::vector<std::string> before = FolderEntries(folder.Path());
        const std::string params = fs::exists(folder.File(entry.Name + ".cartoparam"))
                                       ? " --params " + folder.File(entry.Name + ".cartoparam")
                                       : "";
        const CommandResult run = RunCli("--yes cartogram " + folder.File(entry.Name + ".shp") +
                                             " --field POP --threads 1" + params,
                                         folder);
        EXPECT_EQ(run.Exit, entry.CartogramExit);
        EXPECT_THAT(run.Err, HasSubstr(entry.Message));
        EXPECT_EQ(run.Out, "");
        std::vector<std::string> after = FolderEntries(folder.Path());
        std::erase(after, "stderr.txt");
        EXPECT_EQ(after, before);

        const CommandResult info = RunCli("info " + folder.File(entry.Name + ".shp"), folder);
        EXPECT_EQ(info.Exit, entry.InfoExit);
        if (entry.InfoExit != 0) {
            EXPECT_THAT(info.Err, HasSubstr(entry.Message));
        }
    }
}

} // namespace
} // namespace tessaro::test
