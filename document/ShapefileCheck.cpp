#include "document/ShapefileCheck.h"

#include "geodata/RecordNames.h"
#include "geodata/ShapefileHeader.h"
#include "geodata/ShpFileTranslator.h"
#include "geodata/SizeField.h"
#include "platform/GuardedFileRead.h"
#include "platform/UserInterface.h"

#include <map>

namespace tessaro {
namespace {

void RefuseType(const std::string& path, int32_t type)
{
    ShowMessage(path + " is not a polygon shapefile: its shape type is " + std::to_string(type) + " (" +
                    CShpFileTranslator::ShapeTypeName(type) + "). The check reads polygon shapefiles (type 5) only.",
                MessageKind::Error);
}

// Reads the polygons into the reader's network; false (after a message) when nothing could be
// read. The header is looked at first so that another type is refused without the reader's
// question whether to read it anyway.
bool ReadPolygons(const std::string& path, CShpFileTranslator& reader)
{
    const std::optional<ShapefileHeader> header = PeekShapefileHeader(path);
    if (header && header->ShapeType != CShpFileTranslator::PolygonType) {
        RefuseType(path, header->ShapeType);
        return false;
    }
    const std::optional<int> status =
        GuardedFileRead([&] { return reader.ReadShapeFile(path, CShpFileTranslator::PolygonType); });
    if (status.value_or(CShpFileTranslator::UnknownType) != CShpFileTranslator::Accepted)
        return false;
    if (reader.ShapeType() != CShpFileTranslator::PolygonType) {
        RefuseType(path, reader.ShapeType());
        return false;
    }
    return true;
}

// "12 (Texas)": 1-based, with the record's name when the table has one.
class CRecordLabels {
public:
    CRecordLabels(std::optional<RecordNames> names, const std::string& table, size_t recordCount, bool warnOnMismatch)
        : Names_(std::move(names))
    {
        if (Names_ && warnOnMismatch && Names_->Names.size() != recordCount)
            ShowMessage("The table " + table + " has " + std::to_string(Names_->Names.size()) + " records for " +
                            std::to_string(recordCount) + " shapes; names are shown where it has a row.",
                        MessageKind::Warning);
    }

    std::string Label(int32_t record) const
    {
        std::string label = std::to_string(int64_t{record} + 1);
        if (Names_ && record >= 0 && static_cast<size_t>(record) < Names_->Names.size())
            label += " (" + Names_->Names[static_cast<size_t>(record)] + ")";
        return label;
    }

private:
    std::optional<RecordNames> Names_;
};

ShapefileCheck::Finding Labelled(const CShapeFinding& finding, const CRecordLabels& labels)
{
    ShapefileCheck::Finding labelled;
    labelled.Record = labels.Label(finding.Record);
    if (finding.OtherRecord >= 0)
        labelled.OtherRecord = labels.Label(finding.OtherRecord);
    labelled.Ring = finding.Ring >= 0 ? int64_t{finding.Ring} + 1 : 0;
    labelled.Kind = finding.Kind;
    labelled.KindName = ShapeFindingKindName(finding.Kind);
    labelled.Text = finding.Text;
    return labelled;
}

} // namespace

std::optional<ShapefileCheck> CheckPolygonShapefile(const std::string& path, bool overlaps)
{
    // The table is checked before the shapes, as the cartogram and the field listing check it:
    // a header whose counts the file cannot hold is refused, never trusted.
    const std::string table = TablePathFor(path);
    std::string damage;
    std::optional<RecordNames> names = ReadRecordNames(table, &damage);
    if (!damage.empty()) {
        ShowMessage(damage, MessageKind::Error);
        return std::nullopt;
    }
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    if (!ReadPolygons(path, reader))
        return std::nullopt;

    ShapefileCheck check;
    check.RecordsChecked = reader.LastRead().RecordsRead;
    check.Whole = reader.LastRead().Whole();
    const std::vector<CShapeFinding> findings = CShapeValidator(overlaps).Check(network.Polygons());
    const CRecordLabels labels(std::move(names), table, network.PolygonCount(), check.Whole);
    std::map<ShapeFindingKind, size_t> counts;
    for (const CShapeFinding& finding : findings) {
        check.Findings.push_back(Labelled(finding, labels));
        ++counts[finding.Kind];
    }
    for (const auto& [kind, count] : counts)
        check.CountsByKind.emplace_back(ShapeFindingKindName(kind), count);
    return check;
}

} // namespace tessaro
