#include "cli/InfoCommand.h"

#include "platform/NumberText.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/FileError.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <ostream>

namespace tessaro {
namespace {

struct PolygonCounts {
    uint64_t Polygons = 0;
    uint64_t Rings = 0;
    uint64_t Vertices = 0;
};

PolygonCounts CountPolygons(const CNetwork& network)
{
    PolygonCounts counts;
    for (const auto& polygon : network.Polygons()) {
        ++counts.Polygons;
        counts.Rings += static_cast<uint64_t>(polygon->RingCount());
        counts.Vertices += static_cast<uint64_t>(polygon->TotalPointCount());
    }
    return counts;
}

uint64_t CountPoints(const CNetwork& network)
{
    uint64_t points = 0;
    for (const auto& layer : network.Facilities())
        points += layer->FacilityCount();
    return points;
}

void WriteLine(std::ostream& out, const char* label, const std::string& value)
{
    out << label << value << '\n';
}

void WriteContents(std::ostream& out, const CShpFileTranslator& reader, const CNetwork& network)
{
    switch (reader.ShapeType()) {
    case CShpFileTranslator::PolygonType: {
        const PolygonCounts counts = CountPolygons(network);
        WriteLine(out, "Polygons:       ", std::to_string(counts.Polygons));
        WriteLine(out, "Rings:          ", std::to_string(counts.Rings));
        WriteLine(out, "Vertices:       ", std::to_string(counts.Vertices));
        break;
    }
    case CShpFileTranslator::ArcType:
        WriteLine(out, "Chains:         ", std::to_string(network.ChainCount()));
        WriteLine(out, "Nodes:          ", std::to_string(network.NodeCount()));
        if (reader.LastRead().TopologyMilliseconds >= 0.0)
            WriteLine(out, "Topology time:  ", FormatFixed(reader.LastRead().TopologyMilliseconds, 3) + " ms");
        break;
    case CShpFileTranslator::PointType:
        WriteLine(out, "Points:         ", std::to_string(CountPoints(network)));
        break;
    default:
        break;
    }
}

void WriteSummary(std::ostream& out, const std::string& path, const CShpFileTranslator& reader, const CNetwork& network)
{
    const CExtent& box = reader.HeaderExtent();
    WriteLine(out, "File:           ", path);
    WriteLine(out, "Shape type:     ", std::to_string(reader.ShapeType()) + " (" + CShpFileTranslator::ShapeTypeName(reader.ShapeType()) + ")");
    WriteLine(out, "Records:        ", std::to_string(reader.LastRead().RecordsRead));
    WriteLine(out, "Extent:         ", FormatFixed(box.MinX, 6) + " " + FormatFixed(box.MinY, 6) + " " +
                                           FormatFixed(box.MaxX, 6) + " " + FormatFixed(box.MaxY, 6) +
                                           "  (min x, min y, max x, max y)");
    if (reader.LastRead().RecordsLoopRan)
        WriteContents(out, reader, network);
    else
        out << "Nothing was read.\n";
}

} // namespace

int RunInfoCommand(const InfoOptions& options, std::ostream& out)
{
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    int status = 0;
    try {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        status = reader.ReadShapeFile(options.Path, options.AsPolygonInput ? CShpFileTranslator::PolygonType : -1);
    } catch (const CFileError& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return InfoUnreadable;
    }
    if (status != CShpFileTranslator::Accepted)
        return InfoUnreadable;
    WriteSummary(out, options.Path, reader, network);
    const bool complete = reader.LastRead().RecordsLoopRan && reader.LastRead().LoopStatus == 0;
    return complete ? InfoComplete : InfoIncomplete;
}

} // namespace tessaro
