#pragma once

#include <string>

namespace tessaro {

// Upper case for names, fields and file endings: ASCII letters only, so the result is the
// same in every locale and the bytes of UTF-8 text pass through unchanged.
inline std::string UpperCaseAscii(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

} // namespace tessaro
