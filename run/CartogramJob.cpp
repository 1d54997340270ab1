#include "run/CartogramJob.h"

#include "engine/CartogramFeedback.h"
#include "engine/CartogramSolver.h"
#include "engine/PartMerge.h"
#include "engine/QuadTree.h"
#include "engine/SharedBorders.h"
#include "geodata/AntimeridianCut.h"
#include "geodata/DbfTable.h"
#include "geodata/MapProjection.h"
#include "geodata/NetworkEmfWriter.h"
#include "geodata/OgrLayerReader.h"
#include "geodata/ProjectionFile.h"
#include "geodata/RecordNames.h"
#include "geodata/ShapeValidator.h"
#include "geodata/ShpFileTranslator.h"
#include "geodata/SizeField.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/NumberText.h"
#include "platform/TextCase.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "run/CompanionRounds.h"
#include "run/RoundExport.h"
#include "run/RunFileNames.h"
#include "run/RunLog.h"
#include "run/RunOutputs.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

namespace tessaro {
namespace {

// Areas in square degrees are not areas on the ground: a map in a geographic coordinate system
// gives shares of the wrong areas, more so the farther it reaches from the equator.
void WarnIfGeographic(const std::string& projectionPath)
{
    if (!IsGeographicProjection(projectionPath))
        return;
    ShowMessage("The projection file " + projectionPath +
                    " gives geographic coordinates (degrees): areas measured in square degrees are not "
                    "equal-area, so the polygons will not get areas in proportion to their sizes. Reproject the "
                    "map to an equal-area projection first.",
                MessageKind::Warning);
}

// The same warning for a source read through OGR, whose coordinate system comes with the layer.
void WarnIfGeographic(const std::string& path, const OgrPolygonSource& source)
{
    if (!source.Geographic)
        return;
    ShowMessage("The layer " + source.LayerName + " of " + path +
                    " has geographic coordinates (degrees): areas measured in square degrees are not equal-area, so "
                    "the polygons will not get areas in proportion to their sizes. Reproject the map to an "
                    "equal-area projection first.",
                MessageKind::Warning);
}

// The features whose parts were stored as holes outside their shell, named in one notice.
void WarnRegroupedFeatures(const std::string& path, const OgrPolygonSource& source)
{
    if (source.Regrouped.empty())
        return;
    ShowMessage("The layer " + source.LayerName + " of " + path + " stores parts of " +
                    std::to_string(source.Regrouped.size()) +
                    (source.Regrouped.size() == 1 ? " feature" : " features") + " as holes outside their shell: " +
                    RegroupedFeatureList(source) + "; their rings were read as the separate parts they are.",
                MessageKind::Warning);
}

// The features the reader left out, named in one warning.
void WarnLeftOutFeatures(const std::string& path, const OgrPolygonSource& source)
{
    if (source.LeftOut.empty())
        return;
    ShowMessage("The layer " + source.LayerName + " of " + path +
                    " has features without a polygon: " + LeftOutFeatureList(source) +
                    "; they are left out of the cartogram and kept unchanged in the exports that keep the "
                    "attributes.",
                MessageKind::Warning);
}

// "record 2891 (Falls Church)": the record's number from 1 and its name when the table has one;
// a layer read through OGR has features.
std::string RecordLabel(const char* noun, uint32_t record, const std::optional<RecordNames>& names)
{
    return noun + (" " + NumberedName(record, names));
}

} // namespace

// What preparation leaves for the rounds: the open log, the names, the loaded layer in its own
// network with the reader that wrote it, and the shares.
struct CCartogramJob::Prepared {
    Prepared(RunSchedule schedule, CRunFileNames names) : Schedule(schedule), Names(std::move(names)) {}

    RunSchedule Schedule;
    CRunFileNames Names;
    std::unique_ptr<CRunLog> Log = std::make_unique<CRunLog>();
    std::unique_ptr<CNetwork> Network = std::make_unique<CNetwork>();
    std::unique_ptr<CShpFileTranslator> Translator;
    std::vector<double> Fractions;
    // The size field's values of a shapefile's table, one per record; none where missing.
    std::vector<std::optional<double>> Sizes;
    // What the OGR reader found, for an input read through it.
    std::optional<OgrPolygonSource> Ogr;
    // With an export format: its writer, and the files of the run's inputs.
    std::unique_ptr<COgrRoundWriter> Writer;
    CInputFiles Inputs;
    // With ProjectTo: the way into the run's coordinate system and back (the companions
    // borrow it, so it outlives them).
    std::unique_ptr<CMapProjection> Projection;
    // The companion layers, and their writer when there is no export format.
    std::unique_ptr<COgrRoundWriter> CompanionWriter;
    std::unique_ptr<CCompanionRounds> Companions;
    // The convergence mode: every ring was checked for the antimeridian in geographic
    // coordinates, and those crossing it were cut.
    bool AntimeridianChecked = false;
};

CCartogramJob::CCartogramJob() = default;
CCartogramJob::~CCartogramJob() = default;

void CCartogramJob::Refuse(const std::string& text)
{
    Summary.Refusal = text;
    ShowMessage(text, MessageKind::Error);
}

std::optional<std::vector<double>> CCartogramJob::ReadShares(uint32_t n, Prepared& prepared)
{
    SizeField = UpperCaseAscii(SizeField);
    SizeColumn column = ReadSizeColumn(TablePathFor(ShapefilePath), n, SizeField, Missing);
    Summary.SizeFieldRead = column.FieldName;
    prepared.Sizes = std::move(column.Values);
    Summary.ZeroSizeRecords = column.ZeroRecords;
    Summary.MissingSizeRecords = column.MissingRecords;
    switch (column.Result) {
    case SizeColumn::Outcome::Read:
        return std::move(column.Fractions);
    case SizeColumn::Outcome::NotFound:
        if (!EqualSharesWithoutField) {
            RefuseUnknownField();
            return std::nullopt;
        }
        Summary.EqualShares = true;
        return std::vector<double>(n, 1.0 / static_cast<double>(n));
    case SizeColumn::Outcome::Refused:
        // The reader has said why.
        break;
    }
    Summary.Refusal = "The size field " + SizeField + " cannot be used.";
    return std::nullopt;
}

void CCartogramJob::RefuseUnknownField()
{
    const std::string table = TablePathFor(ShapefilePath);
    const std::optional<std::vector<std::string>> fields = ListSizeFields(table);
    if (!fields) {
        Refuse("There is no attribute table beside " + ShapefilePath + " (looked for " + table + "), so no field " +
               SizeField + " gives the polygons their sizes.");
        return;
    }
    std::string list;
    for (const std::string& name : *fields)
        list += (list.empty() ? "" : ", ") + name;
    Refuse("No numeric field matches " + SizeField + " in the table " + table + "; " +
           (list.empty() ? std::string("it has no numeric field.") : "the numeric fields are " + list + "."));
}

bool CCartogramJob::LoadThroughOgr(Prepared& prepared)
{
    COgrLayerReader reader;
    const bool read = reader.Read(ShapefilePath, InputLayer, SizeField, *prepared.Network);
    if (!read) {
        Summary.Result = CartogramRunSummary::Outcome::Unreadable;
        Refuse(reader.Problem());
        return false;
    }
    prepared.Ogr = reader.Source();
    PolygonFeatures_ = prepared.Ogr->PolygonFeatures;
    RecordNames_ = prepared.Ogr->Names;
    RecordNamesRead_ = true;
    for (const LeftOutFeature& feature : prepared.Ogr->LeftOut)
        Summary.SkippedFeatures.push_back(feature.Feature + 1);
    WarnLeftOutFeatures(ShapefilePath, *prepared.Ogr);
    WarnRegroupedFeatures(ShapefilePath, *prepared.Ogr);
    return true;
}

bool CCartogramJob::OpenExportWriter(Prepared& prepared)
{
    std::string problem;
    prepared.Writer = COgrRoundWriter::Open(*ExportFormat, ShapefilePath, prepared.Ogr ? prepared.Ogr->LayerName : "",
                                            PolygonFeatures_, prepared.Fractions, problem);
    if (!prepared.Writer) {
        Refuse(problem);
        return false;
    }
    if (const auto refusal = prepared.Inputs.CheckOutputs(
            prepared.Writer->Targets(prepared.Names, CExportSchedule(prepared.Schedule, Params.Converge).Rounds()))) {
        Refuse(*refusal);
        return false;
    }
    return true;
}

namespace {

// The map's coordinate system as text: the OGR layer's, or the shapefile's .prj; empty without.
std::string MapCrsText(const std::optional<OgrPolygonSource>& ogr, const std::string& projectionFile)
{
    if (ogr)
        return ogr->CrsWkt;
    std::ifstream file(projectionFile);
    std::ostringstream text;
    text << file.rdbuf();
    return file ? text.str() : std::string();
}

// The layer's vertices moved into the run's coordinate system; false, unchanged, when one cannot be.
bool ProjectCompanion(CCompanionLayer& layer, const CMapProjection& projection)
{
    std::vector<double> vertices = layer.Vertices();
    if (!projection.Forward(vertices))
        return false;
    layer.SetVertices(vertices);
    return true;
}

} // namespace

bool CCartogramJob::ProjectMap(Prepared& prepared)
{
    const std::string mapCrs = MapCrsText(prepared.Ogr, prepared.Names.InputProjection());
    if (mapCrs.empty()) {
        Refuse(prepared.Ogr
                   ? "The layer " + prepared.Ogr->LayerName + " of " + ShapefilePath +
                         " has no coordinate system, so it cannot be reprojected to " + ProjectTo + "."
                   : "The shapefile " + ShapefilePath + " has no projection file (" + prepared.Names.InputProjection() +
                         "), so its coordinate system is unknown and it cannot be reprojected to " + ProjectTo + ".");
        return false;
    }
    std::string problem;
    prepared.Projection = CMapProjection::Open(mapCrs, ProjectTo, problem);
    if (!prepared.Projection) {
        Refuse(problem);
        return false;
    }
    CPolygonLayer& layer = prepared.Network->PolygonLayer();
    std::vector<uint32_t> outside;
    const std::string warning = prepared.Projection->AreaOfUseWarning(layer, &outside);
    if (!prepared.Projection->Forward(layer, problem)) {
        if (!warning.empty())
            ShowMessage(warning, MessageKind::Warning);
        Refuse("The map cannot be reprojected to " + ProjectTo + ": " + problem + ".");
        return false;
    }
    if (!warning.empty())
        ShowMessage(warning + (prepared.Projection->KeepsAreas() ? "" : OutsideAreaText(layer, outside)),
                    MessageKind::Warning);
    if (!prepared.Projection->KeepsAreas())
        ShowMessage(ProjectTo + " (" + prepared.Projection->TargetName() +
                        ") is not an equal-area projection: the cartogram makes the areas on its map follow the "
                        "sizes, which are not the areas on the ground. An equal-area system keeps both alike.",
                    MessageKind::Warning);
    prepared.Network->SetExtent(layer.BoundingBox(), true);
    return true;
}

// For a projection that does not keep areas: what share of the projected map's area lies in the
// polygons that reach outside the area the system is made for, when it is a visible one. A few
// points past its edge distort little, but a polygon that runs on to a pole in Web Mercator
// (EPSG:3857) can hold nearly all the map's area, and the cartogram is made to that area. Empty
// below a hundredth.
std::string CCartogramJob::OutsideAreaText(const CPolygonLayer& projected, const std::vector<uint32_t>& outside)
{
    constexpr double VisibleShare = 0.01;
    constexpr size_t NamedAtMost = 5;
    double total = 0.0, beyond = 0.0;
    for (uint32_t p = 0; p < projected.Count(); ++p) {
        double area = 0.0;
        CPoint2D centroid;
        if (!projected.Polygon(p).AreaAndCentroid(&centroid, &area) || !std::isfinite(area))
            continue;
        total += std::fabs(area);
        if (std::binary_search(outside.begin(), outside.end(), p))
            beyond += std::fabs(area);
    }
    if (!(total > 0.0) || !(beyond >= VisibleShare * total))
        return {};
    const size_t named = std::min(outside.size(), NamedAtMost);
    std::string list = RecordListOf({outside.begin(), outside.begin() + static_cast<std::ptrdiff_t>(named)});
    if (outside.size() > named)
        list += " and " + std::to_string(outside.size() - named) + " more";
    return " The polygons that reach outside it (" + list + ") hold " + FormatFixed(100.0 * beyond / total, 1) +
           " % of the map's area in " + ProjectTo +
           ", which the cartogram takes for their areas on the ground: choose a projection that keeps areas there.";
}

bool CCartogramJob::OpenCompanions(Prepared& prepared)
{
    const std::string mapCrs = MapCrsText(prepared.Ogr, prepared.Names.InputProjection());
    std::vector<std::unique_ptr<CCompanionLayer>> layers;
    for (const CompanionSource& source : Companions) {
        std::string problem;
        std::unique_ptr<CCompanionLayer> layer = CCompanionLayer::Open(source.Path, source.Layer, problem);
        if (!layer) {
            Summary.Result = CartogramRunSummary::Outcome::Unreadable;
            Refuse(problem);
            return false;
        }
        if (!layer->SameCrsAs(mapCrs)) {
            Refuse("The layer " + layer->LayerName() + " of " + source.Path +
                   " is in another coordinate system than the map; reproject it to the map's first.");
            return false;
        }
        if (prepared.Projection && !ProjectCompanion(*layer, *prepared.Projection)) {
            Refuse("The layer " + layer->LayerName() + " of " + source.Path + " cannot be reprojected to " + ProjectTo +
                   ": a vertex lies outside what the projection covers.");
            return false;
        }
        prepared.Inputs.AddShapefile(source.Path);
        layers.push_back(std::move(layer));
    }
    COgrRoundWriter* writer = prepared.Writer.get();
    if (writer == nullptr) {
        prepared.CompanionWriter = COgrRoundWriter::ForCompanions(OgrExportFormat::Shapefile);
        writer = prepared.CompanionWriter.get();
    }
    prepared.Companions = std::make_unique<CCompanionRounds>(std::move(layers), *writer, Params.Converge,
                                                             Params.Converge && Params.KeepBest);
    prepared.Companions->WriteBackThrough(prepared.Projection.get());
    if (const auto refusal = prepared.Inputs.CheckOutputs(
            writer->Targets(prepared.Names, CExportSchedule(prepared.Schedule, Params.Converge).Rounds(),
                            prepared.Companions->Suffixes()))) {
        Refuse(*refusal);
        return false;
    }
    return true;
}

uint32_t CCartogramJob::SourceRecord(uint32_t polygon) const
{
    return polygon < PolygonFeatures_.size() ? static_cast<uint32_t>(PolygonFeatures_[polygon]) : polygon;
}

const std::optional<RecordNames>& CCartogramJob::TheRecordNames()
{
    if (!RecordNamesRead_) {
        RecordNames_ = ReadRecordNames(TablePathFor(ShapefilePath));
        RecordNamesRead_ = true;
    }
    return RecordNames_;
}

std::string CCartogramJob::RecordLabelOf(uint32_t polygon)
{
    TheRecordNames();
    return RecordLabel(Reader == InputReader::Ogr ? "feature" : "record", SourceRecord(polygon), RecordNames_);
}

std::optional<std::vector<double>> CCartogramJob::ReadOgrShares(const Prepared& prepared)
{
    const OgrPolygonSource& source = *prepared.Ogr;
    const size_t n = source.PolygonFeatures.size();
    const std::string label = "the layer " + source.LayerName + " of " + ShapefilePath;
    if (source.SizeFieldName.empty()) {
        if (EqualSharesWithoutField) {
            Summary.EqualShares = true;
            return std::vector<double>(n, 1.0 / static_cast<double>(n));
        }
        std::string list;
        for (const std::string& name : source.NumericFields)
            list += (list.empty() ? "" : ", ") + name;
        Refuse("No numeric field matches " + SizeField + " in " + label + "; " +
               (list.empty() ? std::string("it has no numeric field.") : "the numeric fields are " + list + "."));
        return std::nullopt;
    }
    std::vector<size_t> records(n);
    for (size_t i = 0; i < n; ++i)
        records[i] = source.PolygonFeatures[i] + 1;
    SizeColumn column = SharesFromSizes(source.Sizes, records, label, source.SizeFieldName, Missing);
    Summary.SizeFieldRead = column.FieldName;
    Summary.ZeroSizeRecords = column.ZeroRecords;
    Summary.MissingSizeRecords = column.MissingRecords;
    if (column.Result == SizeColumn::Outcome::Read)
        return std::move(column.Fractions);
    Summary.Refusal = "The size field " + SizeField + " cannot be used.";
    return std::nullopt;
}

bool CCartogramJob::LoadPolygons(Prepared& prepared)
{
    // Below normal until the polygon load ends; restored on every way out.
    const CThreadPriorityGuard lowPriority;
    // The layer starts empty, so the sizes pair with exactly this shapefile's polygons.
    CNetwork& network = *prepared.Network;
    network.SetKeyMode(KeyByCoordinates);
    network.ResetExtent();
    prepared.Translator = std::make_unique<CShpFileTranslator>(network);
    if (Reader == InputReader::Ogr)
        return LoadThroughOgr(prepared);
    try {
        prepared.Translator->ReadShapeFile(ShapefilePath, CShpFileTranslator::PolygonType);
    } catch (const CFileError& error) {
        Summary.Result = CartogramRunSummary::Outcome::Unreadable;
        Refuse(error.what());
        return false;
    }
    if (!prepared.Translator->LastRead().Whole()) {
        Summary.Result = CartogramRunSummary::Outcome::Unreadable;
        Refuse("The shapefile " + ShapefilePath + " could not be read whole, so the cartogram is not made.");
        return false;
    }
    return true;
}

// The polygon layer must pair one to one with the table's records.
bool CCartogramJob::CheckLayerAgainstTable(uint32_t n)
{
    if (n == 0) {
        Refuse((Reader == InputReader::Ogr ? "The source " : "The shapefile ") + ShapefilePath +
               " holds no polygons; the cartogram cannot be made.");
        return false;
    }
    // A layer read through OGR carries its attributes with its features.
    if (Reader == InputReader::Ogr)
        return true;
    const std::string tablePath = TablePathFor(ShapefilePath);
    std::string damage;
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &damage);
    if (!damage.empty()) {
        Refuse(damage);
        return false;
    }
    if (table && table->RecordCount() != static_cast<int>(n)) {
        Refuse("The shapefile holds " + std::to_string(n) + " polygons but its table " + tablePath + " holds " +
               std::to_string(table->RecordCount()) +
               " records; sizes cannot be matched to polygons, so the cartogram is not made.");
        return false;
    }
    return true;
}

std::optional<CCartogramJob::Prepared> CCartogramJob::Prepare()
{
    if (ShapefilePath.empty()) {
        Refuse("No shapefile was given for the cartogram.");
        return std::nullopt;
    }
    PolygonFeatures_.clear();
    Prepared prepared(MakeRunSchedule(Params.MaxSteps, Params.ExportEvery),
                      CRunFileNames(ShapefilePath, OutputFolder, Reader == InputReader::Ogr));
    prepared.Inputs.AddShapefile(ShapefilePath);
    if (!OpenLog(prepared))
        return std::nullopt;
    EpsilonFactor = Params.EpsilonFactor;
    if (!LoadMap(prepared)) {
        prepared.Log->Discard();
        return std::nullopt;
    }
    const uint32_t n = prepared.Network->PolygonCount();
    std::optional<std::vector<double>> fractions;
    if (CheckLayerAgainstTable(n))
        fractions = prepared.Ogr ? ReadOgrShares(prepared) : ReadShares(n, prepared);
    if (!fractions) {
        prepared.Log->Discard();
        return std::nullopt;
    }
    prepared.Fractions = std::move(*fractions);
    if ((ExportFormat && !OpenExportWriter(prepared)) || (!Companions.empty() && !OpenCompanions(prepared))) {
        prepared.Log->Discard();
        return std::nullopt;
    }
    return prepared;
}

// The derived names checked against the inputs, and the information file opened (and locked).
bool CCartogramJob::OpenLog(Prepared& prepared)
{
    std::string namesMessage;
    if (!CheckDerivedNames(prepared.Names, CExportSchedule(prepared.Schedule, Params.Converge).Rounds(),
                           namesMessage)) {
        Refuse(namesMessage);
        return false;
    }
    if (!prepared.Log->Open(prepared.Names.InformationFile())) {
        Refuse(std::string(CRunLog::OpenFailureText) + "\n" + prepared.Log->FailureReason());
        return false;
    }
    Summary.InformationFile = prepared.Names.InformationFile();
    return true;
}

// The polygons loaded and, with ProjectTo, projected; a map in degrees gets its warning.
// The convergence mode on a map with a coordinate system: polygons with a ring projected across
// the antimeridian without a cut are cut there, and named.
void CCartogramJob::CutAntimeridianRings(Prepared& prepared)
{
    std::string problem;
    const std::unique_ptr<CAntimeridianCut> cutter =
        CAntimeridianCut::Open(MapCrsText(prepared.Ogr, prepared.Names.InputProjection()), problem);
    if (!cutter)
        return;
    std::vector<uint32_t> uncut;
    const std::vector<uint32_t> cut = cutter->Cut(prepared.Network->PolygonLayer(), uncut);
    if (!cut.empty()) {
        ShowMessage("Rings of " + RecordListOf(cut) + " cross the antimeridian (" + cutter->AntimeridianText() +
                        ") without a cut; each was cut there into its "
                        "parts on either side, which the exported map keeps.",
                    MessageKind::Warning);
        prepared.Network->SetExtent(prepared.Network->PolygonLayer().BoundingBox(), true);
    }
    if (!uncut.empty())
        ShowMessage("Rings of " + RecordListOf(uncut) + " cross the antimeridian (" + cutter->AntimeridianText() +
                        ") without a cut, and could not be cut there: "
                        "cut them first (for example with ogr2ogr -wrapdateline).",
                    MessageKind::Warning);
    prepared.AntimeridianChecked = uncut.empty();
}

std::string CCartogramJob::RecordListOf(const std::vector<uint32_t>& polygons)
{
    std::string text;
    for (const uint32_t polygon : polygons)
        text += (text.empty() ? "" : ", ") + RecordLabelOf(polygon);
    return text;
}

void CCartogramJob::JoinPartsSharingBorders(Prepared& prepared)
{
    const CExtent& box = prepared.Network->Extent();
    const double tolerance = BorderSnapTolerance * std::max(box.Width(), box.Height());
    const std::vector<uint32_t> joined = MergePartsSharingBorders(prepared.Network->PolygonLayer(), tolerance);
    if (!joined.empty())
        ShowMessage("Parts of " + RecordListOf(joined) +
                        " lie along each other; each record's parts that share a border were joined into one "
                        "ring, which the exported map keeps.",
                    MessageKind::Information);
}

bool CCartogramJob::LoadMap(Prepared& prepared)
{
    if (!LoadPolygons(prepared))
        return false;
    if (Params.Converge)
        CutAntimeridianRings(prepared);
    if (!ProjectTo.empty()) {
        // The run is made in the projected system, so the input's degrees need no warning.
        if (!ProjectMap(prepared))
            return false;
    } else if (prepared.Ogr) {
        WarnIfGeographic(ShapefilePath, *prepared.Ogr);
    } else {
        WarnIfGeographic(prepared.Names.InputProjection());
    }
    if (Params.Converge)
        JoinPartsSharingBorders(prepared);
    return true;
}

void CCartogramJob::RunRounds(Prepared& prepared, CCartogramFeedback* feedback)
{
    CNetwork& network = *prepared.Network;
    const OverlapPairs inputOverlaps = Overlaps(network.PolygonLayer(), Params.ThreadCount);
    std::optional<CPolygonLayer> inputLayer;
    if (KeepInputLayer)
        inputLayer = network.PolygonLayer().Copy();
    auto tree = std::make_unique<CQuadTree>();
    CCartogramSolver solver(network.PolygonLayer(), *tree, Params, std::move(prepared.Fractions), network.Extent());
    if (prepared.AntimeridianChecked)
        solver.PushWideRings();
    RunOutputSettings settings;
    settings.WithSvg = WithSvg;
    settings.Converging = Params.Converge;
    if (prepared.Ogr)
        settings.OgrProjection = prepared.Ogr->CrsEsriWkt;
    settings.Writer = prepared.Writer.get();
    settings.Inputs = &prepared.Inputs;
    settings.Companions = prepared.Companions.get();
    settings.Projection = prepared.Projection.get();
    const CExportSchedule schedule(prepared.Schedule, Params.Converge);
    CRunOutputs outputs(*prepared.Log, prepared.Names, schedule, network, *prepared.Translator, *tree, solver,
                        std::move(settings), Summary);
    const CartogramSolution solution = solver.Solve(&outputs, feedback);
    Summary.FirstMeasures = solution.FirstMeasures;
    Summary.LastMeasures = solution.LastMeasures;
    Summary.LastRound = solution.LastRound;
    Summary.KeptRound = solution.KeptRound;
    ReportLeftOut(solution.LeftOut);
    switch (solution.Result) {
    case CartogramSolution::Outcome::Completed:
        Summary.Result = CartogramRunSummary::Outcome::Completed;
        if (solution.RoundsTransformed == 0 && Summary.WrittenFiles.empty() && solution.FirstMeasures)
            ShowMessage("The map already has the areas its sizes ask for (weighted mean error " +
                            FormatFixed(solution.FirstMeasures->WeightedMeanError, 6) +
                            " at round 0): no round was needed, so no round file was written.",
                        MessageKind::Information);
        outputs.ReportNewOverlaps(inputOverlaps, Params.ThreadCount);
        if (Params.Converge && solution.LastMeasures) {
            ReportFarFromSize(*solution.LastMeasures);
            ReportBeyondLargestError(*solution.LastMeasures);
            ReportTargetMissed(solution);
            if (solution.LoopsCut > 0)
                ShowMessage(std::to_string(solution.LoopsCut) +
                                (solution.LoopsCut == 1 ? " small loop was" : " small loops were") +
                                " cut where a round laid two edges of a ring across each other (the tip of a "
                                "polygon squeezed thinner than the round's edges can follow); each held at most " +
                                FormatFixed(100.0 * CartogramSolution::MaxLoopShare, 2) + " % of its ring's area.",
                            MessageKind::Information);
        }
        DescribePolygons(prepared, network.PolygonCount());
        for (auto& pair : Summary.NewOverlaps)
            pair = {static_cast<int32_t>(SourceRecord(static_cast<uint32_t>(pair.first))),
                    static_cast<int32_t>(SourceRecord(static_cast<uint32_t>(pair.second)))};
        tree->CurrentMap = DisplacedMap;
        Layer_ = network.TakePolygonLayer();
        InputLayer_ = std::move(inputLayer);
        LayerExtent_ = solver.LayerExtent();
        Tree_ = std::move(tree);
        if (prepared.Companions)
            CompanionShapes_ = prepared.Companions->Shapes();
        break;
    case CartogramSolution::Outcome::Cancelled:
        Summary.Result = CartogramRunSummary::Outcome::Cancelled;
        // The information file says that the run was cut short, so that it is not taken for one
        // that ended by a stop rule.
        prepared.Log->WriteLine(CancelledLine(solution.RoundsTransformed) + "\n");
        break;
    case CartogramSolution::Outcome::Refused:
        Summary.Result = CartogramRunSummary::Outcome::Refused;
        Summary.RefusedForPolygonArea = solution.RefusedFor == MeasureStatus::BadArea;
        // The measures number polygons; the user finds a record by its number and name.
        Refuse(solution.RefusedPolygon < 0
                   ? solution.Refusal
                   : solution.Refusal + " Polygon " + std::to_string(solution.RefusedPolygon + 1) + " is " +
                         RecordLabelOf(static_cast<uint32_t>(solution.RefusedPolygon)) + " of " + ShapefilePath + ".");
        prepared.Log->Discard();
        break;
    }
    prepared.Log->Close();
}

// The record, name and size of every polygon of the result, for a front end's table of it.
void CCartogramJob::DescribePolygons(const Prepared& prepared, uint32_t n)
{
    const std::optional<RecordNames>& names = TheRecordNames();
    Summary.Polygons.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        CartogramRunSummary::PolygonRecord& polygon = Summary.Polygons[i];
        polygon.Record = SourceRecord(i);
        if (names && polygon.Record < names->Names.size())
            polygon.Name = names->Names[polygon.Record];
        if (prepared.Ogr && i < prepared.Ogr->Sizes.size())
            polygon.Size = prepared.Ogr->Sizes[i];
        else if (!prepared.Ogr && polygon.Record < prepared.Sizes.size())
            polygon.Size = prepared.Sizes[polygon.Record];
    }
}

// One warning naming the records of the convergence mode's result whose area is below half or
// above twice what their size asks, kept in Summary.FarFromSizeRecords farthest first. A polygon
// squeezed by growing neighbours can end with almost no area while the weighted mean error, which
// weights it by that area, looks fine.
void CCartogramJob::ReportFarFromSize(const RoundMeasures& result)
{
    constexpr size_t NamedAtMost = 10;
    std::vector<uint32_t> far;
    for (size_t i = 0; i < result.Fits.size(); ++i)
        if (result.Fits[i].FarFromSize())
            far.push_back(static_cast<uint32_t>(i));
    if (far.empty())
        return;
    // The farthest first (by the factor between actual and desired area), so the ones named are
    // the worst.
    const auto farness = [&result](uint32_t polygon) { return std::fabs(std::log1p(result.Fits[polygon].Deviation)); };
    std::stable_sort(far.begin(), far.end(), [&](uint32_t a, uint32_t b) { return farness(a) > farness(b); });
    std::string list;
    for (const uint32_t polygon : far) {
        Summary.FarFromSizeRecords.push_back(SourceRecord(polygon));
        if (Summary.FarFromSizeRecords.size() <= NamedAtMost)
            list += (list.empty() ? "" : ", ") + RecordLabelOf(polygon);
    }
    const size_t count = far.size();
    if (count > NamedAtMost)
        list += " and " + std::to_string(count - NamedAtMost) + " more";
    ShowMessage(std::to_string(count) +
                    (count == 1 ? " polygon ends below half or above twice the area its size asks for: "
                                : " polygons end below half or above twice the area their sizes ask for, the "
                                  "farthest first: ") +
                    list + ".",
                MessageKind::Warning);
}

// One warning naming the records of a visible share (PolygonFit::VisibleShare of the
// total or more) that the convergence mode's result leaves further than the largest error from
// their sizes, the farthest first, each with how far: a weighted mean error near its target can
// hide a small country a quarter short.
void CCartogramJob::ReportBeyondLargestError(const RoundMeasures& result)
{
    if (!(Params.LargestError > 0.0))
        return;
    constexpr size_t NamedAtMost = 10;
    std::vector<uint32_t> beyond;
    for (size_t i = 0; i < result.Fits.size(); ++i)
        if (result.Fits[i].Beyond(Params.LargestError))
            beyond.push_back(static_cast<uint32_t>(i));
    if (beyond.empty())
        return;
    const auto off = [&result](uint32_t polygon) { return result.Fits[polygon].Deviation; };
    std::stable_sort(beyond.begin(), beyond.end(),
                     [&](uint32_t a, uint32_t b) { return std::fabs(off(a)) > std::fabs(off(b)); });
    std::string list;
    for (size_t k = 0; k < beyond.size() && k < NamedAtMost; ++k)
        list += (k == 0 ? "" : ", ") + RecordLabelOf(beyond[k]) + " " +
                FormatFixed(100.0 * std::fabs(off(beyond[k])), 1) + (off(beyond[k]) < 0.0 ? " % short" : " % over");
    const size_t count = beyond.size();
    if (count > NamedAtMost)
        list += " and " + std::to_string(count - NamedAtMost) + " more";
    const std::string limit = FormatFixed(100.0 * Params.LargestError, 2) + " %";
    const std::string least = FormatFixed(100.0 * PolygonFit::VisibleShare, 2) + " %";
    ShowMessage(
        std::to_string(count) +
            (count == 1 ? " polygon of at least " + least + " of the total ends more than " + limit + " from its size: "
                        : " polygons of at least " + least + " of the total end more than " + limit +
                              " from their sizes, the farthest first: ") +
            list + ".",
        MessageKind::Warning);
}

// A convergence run whose result stays above its target says so, and so does one whose better
// rounds were passed over for a ring that turned invalid: the summary's figures are the kept
// round's, and this says why the rounds after it did not count.
void CCartogramJob::ReportTargetMissed(const CartogramSolution& solution)
{
    std::string text;
    if (!(solution.LastMeasures->WeightedMeanError < Params.TargetError))
        text = "The weighted mean error stays above the target of " + FormatFixed(Params.TargetError, 6) + ": " +
               FormatFixed(solution.LastMeasures->WeightedMeanError, 6) + " at the kept round " +
               std::to_string(solution.LastRound) + ".";
    if (solution.PassedOverInvalid > 0)
        text += std::string(text.empty() ? "" : " ") + std::to_string(solution.PassedOverInvalid) +
                (solution.PassedOverInvalid == 1
                     ? " round that measured better was passed over: a ring that was valid at first was invalid in it"
                     : " rounds that measured better were passed over: a ring that was valid at first was invalid in "
                       "them") +
                TurnedInvalidText(solution.TurnedInvalid) + ".";
    if (!text.empty())
        ShowMessage(text, MessageKind::Warning);
}

// " (the rings of record 7 (Ohio), record 9 (Utah))": the polygons whose rings turned invalid,
// at most NamedAtMost of them named; empty for none.
std::string CCartogramJob::TurnedInvalidText(const std::vector<uint32_t>& polygons)
{
    constexpr size_t NamedAtMost = 10;
    if (polygons.empty())
        return {};
    const size_t named = std::min(polygons.size(), NamedAtMost);
    std::string text = " (the rings of " + RecordListOf({polygons.begin(), polygons.begin() + named});
    if (polygons.size() > named)
        text += " and " + std::to_string(polygons.size() - named) + " more";
    return text + ")";
}

// One warning per kind naming the records the convergence loop left out.
void CCartogramJob::ReportLeftOut(const std::vector<LeftOutPolygon>& leftOut)
{
    if (leftOut.empty())
        return;
    std::string degenerate;
    std::string wide;
    for (const LeftOutPolygon& polygon : leftOut) {
        Summary.LeftOutRecords.push_back(SourceRecord(polygon.Polygon));
        std::string& list = polygon.Why == LeftOutPolygon::Reason::WideRing ? wide : degenerate;
        list += (list.empty() ? "" : ", ") + RecordLabelOf(polygon.Polygon);
    }
    if (!degenerate.empty())
        ShowMessage("No area can be measured for " + degenerate +
                        "; moved with the map, but left out of the error measures and the forces.",
                    MessageKind::Warning);
    if (!wide.empty())
        ShowMessage("A ring spans more than half the map's width in " + wide +
                        " (a long edge of its own, or a ring projected across the antimeridian without a cut, which "
                        "is to be cut there first); moved with the map but not pushed "
                        "towards its size, and counted in the error measures as it stands.",
                    MessageKind::Warning);
}

std::optional<CPolygonLayer> CCartogramJob::TakeLayer()
{
    std::optional<CPolygonLayer> layer = std::move(Layer_);
    Layer_.reset();
    return layer;
}

std::optional<CPolygonLayer> CCartogramJob::TakeInputLayer()
{
    std::optional<CPolygonLayer> layer = std::move(InputLayer_);
    InputLayer_.reset();
    return layer;
}

std::unique_ptr<CQuadTree> CCartogramJob::TakeQuadTree()
{
    return std::move(Tree_);
}

std::vector<CShapeLayer> CCartogramJob::TakeCompanionShapes()
{
    return std::exchange(CompanionShapes_, {});
}

std::string CCartogramJob::CancelledLine(int roundsTransformed)
{
    return "Cancelled by the user after " + std::to_string(roundsTransformed) + " transformed round" +
           (roundsTransformed == 1 ? "" : "s") + ".";
}

std::unique_ptr<CCartogramJob> CCartogramJob::Again() const
{
    auto job = std::make_unique<CCartogramJob>();
    static_cast<CartogramJobRequest&>(*job) = *this;
    return job;
}

const CartogramRunSummary& CCartogramJob::Run(CCartogramFeedback* feedback)
{
    Summary = CartogramRunSummary{};
    Layer_.reset();
    InputLayer_.reset();
    Tree_.reset();
    CompanionShapes_.clear();
    CMessageCollector collector(ReadOtherShapeTypes);
    std::optional<Prepared> prepared;
    {
        const CThreadUserInterfaceScope quiet(&collector);
        prepared = Prepare();
    }
    if (prepared && ShowBeforeRounds)
        ShowBeforeRounds(collector.Take());
    if (prepared) {
        const CThreadUserInterfaceScope quiet(&collector);
        RunRounds(*prepared, feedback);
    }
    Summary.Messages = collector.Messages();
    return Summary;
}

} // namespace tessaro
