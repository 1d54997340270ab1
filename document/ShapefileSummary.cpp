#include "document/ShapefileSummary.h"

#include "document/PolygonLayerRead.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/GuardedFileRead.h"

namespace tessaro {
namespace {

void CountPolygons(const CNetwork& network, ShapefileSummary& summary)
{
    for (const auto& polygon : network.Polygons()) {
        ++summary.Polygons;
        summary.Rings += static_cast<uint64_t>(polygon->RingCount());
        summary.Vertices += static_cast<uint64_t>(polygon->TotalPointCount());
    }
}

void CountPoints(const CNetwork& network, ShapefileSummary& summary)
{
    for (const auto& layer : network.Facilities())
        summary.Points += layer->FacilityCount();
}

void CountContents(const CShpFileTranslator& reader, const CNetwork& network, ShapefileSummary& summary)
{
    if (!reader.LastRead().RecordsLoopRan)
        return;
    switch (reader.ShapeType()) {
    case CShpFileTranslator::PolygonType:
        summary.Received = ShapefileSummary::Contents::Polygons;
        CountPolygons(network, summary);
        break;
    case CShpFileTranslator::ArcType:
        summary.Received = ShapefileSummary::Contents::Chains;
        summary.Chains = network.ChainCount();
        summary.Nodes = network.NodeCount();
        summary.TopologyMilliseconds = reader.LastRead().TopologyMilliseconds;
        break;
    case CShpFileTranslator::PointType:
        summary.Received = ShapefileSummary::Contents::Points;
        CountPoints(network, summary);
        break;
    default:
        break;
    }
}

} // namespace

std::optional<ShapefileSummary> SummariseShapefile(const std::string& path, bool asPolygonInput)
{
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    // The summary gives the topology time itself, once.
    reader.ShowTopologyTime = false;
    const int expectedType = asPolygonInput ? CShpFileTranslator::PolygonType : -1;
    const std::optional<int> status = GuardedFileRead([&] { return reader.ReadShapeFile(path, expectedType); });
    if (status.value_or(CShpFileTranslator::UnknownType) != CShpFileTranslator::Accepted)
        return std::nullopt;

    ShapefileSummary summary;
    summary.ShapeType = reader.ShapeType();
    summary.ShapeTypeName = CShpFileTranslator::ShapeTypeName(reader.ShapeType());
    summary.RecordsRead = reader.LastRead().RecordsRead;
    summary.HeaderExtent = reader.HeaderExtent();
    summary.Whole = reader.LastRead().Whole();
    CountContents(reader, network, summary);
    return summary;
}

std::optional<ShapefileSummary> SummariseLayer(const std::string& path, const std::string& layer)
{
    const std::optional<PolygonLayerRead> read = ReadPolygonLayer(path, layer);
    if (!read)
        return std::nullopt;
    ShapefileSummary summary;
    summary.ShapeTypeName = read->Source.GeometryType;
    summary.LayerName = read->Source.LayerName;
    summary.RecordsRead = static_cast<int32_t>(read->Source.FeatureCount);
    summary.LeftOut = LeftOutFeatureList(read->Source);
    summary.Whole = read->Whole;
    if (read->Network->PolygonCount() > 0) {
        summary.HeaderExtent = read->Network->Extent();
        summary.Received = ShapefileSummary::Contents::Polygons;
        CountPolygons(*read->Network, summary);
    }
    return summary;
}

} // namespace tessaro
