#include "document/ShapefileCheck.h"

#include "document/PolygonLayerRead.h"
#include "engine/ParallelWorkers.h"
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

// "12 (Texas)": 1-based, with the record's name when the table has one. Polygon i is record
// `records[i]` when they are given (a layer whose features are not all polygons), else record i.
class CRecordLabels {
public:
    CRecordLabels(std::optional<RecordNames> names, std::vector<size_t> records)
        : Names_(std::move(names)), Records_(std::move(records))
    {
    }

    std::string Label(int32_t polygon) const
    {
        const size_t index = static_cast<size_t>(polygon);
        const size_t record = index < Records_.size() ? Records_[index] : index;
        std::string label = std::to_string(record + 1);
        if (Names_ && record < Names_->Names.size())
            label += " (" + Names_->Names[record] + ")";
        return label;
    }

private:
    std::optional<RecordNames> Names_;
    std::vector<size_t> Records_;
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

// The findings of the polygons read, labelled; checked on every processor.
void CheckPolygons(const CNetwork& network, bool overlaps, const CRecordLabels& labels, ShapefileCheck& check)
{
    const std::vector<CShapeFinding> findings = CShapeValidator(overlaps, ProcessorCount()).Check(network.Polygons());
    std::map<ShapeFindingKind, size_t> counts;
    for (const CShapeFinding& finding : findings) {
        check.Findings.push_back(Labelled(finding, labels));
        ++counts[finding.Kind];
    }
    for (const auto& [kind, count] : counts)
        check.CountsByKind.emplace_back(ShapeFindingKindName(kind), count);
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
    if (names && check.Whole && names->Names.size() != network.PolygonCount())
        ShowMessage("The table " + table + " has " + std::to_string(names->Names.size()) + " records for " +
                        std::to_string(network.PolygonCount()) + " shapes; names are shown where it has a row.",
                    MessageKind::Warning);
    CheckPolygons(network, overlaps, CRecordLabels(std::move(names), {}), check);
    return check;
}

std::optional<ShapefileCheck> CheckPolygonLayer(const std::string& path, const std::string& layer, bool overlaps)
{
    const std::optional<PolygonLayerRead> read = ReadPolygonLayer(path, layer);
    if (!read)
        return std::nullopt;
    const OgrPolygonSource& source = read->Source;
    if (read->Network->PolygonCount() == 0 && read->Whole) {
        ShowMessage("The layer " + source.LayerName + " of " + path + " holds no polygons (its type is " +
                        source.GeometryType + "). The check reads polygon layers only.",
                    MessageKind::Error);
        return std::nullopt;
    }
    if (!source.LeftOut.empty())
        ShowMessage("The layer " + source.LayerName + " of " + path +
                        " has features without a polygon, not checked: " + LeftOutFeatureList(source) + ".",
                    MessageKind::Warning);

    ShapefileCheck check;
    check.RecordsChecked = static_cast<int32_t>(source.FeatureCount);
    check.Whole = read->Whole;
    CheckPolygons(*read->Network, overlaps, CRecordLabels(source.Names, source.PolygonFeatures), check);
    return check;
}

} // namespace tessaro
