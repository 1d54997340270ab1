#pragma once

#include <charconv>
#include <string>

namespace tessaro {

// Fixed-point text with '.' as the decimal point whatever the locale, as "%.<decimals>f"
// prints in the C locale ("nan" and "inf" for non-finite values).
inline std::string FormatFixed(double value, int decimals)
{
    // Large enough for the widest double (309 integer digits) with many decimals.
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("nan");
}

} // namespace tessaro
