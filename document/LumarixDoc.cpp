#include "document/LumarixDoc.h"

#include "geodata/DbfTable.h"
#include "graphio/GraphExporter.h"
#include "platform/FileError.h"
#include "platform/TextCase.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <initializer_list>
#include <memory>
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

} // namespace

bool CLumarixDoc::OnOpenDocument(const std::string& path)
{
    LastReadWhole_ = false;
    if (!CheckReadable(path))
        return false;
    DocumentPath = path;
    try {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        if (!ReadByEnding(path)) {
            ShowMessage("Unknown File Format", MessageKind::Error);
            return false;
        }
    } catch (const CFileError& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
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
    const int status = ShpTranslator_.ReadShapeFile(path, -1);
    const CShpFileTranslator::ReadSummary& read = ShpTranslator_.LastRead();
    return status == CShpFileTranslator::Accepted && read.RecordsLoopRan && read.LoopStatus == 0;
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

void CLumarixDoc::InitializeBestRoute() { ShortestPath_.Initialize(); }

void CLumarixDoc::RunBestRoute(double initCircle)
{
    {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        if (initCircle <= 0.0)
            ShortestPath_.Solve(CShortestPath::ModeCandidates, initCircle);
        else
            ShortestPath_.Solve(CShortestPath::ModeRegional, initCircle);
    }
    RefreshViews(&Network_);
}

void CLumarixDoc::UseChainLengths() { Network_.ComputeChainLengths(); }

bool CLumarixDoc::UseChainWeightsFromTable(const std::string& tablePath, const std::string& fieldName)
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
    if (field < 0) {
        ShowMessage("The attribute table " + tablePath + " has no field " + fieldName + ".", MessageKind::Error);
        return false;
    }
    std::vector<double> weights(Network_.ChainCount());
    for (int r = 0; r < table->RecordCount(); ++r)
        weights[static_cast<size_t>(r)] = table->ReadDouble(r, field);
    Network_.SetChainWeights(weights);
    return true;
}

int CLumarixDoc::LoadPolygonShapefile(const std::string& path)
{
    int status = 0;
    {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        status = ShpTranslator_.ReadShapeFile(path, CShpFileTranslator::PolygonType);
    }
    RefreshViews(&Network_);
    return status;
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
    return true;
}

const CartogramRunSummary& CLumarixDoc::FinishCartogram(CCartogramJob& job)
{
    ShowMessages(job.Summary.Messages);
    if (std::optional<CPolygonLayer> layer = job.TakeLayer()) {
        Network_.SetPolygonLayer(std::move(*layer));
        Network_.SetExtent(job.LayerExtent(), true);
        QuadTree_ = job.TakeQuadTree();
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
