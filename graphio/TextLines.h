#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaro {

// A text file read whole and handed out line by line, the way the translators' files were read
// in text mode: a line ends at "\n" (a "\r" before it goes too) and a NUL byte ends the line's
// text where it stands, as it ended a C string. The file is read completely before the first
// line is handed out, so an unreadable file is known before a translator changes its network.
class CTextLines {
public:
    // Reads the whole file. False when it cannot be opened or read; FailedAction and LastError
    // then say which step failed and the errno value.
    bool Load(const std::string& path);

    // The next line into `line` (valid while this object lives and nothing is loaded); false
    // after the last. A last line without "\n" counts; an empty file has no lines.
    bool Next(std::string_view& line);

    const char* FailedAction() const { return FailedAction_; }
    int LastError() const { return Error_; }

private:
    std::string Text_;
    size_t Position_ = 0;
    const char* FailedAction_ = "";
    int Error_ = 0;
};

// `text` without the blanks that C's isspace names in the C locale at either end.
std::string_view TrimBlanks(std::string_view text);
// `text` with every double quote removed.
std::string WithoutQuotes(std::string_view text);
// `text` with a-z made A-Z; other bytes (UTF-8 sequences among them) are left as they are.
std::string UpperCaseAscii(std::string_view text);

// C's atof and atoi in the C locale, whatever locale the user runs under: leading blanks, then
// the longest number; 0 when there is none. An integer outside the 32-bit range is 0.
double ReadCDouble(std::string_view text);
int32_t ReadCInteger(std::string_view text);

// `path` with the last `count` characters of its file name replaced by `suffix`. A file name
// shorter than `count` is replaced whole, so the result stays in the same folder.
std::string ReplaceFileNameTail(const std::string& path, size_t count, const std::string& suffix);

// True when both paths name an existing file and it is the same one (device and inode).
bool SameFile(const std::string& a, const std::string& b);

} // namespace tessaro
