#include "cli/ParamsCommand.h"

#include "document/LumarixDoc.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {

int RunParamsCommand(const ParamsOptions& options, std::ostream& out)
{
    CLumarixDoc document;
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
