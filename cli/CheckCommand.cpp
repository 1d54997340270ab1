#include "cli/CheckCommand.h"

#include "cli/MapInput.h"
#include "document/ShapefileCheck.h"

#include <ostream>

namespace tessaro {
namespace {

void WriteFinding(std::ostream& out, const ShapefileCheck::Finding& finding)
{
    out << "Record " << finding.Record;
    if (!finding.OtherRecord.empty())
        out << ", record " << finding.OtherRecord;
    if (finding.Ring > 0)
        out << ", ring " << finding.Ring;
    out << ": " << finding.KindName << ": " << finding.Text << '\n';
}

void WriteSummary(std::ostream& out, const ShapefileCheck& check, bool overlaps)
{
    const int32_t checked = check.RecordsChecked;
    out << "Summary: ";
    if (!check.Whole)
        out << "reading stopped at record " << int64_t{checked} + 1 << " (see the message before); ";
    out << checked << (checked == 1 ? " record" : " records") << " checked (numbered from 1 in file order), ";
    if (check.Findings.empty()) {
        out << "no findings";
    } else {
        out << check.Findings.size() << (check.Findings.size() == 1 ? " finding:" : " findings:");
        const char* separator = " ";
        for (const auto& [kind, count] : check.CountsByKind) {
            out << separator << count << ' ' << kind;
            separator = ", ";
        }
    }
    out << (overlaps ? "." : "; overlaps not checked (--overlaps).") << '\n';
}

} // namespace

int RunCheckCommand(const CheckOptions& options, std::ostream& out)
{
    if (!CheckMapInput(options.Path, options.Layer))
        return CheckUnreadable;
    const std::optional<ShapefileCheck> check = ReadsThroughOgr(options.Path)
                                                    ? CheckPolygonLayer(options.Path, options.Layer, options.Overlaps)
                                                    : CheckPolygonShapefile(options.Path, options.Overlaps);
    if (!check)
        return CheckUnreadable;
    for (const ShapefileCheck::Finding& finding : check->Findings)
        WriteFinding(out, finding);
    WriteSummary(out, *check, options.Overlaps);
    if (!check->Whole)
        return CheckUnreadable;
    return check->Findings.empty() ? CheckClean : CheckFindings;
}

} // namespace tessaro
