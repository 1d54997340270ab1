#include "cli/CheckCommand.h"

#include "geodata/RecordNames.h"
#include "geodata/ShapeValidator.h"
#include "geodata/ShpFileTranslator.h"
#include "geodata/SizeField.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>

namespace tessaro {
namespace {

constexpr uint32_t ShapefileCode = 9994;

// The shape type of a file that starts with the shapefile code; nothing for any other file,
// whose faults the reader then reports in its own words.
std::optional<int32_t> PeekShapeType(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    unsigned char header[36] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header))
        return std::nullopt;
    const uint32_t code = uint32_t{header[0]} << 24 | uint32_t{header[1]} << 16 | uint32_t{header[2]} << 8 | uint32_t{header[3]};
    if (code != ShapefileCode)
        return std::nullopt;
    const uint32_t type = uint32_t{header[32]} | uint32_t{header[33]} << 8 | uint32_t{header[34]} << 16 | uint32_t{header[35]} << 24;
    return static_cast<int32_t>(type);
}

void RefuseType(const std::string& path, int32_t type)
{
    ShowMessage(path + " is not a polygon shapefile: its shape type is " + std::to_string(type) + " (" +
                    CShpFileTranslator::ShapeTypeName(type) + "). The check reads polygon shapefiles (type 5) only.",
                MessageKind::Error);
}

// Reads the polygons into the network; false (after a message) when nothing could be read.
bool ReadPolygons(const std::string& path, CShpFileTranslator& reader)
{
    const std::optional<int32_t> type = PeekShapeType(path);
    if (type && *type != CShpFileTranslator::PolygonType) {
        RefuseType(path, *type);
        return false;
    }
    try {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        if (reader.ReadShapeFile(path, CShpFileTranslator::PolygonType) != CShpFileTranslator::Accepted)
            return false;
    } catch (const CFileError& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    if (reader.ShapeType() != CShpFileTranslator::PolygonType) {
        RefuseType(path, reader.ShapeType());
        return false;
    }
    return true;
}

// "Record 12 (Texas)": 1-based, with the record's name when the table has one.
class CRecordLabels {
public:
    CRecordLabels(const std::string& shapefilePath, size_t recordCount, bool warnOnMismatch)
    {
        const std::string table = TablePathFor(shapefilePath);
        Names_ = ReadRecordNames(table);
        if (Names_ && warnOnMismatch && Names_->Names.size() != recordCount)
            ShowMessage("The table " + table + " has " + std::to_string(Names_->Names.size()) + " records for " +
                            std::to_string(recordCount) + " shapes; names are shown where it has a row.",
                        MessageKind::Warning);
    }

    std::string Label(const char* word, int32_t record) const
    {
        std::string label = std::string(word) + " " + std::to_string(int64_t{record} + 1);
        if (Names_ && record >= 0 && static_cast<size_t>(record) < Names_->Names.size())
            label += " (" + Names_->Names[static_cast<size_t>(record)] + ")";
        return label;
    }

private:
    std::optional<RecordNames> Names_;
};

void WriteFinding(std::ostream& out, const CShapeFinding& finding, const CRecordLabels& labels)
{
    out << labels.Label("Record", finding.Record);
    if (finding.OtherRecord >= 0)
        out << ", " << labels.Label("record", finding.OtherRecord);
    if (finding.Ring >= 0)
        out << ", ring " << int64_t{finding.Ring} + 1;
    out << ": " << ShapeFindingKindName(finding.Kind) << ": " << finding.Text << '\n';
}

void WriteSummary(std::ostream& out, const std::vector<CShapeFinding>& findings, const CShpFileTranslator& reader,
                  bool overlaps)
{
    const int32_t checked = reader.LastRead().RecordsRead;
    out << "Summary: ";
    if (reader.LastRead().LoopStatus != 0)
        out << "reading stopped at record " << int64_t{checked} + 1 << " (see the message before); ";
    out << checked << (checked == 1 ? " record" : " records") << " checked (numbered from 1 in file order), ";
    if (findings.empty()) {
        out << "no findings";
    } else {
        std::map<ShapeFindingKind, size_t> counts;
        for (const CShapeFinding& finding : findings)
            ++counts[finding.Kind];
        out << findings.size() << (findings.size() == 1 ? " finding:" : " findings:");
        const char* separator = " ";
        for (const auto& [kind, count] : counts) {
            out << separator << count << ' ' << ShapeFindingKindName(kind);
            separator = ", ";
        }
    }
    out << (overlaps ? "." : "; overlaps not checked (--overlaps).") << '\n';
}

} // namespace

int RunCheckCommand(const CheckOptions& options, std::ostream& out)
{
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    if (!ReadPolygons(options.Path, reader))
        return CheckUnreadable;

    const bool complete = reader.LastRead().LoopStatus == 0;
    const std::vector<CShapeFinding> findings = CShapeValidator(options.Overlaps).Check(network.Polygons());
    const CRecordLabels labels(options.Path, network.PolygonCount(), complete);
    for (const CShapeFinding& finding : findings)
        WriteFinding(out, finding, labels);
    WriteSummary(out, findings, reader, options.Overlaps);
    if (!complete)
        return CheckUnreadable;
    return findings.empty() ? CheckClean : CheckFindings;
}

} // namespace tessaro
