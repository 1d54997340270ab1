#include "app/InformationOptions.h"

#include "platform/Version.h"

#include <string_view>

namespace tessaro {

namespace {

constexpr std::string_view Usage =
    "Usage: tessaro [FILE]...\n"
    "The Tessaro desktop program: area cartograms and a network workbench.\n"
    "\n"
    "Each FILE opens in a document of its own: a shapefile (.shp), a bibliography (.txt), a citation\n"
    "table (.csv) or a flight table (.flt). Without one the program starts with an empty document.\n"
    "\n"
    "Options:\n"
    "  --help      Print this text and exit\n"
    "  --version   Print the version and exit\n"
    "Qt's own options (-platform, -style, ...) are taken as well.\n"
    "The command-line program is tessaro-cli (see tessaro-cli --help).\n";

} // namespace

std::optional<int> AnswerInformationOptions(int argc, const char* const* argv, std::ostream& out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--")
            break;
        if (argument == "--version") {
            out << "tessaro " << ProgramVersion() << '\n';
            return 0;
        }
        if (argument == "--help" || argument == "-h") {
            out << Usage;
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace tessaro
