#pragma once

#include "engine/CartoParams.h"
#include "engine/RunMeasures.h"
#include "geodata/RecordNames.h"
#include "geodata/SizeField.h"
#include "geometry/PolygonLayer.h"
#include "geometry/ShapeLayer.h"
#include "platform/MessageCollector.h"
#include "run/OgrRoundWriter.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaro {

class CCartogramFeedback;
class CNetwork;
struct LeftOutPolygon;
struct CartogramSolution;
class CQuadTree;

// What a run did, for the front ends to report.
struct CartogramRunSummary {
    enum class Outcome {
        Completed,  // a stop rule ended the run
        Cancelled,  // the user cancelled: the file chooser, or the run through its feedback
        Refused,    // preparation or a measurement failed; Refusal says why
        Unreadable, // the shapefile could not be read whole; the reader said why
    };
    Outcome Result = Outcome::Refused;
    int RoundsTransformed = 0;
    // The measures of round 0 and of the last measurement (the final line's), or of the last
    // finished round when the run was cancelled.
    std::optional<RoundMeasures> FirstMeasures;
    std::optional<RoundMeasures> LastMeasures;
    int LastRound = -1; // the round of LastMeasures; -1 when none
    // The convergence mode with keep-best: the round whose layer is the result (exported under
    // LastRound's number, LastMeasures being its measures); -1 otherwise.
    int KeptRound = -1;
    // Records (from 0) the convergence mode moved with the map but left out of the measures:
    // no area that can be measured, or a ring across more than half the map.
    std::vector<uint32_t> LeftOutRecords;
    // Records (from 0) the convergence mode's result leaves below half or above twice their
    // desired area, the farthest first: a weighted mean error weights them by their area and
    // can hide them.
    std::vector<uint32_t> FarFromSizeRecords;
    // Features (from 1) of an input read through OGR that hold no polygon (no geometry, an empty
    // one or another type): left out of the run, kept unchanged in the attribute-keeping exports.
    std::vector<size_t> SkippedFeatures;
    // No table or no matching numeric field: every polygon was given the same share.
    bool EqualShares = false;
    std::string SizeFieldRead; // the table's name of the field that gave the sizes
    std::vector<size_t> ZeroSizeRecords; // records (from 1) given the stand-in for size 0
    std::vector<size_t> MissingSizeRecords; // records (from 1) whose size is missing
    std::string InformationFile;
    std::vector<std::string> WrittenFiles; // exports, in the order written
    int ExportFailures = 0;
    // Pairs of records (from 0) whose interiors overlap in the last exported round but did not
    // in the input: where the deformation folded one polygon over its neighbour.
    std::vector<std::pair<int32_t, int32_t>> NewOverlaps;
    int OverlapsCheckedRound = -1; // the round those pairs were looked for in; -1 for none
    // The result's polygons in layer order (the order of LastMeasures' fits), once a run
    // completed: the input record (from 0) each came from, the record's name (from its name
    // field; empty without one) and its size as the field gives it (none without a field, or
    // for a missing value).
    struct PolygonRecord {
        uint32_t Record = 0;
        std::string Name;
        std::optional<double> Size;
        bool operator==(const PolygonRecord&) const = default;
    };
    std::vector<PolygonRecord> Polygons;
    // Why the run was refused, in the words shown to the user; empty otherwise.
    std::string Refusal;
    // The refusal was a polygon whose area is zero, negative or not a number: the stepped rounds
    // stop on one, where the convergence mode leaves it out and names it.
    bool RefusedForPolygonArea = false;
    // Everything the run and its readers and writers had to tell the user, in order, the
    // refusal included. The front end shows them once the run is over.
    std::vector<UserMessage> Messages;
};

// What a cartogram run is asked to do: the input, the sizes, the outputs and the parameters.
// A job is one of these with the run's state around it; `CCartogramJob::Again` copies it whole.
struct CartogramJobRequest {
    double EpsilonFactor = 1.01;
    // The input: a polygon shapefile, or with the OGR reader any vector source GDAL opens.
    std::string ShapefilePath;
    // Which reader loads the input: the program's own shapefile reader (the size field from
    // the .dbf beside it), or GDAL/OGR (GeoPackage, GeoJSON, FlatGeobuf, ...: polygon and
    // multipolygon features in feature order, the size field from the same layer).
    enum class InputReader { Shapefile, Ogr };
    InputReader Reader = InputReader::Shapefile;
    // The layer the OGR reader reads; empty for a source that holds one layer.
    std::string InputLayer;
    std::string SizeField;
    // When set, the information file and the exports go there instead of beside the input.
    std::string OutputFolder;
    // When set, each exported round's layer goes out through OGR in this format with the
    // input's attributes and the three measure fields, in place of the shapefile set (the
    // pictures stay); unset, the export set is the shapefile set and the pictures.
    std::optional<OgrExportFormat> ExportFormat;
    // Other layers (points, lines, polygons in the map's coordinate system, read through OGR)
    // moved round by round with the map and written beside every export: in the export
    // format, or as shapefiles without one. They never take part in the map's deformation.
    struct CompanionSource {
        std::string Path;
        std::string Layer; // empty for a source of one layer
    };
    std::vector<CompanionSource> Companions;
    // When set ("EPSG:5070"), the map and the companion layers go into this projected
    // coordinate system before the run, the cartogram is made there, and every exported layer
    // (the round layers and the companions) goes back into the input's coordinate system, which
    // the input must have. The information file and the pictures stay in the projected system,
    // as do TakeLayer's layer and the quadtree. Empty: the run is made in the input's system.
    std::string ProjectTo;
    // An SVG twin beside every exported picture.
    bool WithSvg = false;
    // Without a table or a numeric field matching SizeField, every polygon gets an equal share
    // (the desktop's rule); otherwise the run is refused, naming the numeric fields there are.
    bool EqualSharesWithoutField = true;
    // What a missing size (empty, the dBase null, text) does: refuse the run, or be small.
    MissingSizes Missing = MissingSizes::Refuse;
    // The run's own parameter block.
    CartoParams Params;
    // The answer to the reader's question whether a file of another shape type is to be read
    // as polygons; the front end asks it before the run.
    bool ReadOtherShapeTypes = false;
    // When set, the messages of the run's preparation (the warnings about the input, the left-out
    // features) are handed to it, on the calling thread's user interface, before the first round
    // rather than kept in Summary.Messages: a front end that shows progress says them first.
    std::function<void(const std::vector<UserMessage>&)> ShowBeforeRounds;
    // Keep a copy of the map as the rounds start (after any projection and cut), which
    // TakeInputLayer hands over once the run completed: a page that animates from the map to
    // the cartogram needs both.
    bool KeepInputLayer = false;
};

// One cartogram run: loads the polygon shapefile into a layer of its own, then deforms the
// polygons round after round until their areas follow the size field, logging every round to
// the run information file and exporting the scheduled rounds. The job works on its own copies
// (the parameter block, the layer, the quadtree) and never talks to the user, so it may run on
// any thread; the document takes its result once it completed.
class CCartogramJob : public CartogramJobRequest {
public:
    // Filled by Run.
    CartogramRunSummary Summary;

    CCartogramJob();
    ~CCartogramJob();
    CCartogramJob(const CCartogramJob&) = delete;
    CCartogramJob& operator=(const CCartogramJob&) = delete;

    // Runs the cartogram and returns the summary. Without feedback the run goes on until a stop
    // rule fires; a feedback may cancel it (between rounds and inside the heavy steps, keeping
    // every file already written complete) and gets a frame after every finished round. A
    // shapefile that cannot be opened or read is reported as Unreadable with the file error.
    const CartogramRunSummary& Run(CCartogramFeedback* feedback = nullptr);
    // The information file's last line of a cancelled run.
    static std::string CancelledLine(int roundsTransformed);
    // A new job for the same input, field, outputs and parameters, without any result: the run
    // made again (in another mode, say).
    std::unique_ptr<CCartogramJob> Again() const;

    // The deformed layer with its extent (in ProjectTo's system when set), and the quadtree of the last transformation round
    // (map 1 current), once a run completed; empty otherwise. The caller takes them over.
    std::optional<CPolygonLayer> TakeLayer();
    CExtent LayerExtent() const { return LayerExtent_; }
    std::unique_ptr<CQuadTree> TakeQuadTree();
    // The companion layers as they stand with the result, once a run completed; empty
    // otherwise. The caller takes them over.
    std::vector<CShapeLayer> TakeCompanionShapes();
    // With KeepInputLayer, the map as the rounds started, in the same system and polygon order
    // as TakeLayer's, once a run completed; empty otherwise. The caller takes it over.
    std::optional<CPolygonLayer> TakeInputLayer();

private:
    struct Prepared;
    // Names, log, layer and shares; nullopt after a refusal (the summary says why).
    std::optional<Prepared> Prepare();
    // False when the shapefile was not read whole (refused header, damaged record, declined
    // question): a cartogram of part of a map would pair sizes with the wrong polygons.
    bool OpenLog(Prepared& prepared);
    bool LoadMap(Prepared& prepared);
    void CutAntimeridianRings(Prepared& prepared);
    // The convergence mode gives nearly shared borders the same vertices: parts of one record
    // that lie along each other within rounding are joined first, so none comes to share an edge.
    void JoinPartsSharingBorders(Prepared& prepared);
    // "record 3 (A), record 7 (B)": the polygons' records, for messages.
    std::string RecordListOf(const std::vector<uint32_t>& polygons);
    bool LoadPolygons(Prepared& prepared);
    bool CheckLayerAgainstTable(uint32_t n);
    void RunRounds(Prepared& prepared, CCartogramFeedback* feedback);
    // One share per polygon: the size field's, or equal shares without a table or field.
    // Nullopt when the column was refused.
    std::optional<std::vector<double>> ReadShares(uint32_t n, Prepared& prepared);
    // Refuses a size field that matches no numeric field, naming those there are.
    void RefuseUnknownField();
    void Refuse(const std::string& text);
    void ReportLeftOut(const std::vector<LeftOutPolygon>& leftOut);
    void ReportFarFromSize(const RoundMeasures& result);
    void ReportBeyondLargestError(const RoundMeasures& result);
    void ReportTargetMissed(const CartogramSolution& solution);
    std::string TurnedInvalidText(const std::vector<uint32_t>& polygons);
    bool LoadThroughOgr(Prepared& prepared);
    // With ProjectTo: the loaded map moved into that system; false after a refusal.
    bool ProjectMap(Prepared& prepared);
    std::string OutsideAreaText(const CPolygonLayer& projected, const std::vector<uint32_t>& outside);
    // The writer of the export format, its files checked against the inputs; false after a refusal.
    bool OpenExportWriter(Prepared& prepared);
    // The companion layers read and checked; false after a refusal.
    bool OpenCompanions(Prepared& prepared);
    std::optional<std::vector<double>> ReadOgrShares(const Prepared& prepared);
    // The record (from 0) of the input that polygon `polygon` of the run came from.
    uint32_t SourceRecord(uint32_t polygon) const;
    // "record 2891 (Falls Church)", or "feature 12 (...)" for a layer read through OGR: polygon
    // `polygon`'s record from 1, with its name when the input has a name field.
    std::string RecordLabelOf(uint32_t polygon);
    // The input's record names, read once.
    const std::optional<RecordNames>& TheRecordNames();
    void DescribePolygons(const Prepared& prepared, uint32_t n);

    std::optional<CPolygonLayer> Layer_;
    std::optional<CPolygonLayer> InputLayer_;
    CExtent LayerExtent_;
    std::unique_ptr<CQuadTree> Tree_;
    std::vector<CShapeLayer> CompanionShapes_;
    // For an input read through OGR: the feature (from 0) of every polygon of the run.
    std::vector<size_t> PolygonFeatures_;
    // The input's record names: an OGR layer's as read, a shapefile's table's once asked for.
    std::optional<RecordNames> RecordNames_;
    bool RecordNamesRead_ = false;
};

} // namespace tessaro
