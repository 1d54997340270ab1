// tessaro-cli: the batch front end. Each subcommand reads like the work it runs; the work
// itself lives in the libraries.
#include "cli/InfoCommand.h"
#include "platform/ConsoleUserInterface.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <unistd.h>

namespace {

using tessaro::CConsoleUserInterface;

// --yes and --no answer the readers' questions; without them a terminal is asked and a
// pipeline gets No, the answer that reads nothing the user did not confirm.
CConsoleUserInterface::AnswerPolicy ChooseAnswerPolicy(bool yes, bool no)
{
    if (yes)
        return CConsoleUserInterface::AnswerPolicy::AlwaysYes;
    if (no || ::isatty(STDIN_FILENO) == 0)
        return CConsoleUserInterface::AnswerPolicy::AlwaysNo;
    return CConsoleUserInterface::AnswerPolicy::Ask;
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"tessaro-cli: area cartograms and network files from the command line"};
    app.set_version_flag("--version", "tessaro-cli 0.1.0");
    app.require_subcommand(1);
    app.fallthrough();

    bool yes = false;
    bool no = false;
    auto* yesFlag = app.add_flag("--yes", yes, "Answer Yes to every question of the readers");
    app.add_flag("--no", no, "Answer No to every question of the readers")->excludes(yesFlag);

    tessaro::InfoOptions info;
    CLI::App* infoCommand = app.add_subcommand("info", "Read a shapefile and summarise it: type, records, extent, contents");
    infoCommand->add_option("FILE", info.Path, "The .shp file to read")->required();
    infoCommand->add_flag("--polygons", info.AsPolygonInput,
                          "Read as cartogram input: polygons wanted, other types only after a Yes");

    CLI11_PARSE(app, argc, argv);

    tessaro::InstallUserInterface(
        std::make_unique<CConsoleUserInterface>(std::cerr, ChooseAnswerPolicy(yes, no), &std::cin));

    if (infoCommand->parsed())
        return tessaro::RunInfoCommand(info, std::cout);
    return 2;
}
