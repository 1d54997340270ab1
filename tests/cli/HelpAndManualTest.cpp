// The program's own descriptions of itself: --version gives the project's version, and the
// manual page documents every command and every option that the commands' --help lists, with
// every exit status, so the page cannot fall behind the program.
#include "tests/cli/CliRunner.h"
#include "tests/support/TempDir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

namespace tessaro::test {
namespace {

using ::testing::StartsWith;

std::string ManualPage()
{
    std::ifstream in(std::string(TESSARO_SOURCE_DIR) + "/packaging/tessaro-cli.1");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The long options a help text lists, e.g. "--output-dir": "--" and a lower-case word with
// hyphens, at the start or after a blank, "[" or ",".
std::set<std::string> LongOptions(const std::string& help)
{
    std::set<std::string> options;
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
        if (at > 0 && std::string(" \t\n[,").find(help[at - 1]) == std::string::npos)
            continue;
        size_t end = at + 2;
        if (end >= help.size() || !std::islower(static_cast<unsigned char>(help[end])))
            continue;
        while (end < help.size() && (std::islower(static_cast<unsigned char>(help[end])) || help[end] == '-'))
            ++end;
        options.insert(help.substr(at, end - at));
    }
    return options;
}

// A manual page writes each hyphen of an option as "\-".
std::string AsWrittenInTheManual(const std::string& option)
{
    std::string written;
    for (const char c : option)
        written += c == '-' ? std::string("\\-") : std::string(1, c);
    return written;
}

TEST(HelpAndManualTest, VersionIsTheProjectsVersion)
{
    const CTempDir folder;
    const CommandResult result = RunCli("--version", folder);
    EXPECT_EQ(result.Exit, 0) << result.Err;
    EXPECT_THAT(result.Out, StartsWith("tessaro-cli " TESSARO_PROJECT_VERSION));
    EXPECT_EQ(result.Out.find('\n'), result.Out.size() - 1) << "one line: " << result.Out;
}

TEST(HelpAndManualTest, ManualPageDocumentsEveryCommandAndOption)
{
    const CTempDir folder;
    const std::string manual = ManualPage();
    ASSERT_FALSE(manual.empty());
    const CommandResult top = RunCli("--help", folder);
    ASSERT_EQ(top.Exit, 0) << top.Err;
    std::set<std::string> options = LongOptions(top.Out);
    for (const std::string command : {"cartogram", "info", "fields", "params", "check", "graph", "route"}) {
        SCOPED_TRACE(command);
        EXPECT_NE(manual.find(".SS \"" + command + " "), std::string::npos) << "no section for the command";
        const CommandResult help = RunCli(command + " --help", folder);
        ASSERT_EQ(help.Exit, 0) << help.Err;
        const std::set<std::string> own = LongOptions(help.Out);
        options.insert(own.begin(), own.end());
    }
    EXPECT_GT(options.size(), 30u) << "the help texts' options were not found";
    for (const std::string& option : options)
        EXPECT_NE(manual.find(AsWrittenInTheManual(option)), std::string::npos) << option << " is not in the manual";
}

TEST(HelpAndManualTest, ManualPageGivesEveryExitStatus)
{
    const std::string manual = ManualPage();
    const size_t section = manual.find(".SH EXIT STATUS");
    ASSERT_NE(section, std::string::npos);
    const std::string statuses = manual.substr(section, manual.find(".SH", section + 1) - section);
    for (const std::string status : {"0", "1", "2", "130"})
        EXPECT_NE(statuses.find(".B " + status + "\n"), std::string::npos) << status;
}

} // namespace
} // namespace tessaro::test
