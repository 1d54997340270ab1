#include "cli/ParamsCommand.h"

#include "engine/CartoParams.h"
#include "run/ParamFile.h"
#include "platform/UserInterface.h"

#include <ostream>
#include <vector>

namespace tessaro {
namespace {

void ReportIncompleteLines(const std::string& path, const std::vector<int>& lines, MessageKind kind)
{
    std::string list;
    for (int line : lines)
        list += (list.empty() ? "" : ", ") + std::to_string(line);
    ShowMessage("The parameter file " + path + " does not give every value on line" +
                    (lines.size() > 1 ? "s " : " ") + list +
                    (kind == MessageKind::Error ? "; a run needs every value." : "; those values keep the defaults."),
                kind);
}

} // namespace

int RunParamsCommand(const ParamsOptions& options, std::ostream& out)
{
    CartoParams params;
    if (!options.WritePath.empty()) {
        if (!SaveParamFile(params, options.WritePath)) {
            ShowMessage("Cannot write the parameter file " + options.WritePath + ".", MessageKind::Error);
            return 2;
        }
        ShowMessage("Wrote the default parameters to " + options.WritePath + ".", MessageKind::Information);
        return 0;
    }
    if (options.ReadPath.empty()) {
        out << params.FormatParamFile();
        return 0;
    }
    std::vector<int> incomplete;
    if (!LoadParamFile(params, options.ReadPath, &incomplete)) {
        ShowMessage("Cannot read the parameter file " + options.ReadPath + ".", MessageKind::Error);
        return 2;
    }
    if (!incomplete.empty())
        ReportIncompleteLines(options.ReadPath, incomplete, MessageKind::Warning);
    out << params.FormatParamFile();
    return incomplete.empty() ? 0 : 1;
}

bool LoadParamFileWhole(const std::string& path, CartoParams& params)
{
    std::vector<int> incomplete;
    if (!LoadParamFile(params, path, &incomplete)) {
        ShowMessage("Cannot read the parameter file " + path + ".", MessageKind::Error);
        return false;
    }
    if (!incomplete.empty()) {
        ReportIncompleteLines(path, incomplete, MessageKind::Error);
        return false;
    }
    return true;
}

} // namespace tessaro
