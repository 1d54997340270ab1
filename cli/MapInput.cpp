#include "cli/MapInput.h"

#include "platform/UserInterface.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
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

// GDAL's own kinds of source that are not a path: a virtual file system (/vsizip/,
// /vsicurl/...), a connection string ("PG:dbname=x", a driver's prefix of two or more letters
// before ':'), or GeoJSON given inline.
bool IsGdalSourceString(const std::string& input)
{
    if (input.rfind("/vsi", 0) == 0 || (!input.empty() && (input.front() == '{' || input.front() == '[')))
        return true;
    const size_t colon = input.find(':');
    return colon >= 2 && colon != std::string::npos &&
           std::all_of(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(colon),
                       [](unsigned char c) { return std::isalpha(c) != 0; });
}

} // namespace

bool EndsWithShp(const std::string& path) { return EndsWith(path, ".shp"); }

bool IsShapefileMember(const std::string& path)
{
    return EndsWith(path, ".dbf") || EndsWith(path, ".shx") || EndsWith(path, ".prj") || EndsWith(path, ".cpg");
}

bool HoldsPolygonsWithHeightsOrMeasures(const std::string& path)
{
    if (!EndsWithShp(path))
        return false;
    std::ifstream file(path, std::ios::binary);
    unsigned char header[36] = {};
    if (!file.read(reinterpret_cast<char*>(header), sizeof header))
        return false;
    // The file code 9994 big-endian at offset 0, the shape type little-endian at offset 32.
    const bool shapefile = header[0] == 0 && header[1] == 0 && header[2] == 0x27 && header[3] == 0x0a;
    const uint32_t type = header[32] | header[33] << 8 | header[34] << 16 | static_cast<uint32_t>(header[35]) << 24;
    return shapefile && (type == PolygonZType || type == PolygonMType);
}

bool ReadsThroughOgr(const std::string& path)
{
    return (!EndsWithShp(path) && !IsShapefileMember(path)) || HoldsPolygonsWithHeightsOrMeasures(path);
}

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
    const bool exists = std::filesystem::exists(input, error);
    if (!exists && IsGdalSourceString(input)) {
        ShowMessage("The input " + input +
                        " is not a file or folder: virtual paths (/vsizip/, /vsicurl/...), database "
                        "connections (PG:...) and inline GeoJSON are not taken. Give the path of a file "
                        "or folder; unpack an archive first.",
                    MessageKind::Error);
        return false;
    }
    if (!throughOgr || exists)
        return true;
    ShowMessage("Cannot open the input " + input + ": no such file.", MessageKind::Error);
    return false;
}

} // namespace tessaro
