#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// The longest line a text file may hold, in bytes without its line end. No name or city comes
// near it, and a citation line stays under it with some 9000 cited numbers; a longer line is a
// file that is not text (a binary file opened by mistake, or line ends lost), and reading it as
// a name would only hide that.
constexpr size_t LongestTextLine = size_t{64} << 10;

// A text file read whole and handed out line by line: a line ends at "\n" and a "\r" before it
// goes too. Lines are handed out as they stand, NUL bytes and all, so that a reader can tell a
// damaged line (TextDamage) from a sound one. The file is read completely before the first
// line is handed out, so an unreadable file is known before a translator changes its network.
class CTextLines {
public:
    // Reads the whole file. False when it cannot be opened or read; FailedAction and LastError
    // then say which step failed and the errno value.
    bool Load(const std::string& path);

    // The next line into `line` (valid while this object lives and nothing is loaded); false
    // after the last. A last line without "\n" counts; an empty file has no lines.
    bool Next(std::string_view& line);
    // The number of the line Next handed out last, counting from 1; 0 before the first.
    int64_t LineNumber() const { return LineNumber_; }

    const char* FailedAction() const { return FailedAction_; }
    int LastError() const { return Error_; }

private:
    std::string Text_;
    size_t Position_ = 0;
    int64_t LineNumber_ = 0;
    const char* FailedAction_ = "";
    int Error_ = 0;
};

// Why `line` cannot be text of any of the translators' files: it holds a NUL byte or is longer
// than LongestTextLine. Empty for a sound line. The reason is static text that reads after
// "line N: ". The files are single-byte text: a line that is not UTF-8 (Latin-1, GBK) is sound,
// and its names are kept as their bytes.
std::string_view TextDamage(std::string_view line);

// `text` without the blanks that C's isspace names in the C locale at either end.
std::string_view TrimBlanks(std::string_view text);
// `text` with every double quote removed.
std::string WithoutQuotes(std::string_view text);

// C's atof and atoi in the C locale, whatever locale the user runs under: leading blanks, then
// the longest number; 0 when there is none. An integer outside the 32-bit range is 0.
double ReadCDouble(std::string_view text);
int32_t ReadCInteger(std::string_view text);
// The number `text` holds and nothing else (blanks around it allowed), read as atof and atoi
// read it in the C locale. Nothing when the text holds no number, more than one, or other
// characters besides; also for a real that is not finite and an integer outside 32 bits.
std::optional<double> WholeCDouble(std::string_view text);
std::optional<int32_t> WholeCInteger(std::string_view text);

// `path` with the last `count` characters of its file name replaced by `suffix`. A file name
// shorter than `count` is replaced whole, so the result stays in the same folder.
std::string ReplaceFileNameTail(const std::string& path, size_t count, const std::string& suffix);

} // namespace tessaro
