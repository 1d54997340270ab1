#pragma once

#include "engine/CartogramSolver.h"
#include "geodata/NetworkEmfWriter.h"
#include "geometry/PolygonLayer.h"
#include "run/ExportSchedule.h"
#include "run/RoundExporters.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>

namespace tessaro {

class CCompanionRounds;
class CInputFiles;
class CMapProjection;
class CNetwork;
class COgrRoundWriter;
class CQuadTree;
class CRunFileNames;
class CRunLog;
class CShpFileTranslator;
struct CartogramRunSummary;

using OverlapPairs = std::set<std::pair<int32_t, int32_t>>;

// The pairs of records whose interiors overlap, found on up to `threads` threads.
OverlapPairs Overlaps(const CPolygonLayer& layer, int threads);

// What a run's outputs are, settled when the run is prepared.
struct RunOutputSettings {
    bool WithSvg = false;
    bool Converging = false;
    // For an input read through OGR: its coordinate system for the exported shapefiles.
    std::optional<std::string> OgrProjection;
    // With an export format: the writer of the layer with its attributes, in place of the
    // shapefile set; null for the shapefile set.
    COgrRoundWriter* Writer = nullptr;
    // The run's input files, which no output may land on.
    const CInputFiles* Inputs = nullptr;
    // The layers moved with the map, if any.
    CCompanionRounds* Companions = nullptr;
    // With a reprojection: the system the run is made in, which the exported layers leave.
    const CMapProjection* Projection = nullptr;
};

// Where the rounds of one run write: the information file after every round, the export set on
// the schedule. The scratch network holds the run's layer, so the shapefile writer and the
// pictures see each round's result; its extent follows the solver's. The exporters of the set
// are chosen at construction.
class CRunOutputs : public CCartogramRoundSink {
public:
    CRunOutputs(CRunLog& log, const CRunFileNames& names, const CExportSchedule& schedule, CNetwork& network,
                CShpFileTranslator& translator, CQuadTree& tree, const CCartogramSolver& solver,
                RunOutputSettings settings, CartogramRunSummary& summary);

    void OnTransformed(int round) override;
    void OnRoundDone(const SolverRound& round) override;
    void OnResult(int round) override;
    void OnStopped(const SolverStop& stop) override;
    // The companion layers' vertices: an airport stays in its state however the borders are
    // redrawn.
    void AppendKeptPoints(std::vector<double>& xy) const override;

    // Writes the export set of `round`, and the companions unless the caller writes them later.
    void Export(int round, bool withCompanions = true);
    // Pairs that overlap in the last export but not in the input, found on up to `threads` threads.
    void ReportNewOverlaps(const OverlapPairs& inputOverlaps, int threads);

private:
    CRunLog& Log_;
    const CRunFileNames& Names_;
    const CExportSchedule& Schedule_;
    CNetwork& Network_;
    CShpFileTranslator& Translator_;
    CQuadTree& Tree_;
    const CCartogramSolver& Solver_;
    const RunOutputSettings Settings_;
    CartogramRunSummary& Summary_;
    CNetworkEmfWriter Pictures_;
    const RoundExportSources Sources_;
    const std::vector<std::unique_ptr<CRoundExporter>> Exporters_;
    std::optional<CPolygonLayer> LastExport_;
    int LastExportRound_ = -1;
    int PendingResult_ = -1; // the convergence loop's result round, its companions not yet written
};

} // namespace tessaro
