#pragma once

#include <string>

namespace tessaro {

// Text for XML, SVG and HTML content and attribute values: the five characters markup gives a
// meaning, as entities; everything else, UTF-8 included, as it is.
inline std::string EscapeMarkup(const std::string& text)
{
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&#39;";
            break;
        default:
            escaped += c;
            break;
        }
    }
    return escaped;
}

} // namespace tessaro
