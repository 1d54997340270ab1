#include "geodata/ProjectionFile.h"

#include "platform/TextCase.h"

#include <cctype>
#include <fstream>

namespace tessaro {
namespace {

// A projection file is a line or two; a longer file is read no further than this.
constexpr std::streamsize LongestProjection = 64 << 10;

// The first keyword of the text, upper-cased: the letters before the first '[' or '(', after
// blanks and a UTF-8 byte order mark.
std::string FirstKeyword(const std::string& text)
{
    size_t at = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    const size_t end = text.find_first_of("[(", at);
    return end == std::string::npos ? std::string() : UpperCaseAscii(text.substr(at, end - at));
}

} // namespace

bool IsGeographicProjection(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return false;
    std::string text(static_cast<size_t>(LongestProjection), '\0');
    file.read(text.data(), LongestProjection);
    text.resize(static_cast<size_t>(file.gcount()));
    const std::string keyword = FirstKeyword(text);
    if (keyword == "GEOGCS" || keyword == "GEOGCRS" || keyword == "GEOGRAPHICCRS")
        return true;
    return (keyword == "GEODCRS" || keyword == "GEODETICCRS") &&
           UpperCaseAscii(text).find("CS[ELLIPSOIDAL") != std::string::npos;
}

} // namespace tessaro
