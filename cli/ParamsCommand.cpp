#include "cli/ParamsCommand.h"

#include "document/LumarixDoc.h"
#include "platform/UserInterface.h"

#include <iomanip>
#include <ostream>

namespace tessaro {
namespace {

// One line per parameter: its name (as `cartogram --set` and a file's named lines take it), its
// default on this machine, the values a run takes and what it does.
void ListParams(const CartoParams& defaults, std::ostream& out)
{
    out << std::left << std::setw(24) << "NAME" << std::setw(10) << "DEFAULT" << std::setw(26) << "RANGE"
        << "MEANING\n";
    for (const ParamDescriptor& param : ParamTable())
        out << std::setw(24) << param.Name << std::setw(10) << ParamValueText(param, ParamValue(defaults, param))
            << std::setw(26) << ParamRangeText(param) << param.Help << '\n';
}

} // namespace

std::string ParamOptionProblem(const char* name, const std::string& text)
{
    const ParamDescriptor* param = FindParam(name);
    const std::optional<double> value = ParseParamValue(*param, text);
    if (!value)
        return std::string(param->Label) + (IsRealParam(*param) ? " is not a finite number" : " is not a whole number") +
               "; it must be " + ParamRangeText(*param) + ".";
    return ParamValueProblem(*param, *value);
}

std::string ParamOptionRange(const char* name)
{
    return ParamRangeText(*FindParam(name));
}

int RunParamsCommand(const ParamsOptions& options, std::ostream& out)
{
    CLumarixDoc document;
    if (options.List) {
        ListParams(document.Params, out);
        return 0;
    }
    if (!options.WritePath.empty()) {
        if (!document.SaveParams(options.WritePath))
            return 2;
        ShowMessage("Wrote the default parameters to " + options.WritePath + ".", MessageKind::Information);
        return 0;
    }
    CLumarixDoc::ParamsLoad loaded = CLumarixDoc::ParamsLoad::Read;
    if (!options.ReadPath.empty())
        loaded = document.LoadParams(options.ReadPath, CLumarixDoc::ParamFileRule::OverCurrent);
    if (loaded == CLumarixDoc::ParamsLoad::Unreadable)
        return 2;
    out << document.Params.FormatParamFile();
    if (loaded != CLumarixDoc::ParamsLoad::Read) {
        ShowMessage("The parameter file " + options.ReadPath +
                        " does not give every value; the block printed holds the "
                        "defaults for the rest.",
                    MessageKind::Error);
        return 1;
    }
    // The same limits a run applies: a file that reads whole but would be refused says so here.
    if (const std::string problem = document.Params.LimitProblem(); !problem.empty()) {
        ShowMessage("The parameter file " + options.ReadPath + " holds a value a run cannot take: " + problem,
                    MessageKind::Error);
        return 1;
    }
    return 0;
}

} // namespace tessaro
