#include "cli/ParamsCommand.h"

#include "cartogram/CartoParams.h"
#include "platform/UserInterface.h"

#include <ostream>

namespace tessaro {

int RunParamsCommand(const ParamsOptions& options, std::ostream& out)
{
    CartoParams params;
    if (!options.WritePath.empty()) {
        if (!params.SaveParamFile(options.WritePath)) {
            ShowMessage("Cannot write the parameter file " + options.WritePath + ".", MessageKind::Error);
            return 2;
        }
        ShowMessage("Wrote the default parameters to " + options.WritePath + ".", MessageKind::Information);
        return 0;
    }
    if (!options.ReadPath.empty() && !params.LoadParamFile(options.ReadPath)) {
        ShowMessage("Cannot read the parameter file " + options.ReadPath + ".", MessageKind::Error);
        return 2;
    }
    out << params.FormatParamFile();
    return 0;
}

} // namespace tessaro
