#include "cli/CartogramCommand.h"

#include "document/LumarixDoc.h"
#include "cli/ParamsCommand.h"
#include "platform/NumberText.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace tessaro {
namespace {

bool EndsWithShp(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string ending = path.substr(path.size() - 4);
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending == ".shp";
}

void Fail(const std::string& text) { ShowMessage(text, MessageKind::Error); }

// The parameter block: the defaults, a parameter file over them, the options over both.
bool MakeParams(const CartogramOptions& options, CartoParams& params)
{
    if (!options.ParamsPath.empty() && !LoadParamFileWhole(options.ParamsPath, params))
        return false;
    if (options.Steps)
        params.MaxSteps = *options.Steps;
    if (options.ExportEvery)
        params.ExportEvery = *options.ExportEvery;
    if (options.Threads)
        params.ThreadCount = *options.Threads;
    if (options.Depth)
        params.TreeDepth = *options.Depth;
    if (const std::string problem = params.LimitProblem(); !problem.empty()) {
        Fail(problem);
        return false;
    }
    return true;
}

// The input must be a shapefile that exists; the derived names are built from its ".shp".
bool CheckInput(const std::string& input)
{
    if (!EndsWithShp(input)) {
        Fail("The input " + input + " is not a shapefile: its name must end in .shp.");
        return false;
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(input, error)) {
        Fail("Cannot open the shapefile " + input + ": no such file.");
        return false;
    }
    return true;
}

bool PrepareOutputFolder(const std::string& folder)
{
    if (folder.empty())
        return true;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder)) {
        Fail("Cannot create the output folder " + folder + ": " +
             (error ? error.message() : std::string("a file of that name exists")) + ".");
        return false;
    }
    return true;
}

void WriteProgressLine(std::ostream& progress, const RoundProgress& round)
{
    progress << "round " << round.Round << ": weighted mean error "
             << FormatFixed(round.Measures.WeightedMeanError, 6) << ", " << round.ElapsedText << std::endl;
}

void WriteSummary(std::ostream& out, const CartogramRunSummary& summary)
{
    out << "Rounds transformed: " << summary.RoundsTransformed << '\n';
    if (summary.FirstMeasures && summary.LastMeasures)
        out << "Weighted mean error: " << FormatFixed(summary.FirstMeasures->WeightedMeanError, 6)
            << " at round 0, " << FormatFixed(summary.LastMeasures->WeightedMeanError, 6) << " at round "
            << summary.LastRound << '\n';
    out << "Sizes: "
        << (summary.EqualShares ? std::string("equal shares (no size field found)") : "field " + summary.SizeFieldRead)
        << '\n';
    out << "Information file: " << summary.InformationFile << '\n';
    out << "Files written: " << summary.WrittenFiles.size() << '\n';
    for (const std::string& file : summary.WrittenFiles)
        out << "  " << file << '\n';
}

int ExitFor(const CartogramRunSummary& summary)
{
    switch (summary.Result) {
    case CartogramRunSummary::Outcome::Completed:
    case CartogramRunSummary::Outcome::Stopped:
        return summary.ExportFailures == 0 ? CartogramDone : CartogramFailed;
    case CartogramRunSummary::Outcome::Unreadable:
        return CartogramUnreadable;
    case CartogramRunSummary::Outcome::Cancelled:
    case CartogramRunSummary::Outcome::Refused:
        break;
    }
    return CartogramFailed;
}

} // namespace

int RunCartogramCommand(const CartogramOptions& options, std::ostream& out, std::ostream& progress)
{
    CLumarixDoc document;
    if (!MakeParams(options, document.Params) || !CheckInput(options.Input))
        return CartogramUnreadable;
    if (!PrepareOutputFolder(options.OutputFolder))
        return CartogramFailed;

    CCartogramJob job;
    job.ShapefilePath = options.Input;
    job.SizeField = options.Field;
    job.OutputFolder = options.OutputFolder;
    job.WithSvg = options.WithSvg;
    bool warned = false;
    // Said before the first progress line, or after the run when no round was transformed.
    const auto warnEqualShares = [&job, &warned, &options] {
        if (warned || !job.Summary.EqualShares)
            return;
        warned = true;
        ShowMessage("No numeric field matching " + job.SizeField + " in the table beside " + options.Input +
                        "; every polygon is given an equal share.",
                    MessageKind::Warning);
    };
    job.Progress = [&progress, &warnEqualShares](const RoundProgress& round) {
        warnEqualShares();
        WriteProgressLine(progress, round);
        return true;
    };
    try {
        const CartogramRunSummary& summary = document.RunCartogram(job);
        warnEqualShares();
        if (summary.Result == CartogramRunSummary::Outcome::Completed)
            WriteSummary(out, summary);
        return ExitFor(summary);
    } catch (const CFileError& error) {
        Fail(error.what());
        return CartogramUnreadable;
    }
}

} // namespace tessaro
