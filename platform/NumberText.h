#pragma once

#include <cerrno>
#include <charconv>
#include <cstdint>
#include <initializer_list>
#include <locale.h>
#include <new>
#include <span>
#include <stdlib.h>
#include <string>
#include <variant>

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

// Where ScanNumbers stores one conversion: "%d" into an int32_t, "%lf" into a double.
using ScanTarget = std::variant<int32_t*, double*>;

namespace detail {

// The C locale as an object, so that number parsing ignores the locale the user runs under.
inline locale_t CNumericLocale()
{
    static const locale_t Locale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (Locale == locale_t{})
        throw std::bad_alloc(); // "C" always exists; only a lack of memory fails here
    return Locale;
}

inline bool IsCSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "%lf": leading white space, then whatever strtod accepts in the C locale.
inline bool ScanReal(const char*& cursor, double& value)
{
    char* end = nullptr;
    const double parsed = strtod_l(cursor, &end, CNumericLocale());
    if (end == cursor)
        return false;
    value = parsed;
    cursor = end;
    return true;
}

// "%d": leading white space, an optional sign and decimal digits. A value that does not fit
// an int32_t counts as no match rather than wrapping around.
inline bool ScanInteger(const char*& cursor, int32_t& value)
{
    char* end = nullptr;
    errno = 0;
    const long long parsed = strtoll_l(cursor, &end, 10, CNumericLocale());
    if (end == cursor || errno == ERANGE || parsed < INT32_MIN || parsed > INT32_MAX)
        return false;
    value = static_cast<int32_t>(parsed);
    cursor = end;
    return true;
}

} // namespace detail

// Reads `text` as sscanf reads it with `format` in the C locale, whatever the current locale.
// The format may hold "%d", "%lf", white space (matching any run of white space, none
// included) and other characters (each matching itself). Scanning stops at the first mismatch
// or at the end of the text; every field converted before that has been written to its target
// and the others are left alone. A directive other than "%d" and "%lf", or one whose target
// has the other type, stops the scan as a mismatch would. Returns the number of fields written.
inline int ScanNumbers(const std::string& text, const std::string& format, std::span<const ScanTarget> targets)
{
    const char* cursor = text.c_str();
    const ScanTarget* target = targets.data();
    const ScanTarget* const end = targets.data() + targets.size();
    int written = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char directive = format[i];
        if (detail::IsCSpace(directive)) {
            while (detail::IsCSpace(*cursor))
                ++cursor;
        } else if (directive != '%') {
            if (*cursor != directive)
                break;
            ++cursor;
        } else if (target == end) {
            break;
        } else if (format.compare(i, 2, "%d") == 0 && std::holds_alternative<int32_t*>(*target)) {
            if (!detail::ScanInteger(cursor, *std::get<int32_t*>(*target++)))
                break;
            ++written;
            i += 1;
        } else if (format.compare(i, 3, "%lf") == 0 && std::holds_alternative<double*>(*target)) {
            if (!detail::ScanReal(cursor, *std::get<double*>(*target++)))
                break;
            ++written;
            i += 2;
        } else {
            break;
        }
    }
    return written;
}

inline int ScanNumbers(const std::string& text, const std::string& format, std::initializer_list<ScanTarget> targets)
{
    return ScanNumbers(text, format, std::span<const ScanTarget>(targets.begin(), targets.size()));
}

} // namespace tessaro
