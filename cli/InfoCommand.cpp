#include "cli/InfoCommand.h"

#include "cli/MapInput.h"
#include "document/ShapefileSummary.h"
#include "platform/NumberText.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {
namespace {

void WriteLine(std::ostream& out, const char* label, const std::string& value)
{
    out << label << value << '\n';
}

void WriteContents(std::ostream& out, const ShapefileSummary& summary)
{
    switch (summary.Received) {
    case ShapefileSummary::Contents::Polygons:
        WriteLine(out, "Polygons:       ", std::to_string(summary.Polygons));
        WriteLine(out, "Rings:          ", std::to_string(summary.Rings));
        WriteLine(out, "Vertices:       ", std::to_string(summary.Vertices));
        break;
    case ShapefileSummary::Contents::Chains:
        WriteLine(out, "Chains:         ", std::to_string(summary.Chains));
        WriteLine(out, "Nodes:          ", std::to_string(summary.Nodes));
        if (summary.TopologyMilliseconds >= 0.0)
            WriteLine(out, "Topology time:  ", FormatFixed(summary.TopologyMilliseconds, 3) + " ms");
        break;
    case ShapefileSummary::Contents::Points:
        WriteLine(out, "Points:         ", std::to_string(summary.Points));
        break;
    case ShapefileSummary::Contents::Nothing:
        out << "Nothing was read.\n";
        break;
    }
}

void WriteSummary(std::ostream& out, const std::string& path, const ShapefileSummary& summary)
{
    const CExtent& box = summary.HeaderExtent;
    WriteLine(out, "File:           ", path);
    if (summary.LayerName.empty()) {
        WriteLine(out, "Shape type:     ", std::to_string(summary.ShapeType) + " (" + summary.ShapeTypeName + ")");
        WriteLine(out, "Records:        ", std::to_string(summary.RecordsRead));
    } else {
        WriteLine(out, "Layer:          ", summary.LayerName);
        WriteLine(out, "Geometry type:  ", summary.ShapeTypeName);
        WriteLine(out, "Features:       ", std::to_string(summary.RecordsRead));
    }
    WriteLine(out, "Extent:         ", FormatFixed(box.MinX, 6) + " " + FormatFixed(box.MinY, 6) + " " +
                                           FormatFixed(box.MaxX, 6) + " " + FormatFixed(box.MaxY, 6) +
                                           "  (min x, min y, max x, max y)");
    WriteContents(out, summary);
    if (!summary.LeftOut.empty())
        WriteLine(out, "Left out:       ", summary.LeftOut);
}

} // namespace

int RunInfoCommand(const InfoOptions& options, std::ostream& out)
{
    if (!CheckMapInput(options.Path, options.Layer))
        return InfoUnreadable;
    const std::optional<ShapefileSummary> summary = ReadsThroughOgr(options.Path)
                                                        ? SummariseLayer(options.Path, options.Layer)
                                                        : SummariseShapefile(options.Path, options.AsPolygonInput);
    if (!summary)
        return InfoUnreadable;
    WriteSummary(out, options.Path, *summary);
    // A damaged record has said why; a read that never reached the records has not.
    if (summary->Received == ShapefileSummary::Contents::Nothing && !summary->Whole)
        ShowMessage("The records of " + options.Path + " were not read: " +
                        (summary->ShapeTypeName == "MultiPoint"
                             ? std::string("multipoint files are not read.")
                             : "the question whether to read them was answered No (--yes reads them)."),
                    MessageKind::Error);
    return summary->Whole ? InfoComplete : InfoIncomplete;
}

} // namespace tessaro
