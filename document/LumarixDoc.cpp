#include "document/LumarixDoc.h"

#include "geodata/DbfTable.h"
#include "geodata/OgrLayerReader.h"
#include "geodata/ShapefileHeader.h"
#include "geodata/SizeField.h"
#include "graphio/GraphExporter.h"
#include "network/NodeSearch.h"
#include "platform/FileError.h"
#include "platform/GuardedFileRead.h"
#include "platform/NumberText.h"
#include "platform/TextCase.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"
#include "run/ParamFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <initializer_list>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace tessaro {
namespace {

std::string Ending(const std::string& path)
{
    return UpperCaseAscii(path.size() >= 3 ? path.substr(path.size() - 3) : path);
}

// The open's first step: the file must be readable, or the open fails with the file error.
bool CheckReadable(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (file)
        return true;
    ShowMessage(CFileError(path, "open", errno).what(), MessageKind::Error);
    return false;
}

// The field of that name, compared without regard to case; -1 without one.
int FieldIndex(const CDbfTable& table, const std::string& name)
{
    for (int i = 0; i < table.FieldCount(); ++i)
        if (UpperCaseAscii(table.Field(i).Name) == UpperCaseAscii(name))
            return i;
    return -1;
}

// "1, 4, 9"; a long list names its first numbers and counts the rest.
std::string NumberList(const std::vector<int>& numbers)
{
    constexpr size_t Named = 20;
    std::string list;
    for (size_t i = 0; i < numbers.size() && i < Named; ++i)
        list += (i == 0 ? "" : ", ") + std::to_string(numbers[i]);
    if (numbers.size() > Named)
        list += " and " + std::to_string(numbers.size() - Named) + " more";
    return list;
}

// "the numeric fields are LANES, TIME." in the order the field list shows them, or that there
// is none.
std::string NumericFieldsText(const CDbfTable& table)
{
    std::vector<std::string> names;
    for (int i = 0; i < table.FieldCount(); ++i)
        if (table.Field(i).IsNumeric())
            names.push_back(table.Field(i).Name);
    if (names.empty())
        return "it has no numeric field.";
    std::stable_sort(names.begin(), names.end(),
                     [](const std::string& a, const std::string& b) { return UpperCaseAscii(a) < UpperCaseAscii(b); });
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    return "the numeric fields are " + list + ".";
}

// How many damaged lines a warning names; the count covers the rest.
constexpr size_t NamedDamagedLines = 5;

// "The flight table x.flt has 3 lines that could not be read (line 4: fewer than five commas;
// ...); they were left out."
std::string DescribeDamagedLines(const std::string& table, const std::string& path, const CDamagedLines& damaged)
{
    const bool one = damaged.Count() == 1;
    std::string text = table + " " + path + " has " + std::to_string(damaged.Count()) +
                       (one ? " line" : " lines") + " that could not be read (";
    const std::vector<CDamagedLines::Line>& listed = damaged.Listed();
    const size_t named = std::min(listed.size(), NamedDamagedLines);
    for (size_t i = 0; i < named; ++i)
        text += (i == 0 ? "line " : "; line ") + std::to_string(listed[i].Number) + ": " + std::string(listed[i].Reason);
    if (damaged.Count() > static_cast<int64_t>(named))
        text += "; ...";
    return text + (one ? "); it was left out." : "); they were left out.");
}

struct DamagedTable {
    const char* Table;
    std::string Path;
    const CDamagedLines& Lines;
};

// One warning naming the damaged lines of every table of a read; true when there were none.
bool ReportDamagedLines(std::initializer_list<DamagedTable> tables)
{
    std::string text;
    for (const DamagedTable& table : tables)
        if (!table.Lines.Empty())
            text += (text.empty() ? "" : "\n") + DescribeDamagedLines(table.Table, table.Path, table.Lines);
    if (text.empty())
        return true;
    ShowMessage(text, MessageKind::Warning);
    return false;
}

// "The parameter file x.cartoparam does not give every value on lines 1, 2; ...", and a
// sentence for each "name = value" line it did not take.
void ReportShortParamLines(const std::string& path, const std::vector<ParamLineRefusal>& lines, MessageKind kind)
{
    std::string list;
    std::vector<std::string> named;
    for (const ParamLineRefusal& line : lines) {
        if (line.Reason.empty())
            list += (list.empty() ? "" : ", ") + std::to_string(line.Line);
        else
            named.push_back(line.Reason);
    }
    std::string message = "The parameter file " + path;
    if (!list.empty())
        message += " does not give every value on line" + std::string(list.find(',') != std::string::npos ? "s " : " ") +
                   list;
    for (size_t k = 0; k < named.size(); ++k)
        message += (k == 0 && list.empty() ? ": " : "; ") + named[k];
    ShowMessage(message + (kind == MessageKind::Error ? "; a run needs every value." : "; those values keep the defaults."),
                kind);
}

} // namespace

bool CLumarixDoc::OnOpenDocument(const std::string& path)
{
    LastReadWhole_ = false;
    if (!CheckReadable(path))
        return false;
    DocumentPath = path;
    const std::optional<bool> known = GuardedFileRead([&] {
        if (ReadByEnding(path))
            return true;
        ShowMessage("Unknown File Format", MessageKind::Error);
        return false;
    });
    if (!known.value_or(false))
        return false;
    RefreshViews(&Network_);
    return true;
}

bool CLumarixDoc::ReadByEnding(const std::string& path)
{
    const std::string ending = Ending(path);
    if (ending == "SHP") {
        LastReadWhole_ = ReadShapefileWhole(path);
    } else if (ending == "TXT") {
        Network_.SetKeyMode(KeyByName);
        Inputs_.Add(path);
        const bool read = LitTranslator_.ReadBibliography(path) == CLitFileTranslator::ReadSucceeded;
        LastReadWhole_ = ReportDamagedLines({{"The bibliography", path, LitTranslator_.DamagedLines()}}) && read;
    } else if (ending == "CSV") {
        LastReadWhole_ = ReadCitationsWhole(path);
    } else if (ending == "FLT") {
        Network_.SetKeyMode(KeyByNameOrderByX);
        Inputs_.Add(path);
        const bool read = FlightsTranslator_.ReadFlights(path);
        LastReadWhole_ = ReportDamagedLines({{"The flight table", path, FlightsTranslator_.DamagedLines()}}) && read;
    } else {
        return false;
    }
    return true;
}

bool CLumarixDoc::ReadShapefileWhole(const std::string& path)
{
    Network_.SetKeyMode(KeyByCoordinates);
    Inputs_.AddShapefile(path);
    ShpTranslator_.ReadShapeFile(path, -1);
    return ShpTranslator_.LastRead().Whole();
}

bool CLumarixDoc::ImportGisLayer(const GisLayerSource& source)
{
    LastReadWhole_ = false;
    if (!CheckReadable(source.Path))
        return false;
    Network_.SetKeyMode(KeyByCoordinates);
    COgrLayerReader reader;
    bool read = false;
    {
        CWaitGuard wait;
        read = reader.Read(source.Path, source.Layer, source.SizeField, Network_);
    }
    if (!read) {
        ShowMessage(reader.Problem(), MessageKind::Error);
        return false;
    }
    const OgrPolygonSource& found = reader.Source();
    if (found.PolygonFeatures.empty()) {
        ShowMessage("The layer " + found.LayerName + " of " + source.Path +
                        " holds no polygons; only polygon layers can be imported.",
                    MessageKind::Error);
        return false;
    }
    if (!found.LeftOut.empty())
        ShowMessage("The layer " + found.LayerName + " of " + source.Path + " has features without a polygon: " +
                        LeftOutFeatureList(found) + "; they are not shown and are left out of the cartogram.",
                    MessageKind::Warning);
    DocumentPath = source.Path;
    Inputs_.AddShapefile(source.Path);
    Imported_ = GisLayerSource{source.Path, found.LayerName, source.SizeField, found.PolygonFeatures};
    LastReadWhole_ = true;
    RefreshViews(&Network_);
    return true;
}

void CLumarixDoc::SetUpGisJob(CCartogramJob& job) const
{
    if (!Imported_)
        return;
    job.Reader = CCartogramJob::InputReader::Ogr;
    job.ShapefilePath = Imported_->Path;
    job.InputLayer = Imported_->Layer;
    job.SizeField = Imported_->SizeField;
    job.EqualSharesWithoutField = true;
    job.Companions = Companions;
}

bool CLumarixDoc::ReadCitationsWhole(const std::string& path)
{
    const std::string citationPath = CCitationFileTranslator::CitationTablePathFor(path);
    Network_.SetKeyMode(KeyByNameMergeParallel);
    Inputs_.Add(path);
    Inputs_.Add(citationPath);
    const bool read = CitationTranslator_.ReadCitations(path, CCitationFileTranslator::AuthorAndCitationTables);
    const bool sound = ReportDamagedLines({{"The author table", path, CitationTranslator_.DamagedAuthorLines()},
                                           {"The citation table", citationPath, CitationTranslator_.DamagedCitationLines()}});
    return sound && read;
}

int CLumarixDoc::ExportGuarded(const std::string& path, int (*write)(CNetwork&, const std::string&))
{
    if (const std::optional<std::string> refusal = Inputs_.CheckOutput(path)) {
        ShowMessage(*refusal, MessageKind::Error);
        return -1;
    }
    CWaitGuard wait;
    return write(Network_, path);
}

int CLumarixDoc::ExportPajek(const std::string& path)
{
    return ExportGuarded(path, [](CNetwork& network, const std::string& target) {
        return CGraphExporter(network).WritePajek(target);
    });
}

int CLumarixDoc::ExportGraphviz(const std::string& path)
{
    return ExportGuarded(path, [](CNetwork& network, const std::string& target) {
        return CGraphExporter(network).WriteGraphviz(target);
    });
}

CLumarixDoc::ParamsLoad CLumarixDoc::LoadParams(const std::string& path, ParamFileRule rule)
{
    return LoadParamsInto(Params, path, rule);
}

CLumarixDoc::ParamsLoad CLumarixDoc::LoadParamsInto(CartoParams& params, const std::string& path, ParamFileRule rule)
{
    CartoParams loaded = params;
    std::vector<ParamLineRefusal> shortLines;
    if (std::string problem; !LoadParamFile(loaded, path, &shortLines, &problem)) {
        ShowMessage("Cannot read the parameter file " + path + ": " + problem + ".", MessageKind::Error);
        return ParamsLoad::Unreadable;
    }
    const bool whole = shortLines.empty();
    if (!whole) {
        const bool refused = rule == ParamFileRule::Whole;
        ReportShortParamLines(path, shortLines, refused ? MessageKind::Error : MessageKind::Warning);
        if (refused)
            return ParamsLoad::Incomplete;
    }
    params = loaded;
    return whole ? ParamsLoad::Read : ParamsLoad::Incomplete;
}

bool CLumarixDoc::SaveParams(const std::string& path) const
{
    if (const std::optional<std::string> refusal = Inputs_.CheckOutput(path)) {
        ShowMessage(*refusal, MessageKind::Error);
        return false;
    }
    if (SaveParamFile(Params, path))
        return true;
    ShowMessage("Cannot write the parameter file " + path + ".", MessageKind::Error);
    return false;
}

bool CLumarixDoc::SetOriginNode(CNetworkNode* node)
{
    if (node == nullptr) {
        ShowMessage("The Start Point Pointer is NULL!", MessageKind::Error);
        return false;
    }
    return ShortestPath_.SetOrigin(node);
}

void CLumarixDoc::SetDestinationNode(CNetworkNode* node)
{
    if (node != nullptr)
        ShortestPath_.SetDestination(node);
}

bool CLumarixDoc::SetServiceCenter(CNetworkNode* node)
{
    if (node == nullptr) {
        ShowMessage("An Invalid Pointer!", MessageKind::Error);
        return false;
    }
    ServiceCenter_ = node;
    node->Attribute().Distance = 0.0;
    node->Attribute().Flags |= CNetworkNodeAttribute::FinishedFlag;
    return true;
}

void CLumarixDoc::InitializeBestRoute() { ShortestPath_.Initialize(); }

void CLumarixDoc::RunBestRoute(double initCircle)
{
    SolveBestRoute(initCircle <= 0.0 ? CShortestPath::ModeCandidates : CShortestPath::ModeRegional, initCircle);
}

void CLumarixDoc::SolveBestRoute(int mode, double initCircle)
{
    {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        ShortestPath_.Solve(mode, initCircle);
    }
    RefreshViews(&Network_);
}

CNetworkNode* CLumarixDoc::FindNodeNamed(const std::string& name)
{
    const std::string wanted = UpperCaseAscii(name);
    for (const auto& node : Network_.Nodes())
        if (UpperCaseAscii(node->Name()) == wanted)
            return node;
    std::string similar;
    for (const CNetworkNode* match : FindNodesByName(Network_, name))
        similar += (similar.empty() ? "" : ", ") + match->Name();
    ShowMessage("No node is named \"" + name + "\"" + (similar.empty() ? "." : "; similar names: " + similar + "."),
                MessageKind::Error);
    return nullptr;
}

CNetworkNode* CLumarixDoc::FindNodeNearest(double x, double y)
{
    // A point with no number in it is nearest to nothing; saying so beats naming a node.
    if (!std::isfinite(x) || !std::isfinite(y)) {
        ShowMessage("The point " + FormatFixed(x, 4) + "," + FormatFixed(y, 4) + " is not a place in the network's plane.",
                    MessageKind::Error);
        return nullptr;
    }
    CNetworkNode* nearest = nullptr;
    double best = std::numeric_limits<double>::infinity();
    for (const auto& node : Network_.Nodes()) {
        // A node with a coordinate that is no number is nowhere; a distance beyond the largest
        // double still ranks.
        const double distance = std::hypot(node->X() - x, node->Y() - y);
        if (!std::isnan(distance) && (nearest == nullptr || distance < best)) {
            best = distance;
            nearest = node;
        }
    }
    if (nearest == nullptr)
        ShowMessage("The network has no node to start or end a route at.", MessageKind::Error);
    return nearest;
}

bool CLumarixDoc::ChooseRouteWeights(const std::string& weights)
{
    if (weights.empty() || weights == "length") {
        if (!weights.empty() || Network_.KeyMode() == KeyByCoordinates)
            UseChainLengths();
        return true;
    }
    return UseChainWeightsFromTable(TablePathFor(DocumentPath), weights, WeightValues::NumbersOnly);
}

void CLumarixDoc::UseChainLengths() { Network_.ComputeChainLengths(); }

bool CLumarixDoc::UseChainWeightsFromTable(const std::string& tablePath, const std::string& fieldName,
                                           WeightValues values)
{
    std::string damage;
    const std::unique_ptr<CDbfTable> table = CDbfTable::Open(tablePath, &damage);
    if (!table) {
        ShowMessage(damage.empty() ? "Cannot open the attribute table " + tablePath + "." : damage, MessageKind::Error);
        return false;
    }
    if (table->RecordCount() != static_cast<int>(Network_.ChainCount())) {
        ShowMessage("文件不匹配，请重新选择正确的文件！", MessageKind::Error);
        return false;
    }
    const int field = FieldIndex(*table, fieldName);
    const bool numbersOnly = values == WeightValues::NumbersOnly;
    // A text field would read as costs of 0 everywhere: every route would be free.
    if (field < 0 || (numbersOnly && !table->Field(field).IsNumeric())) {
        ShowMessage((field < 0 ? "The attribute table " + tablePath + " has no field " + fieldName
                               : "The field " + table->Field(field).Name + " of " + tablePath + " is not numeric") +
                        "; " + NumericFieldsText(*table),
                    MessageKind::Error);
        return false;
    }
    std::vector<double> weights(Network_.ChainCount());
    std::vector<int> missing;
    for (int r = 0; r < table->RecordCount(); ++r) {
        const std::optional<double> weight =
            numbersOnly ? table->ReadNumber(r, field) : std::optional<double>(table->ReadDouble(r, field));
        weights[static_cast<size_t>(r)] = weight.value_or(0.0);
        if (!weight)
            missing.push_back(r + 1);
    }
    if (!missing.empty()) {
        ShowMessage("The field " + table->Field(field).Name + " of " + tablePath + " is missing at record" +
                        (missing.size() > 1 ? "s " : " ") + NumberList(missing) +
                        " (an empty value, the dBase null or text that is not a number); a chain cannot cost nothing "
                        "for want of a value.",
                    MessageKind::Error);
        return false;
    }
    Network_.SetChainWeights(weights);
    return true;
}

int CLumarixDoc::LoadPolygonShapefile(const std::string& path)
{
    const std::optional<int> status =
        GuardedFileRead([&] { return ShpTranslator_.ReadShapeFile(path, CShpFileTranslator::PolygonType); });
    RefreshViews(&Network_);
    return status.value_or(-1);
}

bool CLumarixDoc::PrepareCartogram(CCartogramJob& job)
{
    job.Summary = CartogramRunSummary{};
    if (job.ShapefilePath.empty()) {
        FileChooserOptions options;
        options.DefaultExtension = "shp";
        options.Filter = "Polygon Shapefile(*.shp)|*.shp|All Files (*.*)|*.*|";
        const std::optional<std::string> chosen = ChooseFileToOpen(options);
        if (!chosen) {
            job.Summary.Result = CartogramRunSummary::Outcome::Cancelled;
            return false;
        }
        job.ShapefilePath = *chosen;
    }
    job.Params = Params;
    if (job.Reader != CCartogramJob::InputReader::Shapefile)
        return true;
    // The reader's question about a file of another shape type is asked here, before the run,
    // which may go on another thread; the run's reader gets the answer.
    if (const std::optional<ShapefileHeader> header = PeekShapefileHeader(job.ShapefilePath))
        if (const auto question = CShpFileTranslator::TypeQuestion(header->ShapeType, CShpFileTranslator::PolygonType))
            job.ReadOtherShapeTypes = AskYesNo(*question);
    return true;
}

const CartogramRunSummary& CLumarixDoc::FinishCartogram(CCartogramJob& job)
{
    ShowMessages(job.Summary.Messages);
    if (std::optional<CPolygonLayer> layer = job.TakeLayer()) {
        Network_.SetPolygonLayer(std::move(*layer));
        Network_.SetExtent(job.LayerExtent(), true);
        QuadTree_ = job.TakeQuadTree();
        CompanionShapes_ = job.TakeCompanionShapes();
    }
    RefreshViews(&Network_);
    return job.Summary;
}

const CartogramRunSummary& CLumarixDoc::RunCartogram(CCartogramJob& job, CCartogramFeedback* feedback)
{
    if (!PrepareCartogram(job))
        return job.Summary;
    {
        CWaitGuard wait;
        job.Run(feedback);
    }
    return FinishCartogram(job);
}

} // namespace tessaro
