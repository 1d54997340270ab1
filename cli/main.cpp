// tessaro-cli: the batch front end. Each subcommand reads like the work it runs; the work
// itself lives in the libraries.
#include "cli/CartogramCommand.h"
#include "cli/CheckCommand.h"
#include "cli/FieldsCommand.h"
#include "cli/GraphCommand.h"
#include "cli/InfoCommand.h"
#include "cli/ParamsCommand.h"
#include "cli/RouteCommand.h"
#include "platform/ConsoleUserInterface.h"
#include "platform/MemoryPolicy.h"
#include "platform/Version.h"
#include "render/HtmlMapPage.h"

#include <CLI/CLI.hpp>

#include <clocale>
#include <iostream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using tessaro::CConsoleUserInterface;
using tessaro::MapStyle;

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

// Every refusal of the argument parser (a missing or malformed argument, an unknown option or
// command) exits with 2, the status of unusable input, after the parser's own message; help
// and version exit with 0.
int ParseFailure(const CLI::App& app, const CLI::ParseError& error)
{
    return app.exit(error) == 0 ? 0 : 2;
}

// The check of an option that sets a cartogram parameter: the parameter's own rule, as a
// parameter file's value meets it. An option may narrow it further with checks of its own.
CLI::Validator ParamCheck(const char* name)
{
    return CLI::Validator([name](const std::string& text) { return tessaro::ParamOptionProblem(name, text); },
                          tessaro::ParamOptionRange(name));
}

// The name of a web page the run is to write.
CLI::Validator HtmlPageName()
{
    return CLI::Validator(
        [](const std::string& path) { return tessaro::CHtmlMapPage::CheckPath(path).value_or(std::string()); },
        "FILE.html");
}

// A whole number of at least `least`, said in words.
CLI::Validator AtLeast(int least)
{
    return CLI::Validator(
        [least](const std::string& text) -> std::string {
            try {
                size_t used = 0;
                if (std::stoll(text, &used) >= least && used == text.size())
                    return {};
            } catch (const std::exception&) {
            }
            return text + " is not a whole number of at least " + std::to_string(least);
        },
        "at least " + std::to_string(least));
}

// The --layer option of every command that reads a map.
constexpr const char* LayerHelp = "The layer to read from a source with several (GeoPackage)";

} // namespace

int main(int argc, char** argv)
{
    tessaro::ReturnLargeBlocksToSystem();
    CLI::App app{"tessaro-cli: area cartograms and network files from the command line"};
    app.set_version_flag("--version", std::string("tessaro-cli ") + tessaro::ProgramVersion());
    app.require_subcommand(1);
    app.fallthrough();
    // A refusal of the parser is an error line like every other refusal of the program.
    app.failure_message([](const CLI::App* parser, const CLI::Error& error) {
        std::string text = "error: " + std::string(error.what()) + "\n";
        if (parser->get_help_ptr() != nullptr)
            text += "Run with " + parser->get_help_ptr()->get_name() + " for more information.\n";
        return text;
    });

    bool yes = false;
    bool no = false;
    auto* yesFlag = app.add_flag("--yes", yes, "Answer Yes to every question of the readers");
    app.add_flag("--no", no, "Answer No to every question of the readers")->excludes(yesFlag);
    bool quiet = false;
    app.add_flag("--quiet", quiet, "Only errors on standard error: no counts, timings, progress or warnings");

    tessaro::InfoOptions info;
    CLI::App* infoCommand = app.add_subcommand("info", "Read a shapefile or another vector source and summarise it: type, records, extent, contents");
    infoCommand->add_option("FILE", info.Path, "The .shp file, or any vector source GDAL/OGR reads, to read")->required();
    infoCommand->add_option("--layer", info.Layer, LayerHelp);
    infoCommand->add_flag("--polygons", info.AsPolygonInput,
                          "Read as cartogram input: polygons wanted, other types only after a Yes");

    std::string fieldsPath;
    std::string fieldsLayer;
    CLI::App* fieldsCommand = app.add_subcommand("fields", "List the numeric fields a cartogram can take sizes from");
    fieldsCommand
        ->add_option("FILE", fieldsPath,
                     "The .shp file whose attribute table (.dbf) is listed, or any vector source GDAL/OGR reads")
        ->required();
    fieldsCommand->add_option("--layer", fieldsLayer, LayerHelp);

    tessaro::ParamsOptions params;
    CLI::App* paramsCommand = app.add_subcommand("params", "Print or write a cartogram parameter file (.cartoparam)");
    auto* readOption = paramsCommand->add_option("--read", params.ReadPath, "Print the parameters this file yields");
    auto* writeOption = paramsCommand->add_option("--write", params.WritePath, "Write the default parameters to this file")
        ->excludes(readOption);
    paramsCommand->add_flag("--list", params.List, "List every parameter: its name for --set, default, range and meaning")
        ->excludes(readOption)
        ->excludes(writeOption);

    tessaro::CartogramOptions carto;
    CLI::App* cartogramCommand =
        app.add_subcommand("cartogram", "Make an area cartogram: deform the polygons until their areas follow a field");
    cartogramCommand
        ->add_option("INPUT", carto.Input,
                     "The polygon shapefile (.shp), or any vector source GDAL/OGR reads (.gpkg, .geojson, .fgb, ...)")
        ->required();
    cartogramCommand->add_option("--layer", carto.Layer, LayerHelp);
    cartogramCommand
        ->add_option("--format", carto.Format,
                     "Export each round through OGR with the input's attributes and the share and error fields: "
                     "gpkg (one layer per round in X_cartogram.gpkg), geojson or shapefile")
        ->check(CLI::IsMember({"gpkg", "geojson", "shapefile"}));
    cartogramCommand->add_option("--also", carto.Also,
                                 "FILE[:LAYER] of points, lines or polygons in the map's coordinate system, moved "
                                 "with the map and written beside every export (repeatable)");
    cartogramCommand->add_option("--project", carto.Project,
                                 "EPSG:n of a projected coordinate system to make the cartogram in: the map and the "
                                 "--also layers are reprojected into it before the run and every exported layer back "
                                 "into the input's after it");
    auto* fieldOption =
        cartogramCommand->add_option("--field", carto.Field, "The numeric field of the table that gives the sizes");
    auto* equalShares = cartogramCommand->add_flag(
        "--equal-shares", carto.EqualShares, "Give every polygon an equal share when no numeric field matches --field");
    cartogramCommand
        ->add_option("--missing", carto.Missing,
                     "Missing sizes (empty, null, text): refuse the run (default) or small, as 0")
        ->check(CLI::IsMember({"refuse", "small"}));
    cartogramCommand->add_flag("--clean", carto.Clean,
                               "Remove the round files of an earlier run this run did not write");
    cartogramCommand->callback([fieldOption, equalShares] {
        if (fieldOption->count() == 0 && equalShares->count() == 0)
            throw CLI::RequiredError("--field (or --equal-shares)");
    });
    cartogramCommand->add_option("--params", carto.ParamsPath, "A .cartoparam file to start from (else the defaults)");
    cartogramCommand->add_option("--set", carto.Settings,
                                 "NAME=VALUE: one parameter over the file's (repeatable; names: params --list)");
    cartogramCommand->add_option("--steps", carto.Steps, "Transformation rounds at most (fewer than 2 count as 2)")
        ->check(AtLeast(0) & ParamCheck("max_steps"));
    cartogramCommand->add_option("--export-every", carto.ExportEvery, "Export every N-th round (the last always)")
        ->check(AtLeast(0) & ParamCheck("export_every"));
    cartogramCommand->add_option("--threads", carto.Threads, "Worker threads (default: the processor count)")
        ->check(AtLeast(1) & ParamCheck("thread_count"));
    cartogramCommand->add_option("--depth", carto.Depth, "Quadtree depth, 2 to 12; 0 or 1 choose it from the map")
        ->check(CLI::Range(0, 12) & ParamCheck("tree_depth"));
    cartogramCommand->add_option("--output-dir", carto.OutputFolder,
                                 "Write the log and exports into this folder (created if missing) instead of "
                                 "beside the input");
    cartogramCommand->add_flag("--svg", carto.WithSvg, "Write an SVG twin beside every .emf picture");
    cartogramCommand->add_flag("--converge", carto.Converge,
                               "Convergence mode: run until the weighted mean error is below --target-error, "
                               "never folding the map; exports only the result");
    cartogramCommand->add_option("--target-error", carto.TargetError, "Stop below this weighted mean error (0.001)")
        ->check(ParamCheck("target_error"));
    cartogramCommand->add_option("--map-picture", carto.Map.PicturePath,
                                 "Write the result's map as a styled picture: FILE.png, FILE.svg or FILE.pdf; "
                                 "{round} in the name (map_{round}.png) writes every exported round's, "
                                 "numbered");
    // The words in the order the help lists them.
    static const std::vector<std::pair<std::string, MapStyle::FillMode>> fills = {
        {"value", MapStyle::FillMode::ByValue},
        {"error", MapStyle::FillMode::ByError},
        {"none", MapStyle::FillMode::OneColor}};
    cartogramCommand
        ->add_option_function<std::string>(
            "--color-by",
            [&carto](const std::string& name) {
                for (const auto& [word, fill] : fills)
                    if (word == name)
                        carto.Map.ColorBy = fill;
            },
            "Fill the picture's and the page's polygons by their value, their error A/D - 1, or one colour (none)")
        ->check(CLI::IsMember(fills));
    cartogramCommand->add_option("--title", carto.Map.Title, "A title over the picture and the page");
    cartogramCommand->add_option(
        "--labels", carto.Map.LabelField,
        "Label the polygons with this field's values where they fit (and name them on the page)");
    auto* widthOption =
        cartogramCommand->add_option("--picture-width", carto.Map.PictureWidth, "The PNG picture's width in pixels")
            ->check(CLI::Range(16, 20000));
    cartogramCommand->add_option("--dpi", carto.Map.Dpi, "The PNG picture's resolution on its page (default 150)")
        ->check(CLI::Range(10, 2400))
        ->excludes(widthOption);
    cartogramCommand
        ->add_option("--html", carto.Map.HtmlPath,
                     "Write a self-contained web page of the result: hover for each polygon's figures, "
                     "animate from the map to the cartogram")
        ->check(HtmlPageName());
    cartogramCommand->add_option("--max-rounds", carto.MaxRounds, "Rounds at most (--converge: 100)")
        ->check(AtLeast(1) & ParamCheck("max_steps"))
        ->excludes("--steps");

    tessaro::GraphOptions graph;
    CLI::App* graphCommand = app.add_subcommand("graph", "Write the network of a file as a Pajek or Graphviz graph");
    graphCommand->add_option("INPUT", graph.Input, "A .shp, bibliography .txt, citation .csv or flight .flt file")
        ->required();
    auto* pajekOption = graphCommand->add_option("--pajek", graph.PajekPath, "Write a Pajek network file (.net)");
    auto* graphvizOption =
        graphCommand->add_option("--graphviz", graph.GraphvizPath, "Write a Graphviz graph file (.gv or .dot)");
    graphCommand->callback([pajekOption, graphvizOption] {
        if (pajekOption->count() == 0 && graphvizOption->count() == 0)
            throw CLI::ValidationError("graph", "give --pajek FILE, --graphviz FILE or both");
    });

    tessaro::RouteOptions route;
    CLI::App* routeCommand = app.add_subcommand("route", "Find the best route between two nodes of a network");
    routeCommand->add_option("INPUT", route.Input, "A line .shp, bibliography .txt, citation .csv or flight .flt file")
        ->required();
    auto* fromName = routeCommand->add_option("--from", route.From, "The origin node's name");
    auto* toName = routeCommand->add_option("--to", route.To, "The destination node's name");
    auto* fromPoint = routeCommand->add_option("--from-xy", route.FromPoint, "The node nearest this point X,Y")
                          ->delimiter(',')
                          ->excludes(fromName);
    auto* toPoint =
        routeCommand->add_option("--to-xy", route.ToPoint, "The node nearest this point X,Y")->delimiter(',')->excludes(toName);
    routeCommand->add_option("--weights", route.Weights,
                             "Chain costs: length (Euclidean) or a field of the table beside a line shapefile");
    routeCommand->add_option("--mode", route.Mode, "1 scan, 2 candidate list (default), 3 regional")
        ->check(CLI::Range(1, 3));
    routeCommand->add_option("--init-circle", route.InitCircle, "Ring width of the regional search (mode 3)")
        ->check(CLI::PositiveNumber);
    routeCommand->callback([fromName, toName, fromPoint, toPoint, &route] {
        if (fromName->count() + fromPoint->count() == 0 || toName->count() + toPoint->count() == 0)
            throw CLI::ValidationError("route", "give the origin (--from or --from-xy) and the destination (--to or --to-xy)");
        if (route.Mode == 3 && !(route.InitCircle > 0.0))
            throw CLI::ValidationError("route", "mode 3 needs --init-circle with a ring width above 0");
    });

    tessaro::CheckOptions check;
    CLI::App* checkCommand =
        app.add_subcommand("check", "Check the polygons of a shapefile or another vector source before a cartogram: rings, validity, overlaps");
    checkCommand->add_option("FILE", check.Path, "The polygon .shp file, or any vector source GDAL/OGR reads, to check")
        ->required();
    checkCommand->add_option("--layer", check.Layer, LayerHelp);
    checkCommand->add_flag("--overlaps", check.Overlaps, "Also report every pair of records whose interiors overlap");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return ParseFailure(app, error);
    }

    // The user's locale, as any program sets it; numbers in files stay in the C form regardless.
    std::setlocale(LC_ALL, "");

    auto console = std::make_unique<CConsoleUserInterface>(std::cerr, ChooseAnswerPolicy(yes, no), &std::cin);
    console->SetQuiet(quiet);
    tessaro::InstallUserInterface(std::move(console));
    std::ostream nowhere(nullptr); // progress lines under --quiet

    if (infoCommand->parsed())
        return tessaro::RunInfoCommand(info, std::cout);
    if (fieldsCommand->parsed())
        return tessaro::RunFieldsCommand(fieldsPath, fieldsLayer, std::cout);
    if (paramsCommand->parsed())
        return tessaro::RunParamsCommand(params, std::cout);
    if (cartogramCommand->parsed())
        return tessaro::RunCartogramCommand(carto, std::cout, quiet ? nowhere : std::cerr);
    if (graphCommand->parsed())
        return tessaro::RunGraphCommand(graph, std::cout);
    if (routeCommand->parsed())
        return tessaro::RunRouteCommand(route, std::cout);
    if (checkCommand->parsed())
        return tessaro::RunCheckCommand(check, std::cout);
    return 2;
}
