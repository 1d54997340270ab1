// `cartogram --html`: the page is written and named; a name that is not a web page's or a link to
// one of the run's inputs is refused before the run, a missing folder after it, each with a
// message, the input untouched.
#include "tests/cli/CliRunner.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace tessaro {
namespace {

using ::testing::HasSubstr;

struct HtmlCase {
    const char* Name;
    std::string Page; // relative to the run's folder
    int Exit;
    const char* Says;
    bool Runs; // the cartogram is made before the page is refused
};

TEST(HtmlOptionTest, ThePageIsWrittenOrRefusedWithAReason)
{
    const test::CTempDir folder;
    for (const char* extension : {".shp", ".shx", ".dbf", ".prj"})
        std::filesystem::copy_file(std::string(TESSARO_SOURCE_DIR) + "/examples/us_states/us_states" + extension,
                                   folder.File(std::string("us_states") + extension));
    const std::string table = test::ReadText(folder.File("us_states.dbf"));
    std::filesystem::create_symlink(folder.File("us_states.dbf"), folder.File("table.html"));
    const std::vector<HtmlCase> cases = {
        {"written", "states.html", 0, "", true},
        {"not a web page", "states.png", 2, "must end in .html or .htm", false},
        {"missing folder", "missing/states.html", 1, "No such file or directory", true},
        {"an input by another name", "table.html", 2, "us_states.dbf", false},
    };
    for (const HtmlCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove_all(folder.File("out"));
        const test::CommandResult result =
            test::RunCli("cartogram " + folder.File("us_states.shp") + " --field POP --output-dir " +
                             folder.File("out") + " --html " + folder.File(c.Page),
                         folder);
        EXPECT_EQ(result.Exit, c.Exit) << result.Err;
        EXPECT_THAT(result.Err, HasSubstr(c.Says));
        EXPECT_EQ(std::filesystem::exists(folder.File("out/us_states_nfo.txt")), c.Runs);
        if (c.Exit == 0) {
            EXPECT_THAT(result.Out, HasSubstr("Web page: " + folder.File(c.Page) + "\n"));
            EXPECT_THAT(test::ReadText(folder.File(c.Page)), HasSubstr("<!DOCTYPE html>"));
        }
    }
    EXPECT_EQ(test::ReadText(folder.File("us_states.dbf")), table);
}

} // namespace
} // namespace tessaro
