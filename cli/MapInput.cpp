#include "cli/MapInput.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace tessaro {
namespace {

bool EndsWith(const std::string& path, const char* lowerEnding)
{
    const std::string wanted(lowerEnding);
    if (path.size() < wanted.size())
        return false;
    std::string ending = path.substr(path.size() - wanted.size());
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ending == wanted;
}

} // namespace

bool EndsWithShp(const std::string& path) { return EndsWith(path, ".shp"); }

bool IsShapefileMember(const std::string& path)
{
    return EndsWith(path, ".dbf") || EndsWith(path, ".shx") || EndsWith(path, ".prj") || EndsWith(path, ".cpg");
}

bool ReadsThroughOgr(const std::string& path) { return !EndsWithShp(path) && !IsShapefileMember(path); }

bool CheckMapInput(const std::string& input, const std::string& layer)
{
    const bool throughOgr = ReadsThroughOgr(input);
    if (!layer.empty() && !throughOgr) {
        ShowMessage("--layer names a layer of a GeoPackage or another multi-layer source; the shapefile " + input +
                        " has one.",
                    MessageKind::Error);
        return false;
    }
    std::error_code error;
    if (!throughOgr || std::filesystem::exists(input, error))
        return true;
    ShowMessage("Cannot open the input " + input + ": no such file.", MessageKind::Error);
    return false;
}

} // namespace tessaro
