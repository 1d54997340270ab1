#include "cli/CartogramCommand.h"

#include "cli/MapInput.h"
#include "cli/ParamsCommand.h"
#include "document/LumarixDoc.h"
#include "document/StaleRoundFiles.h"
#include "platform/NumberText.h"
#include "platform/UserInterface.h"

#include <atomic>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <system_error>

namespace tessaro {
namespace {

void Fail(const std::string& text) { ShowMessage(text, MessageKind::Error); }

// "FILE:LAYER" names a layer of FILE; a name that is itself an existing path is a file of one
// layer, whatever colons it holds.
CCartogramJob::CompanionSource CompanionOf(const std::string& text)
{
    std::error_code error;
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || std::filesystem::exists(text, error))
        return {text, {}};
    return {text.substr(0, colon), text.substr(colon + 1)};
}

// Sets one "name=value" of --set; false after a message naming what is wrong with it.
bool ApplySetting(const std::string& setting, CartoParams& params)
{
    const size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    const ParamDescriptor* param = FindParam(name);
    if (equals == std::string::npos || param == nullptr) {
        Fail("--set " + setting + ": " +
             (equals == std::string::npos ? "expected NAME=VALUE" : "no parameter is named " + name) +
             "; tessaro-cli params --list names them.");
        return false;
    }
    const std::string text = setting.substr(equals + 1);
    if (const std::string problem = ParamOptionProblem(param->Name, text); !problem.empty()) {
        Fail("--set " + setting + ": " + problem);
        return false;
    }
    const std::optional<double> value = ParseParamValue(*param, text);
    SetParamValue(params, *param, *value);
    return true;
}

// The parameter block: the defaults, a parameter file over them, --converge, --set and the
// options over all.
bool MakeParams(const CartogramOptions& options, CLumarixDoc& document)
{
    if (!options.ParamsPath.empty() &&
        document.LoadParams(options.ParamsPath, CLumarixDoc::ParamFileRule::Whole) != CLumarixDoc::ParamsLoad::Read)
        return false;
    CartoParams& params = document.Params;
    if (options.Converge)
        params.SetConvergence();
    for (const std::string& setting : options.Settings)
        if (!ApplySetting(setting, params))
            return false;
    if (options.Steps)
        params.MaxSteps = *options.Steps;
    if (options.MaxRounds)
        params.MaxSteps = *options.MaxRounds;
    if (options.TargetError)
        params.TargetError = *options.TargetError;
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

// A .shp must be a file that exists; any other input is read through OGR, whose sources may
// also be folders. The derived names are built from the input's stem.
bool CheckInput(const CartogramOptions& options)
{
    const std::string& input = options.Input;
    if (IsShapefileMember(input)) {
        Fail("The input " + input + " is not a shapefile: its name must end in .shp.");
        return false;
    }
    if (!CheckMapInput(input, options.Layer))
        return false;
    std::error_code error;
    if (EndsWithShp(input) && !std::filesystem::is_regular_file(input, error)) {
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

// The progress lines, and the warning about equal shares before the first of them.
class CProgressLines : public CCartogramFeedback {
public:
    CProgressLines(std::ostream& progress, const CCartogramJob& job, const std::string& input)
        : Progress_(progress), Job_(job), Input_(input)
    {
    }

    void OnRound(std::shared_ptr<const CRoundFrame> frame) override
    {
        WarnEqualShares();
        Progress_ << "round " << frame->Round << ": weighted mean error "
                  << FormatFixed(frame->Measures.WeightedMeanError, 6) << ", " << frame->ElapsedText << std::endl;
    }

    // Said before the first progress line, or after the run when no round was transformed.
    void WarnEqualShares()
    {
        if (Warned_ || !Job_.Summary.EqualShares)
            return;
        Warned_ = true;
        ShowMessage((Job_.SizeField.empty()
                         ? "No size field was given for " + Input_
                         : "No numeric field matching " + Job_.SizeField + " in the table beside " + Input_) +
                        "; every polygon is given an equal share.",
                    MessageKind::Warning);
    }

private:
    std::ostream& Progress_;
    const CCartogramJob& Job_;
    const std::string& Input_;
    bool Warned_ = false;
};

// The feedback a SIGINT cancels. A lock-free atomic store is safe in a signal handler.
std::atomic<CFeedback*> InterruptTarget{nullptr};
static_assert(std::atomic<CFeedback*>::is_always_lock_free);

extern "C" void CancelOnInterrupt(int)
{
    if (CFeedback* feedback = InterruptTarget.load())
        feedback->Cancel();
}

// While it lives, the first SIGINT cancels the run through its feedback; a second one ends the
// program as usual (the handler resets itself).
class CInterruptCancels {
public:
    explicit CInterruptCancels(CFeedback& feedback)
    {
        InterruptTarget.store(&feedback);
        struct sigaction action {};
        action.sa_handler = CancelOnInterrupt;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        Installed_ = ::sigaction(SIGINT, &action, &Previous_) == 0;
    }
    ~CInterruptCancels()
    {
        if (Installed_)
            ::sigaction(SIGINT, &Previous_, nullptr);
        InterruptTarget.store(nullptr);
    }
    CInterruptCancels(const CInterruptCancels&) = delete;
    CInterruptCancels& operator=(const CInterruptCancels&) = delete;

private:
    struct sigaction Previous_ {};
    bool Installed_ = false;
};

// "New overlaps in round 3: 1 pair (records 31 and 43)"; records count from 1 as in `check`.
void WriteNewOverlaps(std::ostream& out, const CartogramRunSummary& summary)
{
    out << "New overlaps in round " << summary.OverlapsCheckedRound << ": ";
    const size_t count = summary.NewOverlaps.size();
    if (count == 0) {
        out << "none\n";
        return;
    }
    out << count << (count == 1 ? " pair (" : " pairs (");
    for (size_t i = 0; i < count; ++i)
        out << (i == 0 ? "" : ", ") << "records " << summary.NewOverlaps[i].first + 1 << " and "
            << summary.NewOverlaps[i].second + 1;
    out << "); tessaro-cli check --overlaps shows them\n";
}

void WriteSummary(std::ostream& out, const CartogramRunSummary& summary)
{
    if (summary.Result == CartogramRunSummary::Outcome::Cancelled)
        out << "Cancelled: "
            << (summary.RoundsTransformed == 0 ? std::string("before round 0 was finished")
                                               : "after round " + std::to_string(summary.RoundsTransformed - 1))
            << (summary.KeptRound >= 0 ? "; the best round so far is the result" : "")
            << "; every file written is complete.\n";
    out << "Rounds transformed: " << summary.RoundsTransformed << '\n';
    if (summary.FirstMeasures && summary.LastMeasures)
        out << "Weighted mean error: " << FormatFixed(summary.FirstMeasures->WeightedMeanError, 6)
            << " at round 0, " << FormatFixed(summary.LastMeasures->WeightedMeanError, 6) << " at round "
            << summary.LastRound << '\n';
    if (summary.KeptRound >= 0)
        out << "Kept round: " << summary.KeptRound << " (the best round), exported as round "
            << summary.LastRound << '\n';
    out << "Sizes: "
        << (summary.EqualShares ? std::string("equal shares (no size field found)") : "field " + summary.SizeFieldRead)
        << '\n';
    if (!summary.InformationFile.empty())
        out << "Information file: " << summary.InformationFile << '\n';
    if (summary.OverlapsCheckedRound >= 0)
        WriteNewOverlaps(out, summary);
    out << "Files written: " << summary.WrittenFiles.size() << '\n';
    for (const std::string& file : summary.WrittenFiles)
        out << "  " << file << '\n';
}

// Round files of an earlier run with the same names that this run did not write would pass for
// its own: they are named, and removed when asked.
void ReportStaleFiles(const CCartogramJob& job, bool clean, std::ostream& out)
{
    const std::vector<std::string> stale = FindStaleRoundFiles(job);
    if (stale.empty())
        return;
    std::string list;
    for (const std::string& file : stale)
        list += (list.empty() ? "" : ", ") + file;
    if (!clean) {
        ShowMessage(std::to_string(stale.size()) +
                        " files of an earlier run with the same names, not written by this "
                        "run, lie beside its files: " +
                        list + ". --clean removes them.",
                    MessageKind::Warning);
        return;
    }
    const std::vector<std::string> kept = RemoveFiles(stale);
    out << "Removed " << stale.size() - kept.size() << " files of an earlier run: " << list << '\n';
    for (const std::string& file : kept)
        Fail("Cannot remove " + file + ", a file of an earlier run.");
}

int ExitFor(const CartogramRunSummary& summary)
{
    switch (summary.Result) {
    case CartogramRunSummary::Outcome::Completed:
        return summary.ExportFailures == 0 ? CartogramDone : CartogramFailed;
    case CartogramRunSummary::Outcome::Unreadable:
        return CartogramUnreadable;
    case CartogramRunSummary::Outcome::Cancelled:
        return CartogramInterrupted;
    case CartogramRunSummary::Outcome::Refused:
        break;
    }
    return CartogramFailed;
}

} // namespace

int RunCartogramCommand(const CartogramOptions& options, std::ostream& out, std::ostream& progress)
{
    CLumarixDoc document;
    if (!MakeParams(options, document) || !CheckInput(options) || !CheckMapOutputs(options.Map, options.Input))
        return CartogramUnreadable;
    if (!PrepareOutputFolder(options.OutputFolder))
        return CartogramFailed;

    CCartogramJob job;
    job.ShapefilePath = options.Input;
    job.Reader =
        ReadsThroughOgr(options.Input) ? CCartogramJob::InputReader::Ogr : CCartogramJob::InputReader::Shapefile;
    job.InputLayer = options.Layer;
    job.ProjectTo = options.Project;
    for (const std::string& also : options.Also)
        job.Companions.push_back(CompanionOf(also));
    if (options.Format == "gpkg")
        job.ExportFormat = OgrExportFormat::GeoPackage;
    else if (options.Format == "geojson")
        job.ExportFormat = OgrExportFormat::GeoJson;
    else if (options.Format == "shapefile")
        job.ExportFormat = OgrExportFormat::Shapefile;
    if (HoldsPolygonsWithHeightsOrMeasures(options.Input)) {
        // Exported as a shapefile again, with the input's attributes, unless another format is asked for.
        if (!job.ExportFormat)
            job.ExportFormat = OgrExportFormat::Shapefile;
        ShowMessage("The shapefile " + options.Input +
                        " holds polygons with heights or measures (PolygonZ or PolygonM): it is read through "
                        "GDAL/OGR, and the flat cartogram is exported as plain polygons with its attributes.",
                    MessageKind::Information);
    }
    job.SizeField = options.Field;
    job.OutputFolder = options.OutputFolder;
    job.WithSvg = options.WithSvg;
    job.EqualSharesWithoutField = options.EqualShares;
    job.Missing = options.Missing == "small" ? MissingSizes::Small : MissingSizes::Refuse;
    // The warnings about the input come before the progress lines.
    job.ShowBeforeRounds = [](const std::vector<UserMessage>& messages) { ShowMessages(messages); };
    job.KeepInputLayer = options.Map.Any();
    std::vector<std::string> labelColumn;
    if (!ReadLabelField(options.Map, job, labelColumn))
        return CartogramFailed;
    CProgressLines feedback(progress, job, options.Input);
    const CInterruptCancels interrupt(feedback);
    const CartogramRunSummary& summary = document.RunCartogram(job, &feedback);
    feedback.WarnEqualShares();
    if (summary.Result == CartogramRunSummary::Outcome::Completed ||
        summary.Result == CartogramRunSummary::Outcome::Cancelled) {
        WriteSummary(out, summary);
        ReportStaleFiles(job, options.Clean, out);
    }
    if (summary.Result == CartogramRunSummary::Outcome::Completed && options.Map.Any() &&
        !WriteMapOutputs(options.Map, labelColumn, document, job, out))
        return CartogramFailed;
    if (summary.Result == CartogramRunSummary::Outcome::Cancelled)
        Fail("The run was cancelled by an interrupt (SIGINT)" +
             (summary.KeptRound >= 0 ? "; its best round so far, round " + std::to_string(summary.KeptRound) +
                                           ", is written as the result"
                                     : std::string()) +
             "; every file it wrote is complete.");
    return ExitFor(summary);
}

} // namespace tessaro
