#include "run/RunOutputs.h"

#include "engine/QuadTree.h"
#include "geodata/MapProjection.h"
#include "geodata/ShapeValidator.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"
#include "run/CartogramJob.h"
#include "run/CompanionRounds.h"
#include "run/OgrRoundWriter.h"
#include "run/RunFileNames.h"
#include "run/RunLog.h"

namespace tessaro {
namespace {

constexpr int PicturePageWidth = 107950;
constexpr int PicturePageHeight = 139700;

} // namespace

// The pairs of records whose interiors overlap.
OverlapPairs Overlaps(const CPolygonLayer& layer, int threads)
{
    OverlapPairs pairs;
    for (const CShapeFinding& finding : CShapeValidator(true, threads).Check(layer.Polygons()))
        if (finding.Kind == ShapeFindingKind::Overlap)
            pairs.emplace(finding.Record, finding.OtherRecord);
    return pairs;
}

CRunOutputs::CRunOutputs(CRunLog& log, const CRunFileNames& names, const CExportSchedule& schedule, CNetwork& network,
                         CShpFileTranslator& translator, CQuadTree& tree, const CCartogramSolver& solver,
                         RunOutputSettings settings, CartogramRunSummary& summary)
    : Log_(log), Names_(names), Schedule_(schedule), Network_(network), Translator_(translator), Tree_(tree),
      Solver_(solver), Settings_(std::move(settings)), Summary_(summary), Pictures_(network),
      Sources_{names, network, translator, Pictures_, *Settings_.Inputs, Settings_.WithSvg, Settings_.OgrProjection,
               Settings_.Writer, Settings_.Projection},
      Exporters_(MakeRoundExporters(Sources_))
{
    Pictures_.SetPageSize(PicturePageWidth, PicturePageHeight);
    Pictures_.Quadtree = &tree;
}

void CRunOutputs::OnTransformed(int round)
{
    if (round == 0)
        Log_.WriteLine(Settings_.Converging ? CRunLog::ConvergenceHeaderLine() : CRunLog::HeaderLine());
}

void CRunOutputs::AppendKeptPoints(std::vector<double>& xy) const
{
    if (Settings_.Companions != nullptr)
        Settings_.Companions->AppendVertices(xy);
}

void CRunOutputs::OnRoundDone(const SolverRound& round)
{
    Network_.SetExtent(Solver_.LayerExtent(), true);
    if (Settings_.Converging)
        Log_.WriteLine(CRunLog::ConvergenceRoundLine(round.Round, round.Measures, round.Elasticity,
                                                     round.MaxDisplacement, round.ElapsedText, round.Step,
                                                     round.Retries));
    else
        Log_.WriteRound(round.Round, round.Measures, round.Elasticity, round.MaxDisplacement, round.ElapsedText);
    Summary_.RoundsTransformed = round.Round + 1;
    if (Settings_.Companions != nullptr)
        Settings_.Companions->AfterRound(Tree_, round.Round, round.Measures.WeightedMeanError);
    if (Schedule_.Exports(round.Round))
        Export(Schedule_.FileRound(round.Round));
}

void CRunOutputs::OnResult(int round)
{
    Network_.SetExtent(Solver_.LayerExtent(), true);
    std::string refusal;
    if (!Schedule_.Exports(round) && !CheckDerivedNames(Names_, {round}, refusal)) {
        ShowMessage(refusal, MessageKind::Error);
        ++Summary_.ExportFailures;
        return;
    }
    // The companions wait for the stop, which names the round the result was kept from.
    Export(round, false);
    PendingResult_ = round;
}

void CRunOutputs::Export(int round, bool withCompanions)
{
    RoundExportResult exported;
    for (const auto& exporter : Exporters_)
        exporter->Export(round, exported);
    Summary_.WrittenFiles.insert(Summary_.WrittenFiles.end(), exported.Written.begin(), exported.Written.end());
    Summary_.ExportFailures += exported.Failures;
    if (Settings_.Companions != nullptr && withCompanions)
        Summary_.ExportFailures +=
            Settings_.Companions->Export(Names_, round, *Settings_.Inputs, Summary_.WrittenFiles);
    // The layer as exported, for the overlap check once the run is over.
    LastExport_ = Network_.PolygonLayer().Copy();
    LastExportRound_ = round;
}

void CRunOutputs::ReportNewOverlaps(const OverlapPairs& inputOverlaps, int threads)
{
    if (!LastExport_)
        return;
    Summary_.OverlapsCheckedRound = LastExportRound_;
    for (const auto& pair : Overlaps(*LastExport_, threads))
        if (!inputOverlaps.contains(pair))
            Summary_.NewOverlaps.push_back(pair);
}

void CRunOutputs::OnStopped(const SolverStop& stop)
{
    if (Settings_.Companions != nullptr && PendingResult_ >= 0) {
        if (stop.KeptRound >= 0 && stop.KeptRound != stop.Round && !Settings_.Companions->RestoreKept(stop.KeptRound))
            ShowMessage("The layers moved with the map could not be taken back to round " +
                            std::to_string(stop.KeptRound) +
                            ", the round of the result; they are written as "
                            "they stand after the last round.",
                        MessageKind::Warning);
        Summary_.ExportFailures +=
            Settings_.Companions->Export(Names_, PendingResult_, *Settings_.Inputs, Summary_.WrittenFiles);
    }
    // The final line gives the measures of the result, under the number of the round they were
    // taken at: the kept round's with keep-best.
    Log_.WriteFinal(stop.KeptRound >= 0 ? stop.KeptRound : stop.Round, stop.Measures);
    if (Settings_.Converging)
        Log_.WriteLine(CRunLog::ConvergenceParameterLine(stop.EnlargeRate, stop.ShrinkRate, stop.Depth, stop.MinDepth,
                                                         stop.KeptRound));
    else
        Log_.WriteParameters(stop.EnlargeRate, stop.ShrinkRate, stop.Depth, stop.MinDepth);
}

} // namespace tessaro
