#include "graphio/TextLines.h"

#include "platform/FileDescriptor.h"
#include "platform/NumberText.h"

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>

namespace tessaro {
namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

constexpr size_t ReadChunk = size_t{1} << 20;

} // namespace

bool CTextLines::Load(const std::string& path)
{
    Text_.clear();
    Position_ = 0;
    LineNumber_ = 0;
    FailedAction_ = "";
    Error_ = 0;
    const CFileDescriptor file = CFileDescriptor::Open(path, O_RDONLY);
    if (!file.IsOpen()) {
        FailedAction_ = "open";
        Error_ = errno;
        return false;
    }
    struct stat info {};
    if (::fstat(file.Get(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0)
        Text_.reserve(static_cast<size_t>(info.st_size) + 1);
    // Pipes and files that grow while read are read until the end, not to their stat size.
    for (;;) {
        // Fill the room already reserved before growing; for a regular file the first read
        // takes it all and the second, finding the end, fits the one spare byte.
        const size_t used = Text_.size();
        const size_t room = Text_.capacity() > used ? Text_.capacity() - used : ReadChunk;
        Text_.resize(used + room);
        const ssize_t got = file.Read(Text_.data() + used, room);
        const int error = errno;
        if (got <= 0) {
            Text_.resize(used);
            if (got < 0) {
                FailedAction_ = "read";
                Error_ = error;
                Text_.clear();
                return false;
            }
            return true;
        }
        Text_.resize(used + static_cast<size_t>(got));
    }
}

bool CTextLines::Next(std::string_view& line)
{
    if (Position_ >= Text_.size())
        return false;
    const std::string_view rest = std::string_view(Text_).substr(Position_);
    const size_t end = rest.find('\n');
    std::string_view text = rest.substr(0, end);
    Position_ = end == std::string_view::npos ? Text_.size() : Position_ + end + 1;
    if (!text.empty() && text.back() == '\r')
        text.remove_suffix(1);
    line = text;
    ++LineNumber_;
    return true;
}

std::string_view TextDamage(std::string_view line)
{
    static_assert(LongestTextLine == 65536, "the reason below names the limit");
    // The length first: a binary file's "lines" are not worth scanning further.
    if (line.size() > LongestTextLine)
        return "longer than 65536 bytes";
    if (line.find('\0') != std::string_view::npos)
        return "a NUL byte";
    return {};
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string WithoutQuotes(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (const char c : text)
        if (c != '"')
            result.push_back(c);
    return result;
}

double ReadCDouble(std::string_view text)
{
    double value = 0.0;
    // A copy, so the C conversion stops at the end of the field and never reads beyond it.
    ScanNumbers(std::string(text), "%lf", {&value});
    return value;
}

int32_t ReadCInteger(std::string_view text)
{
    int32_t value = 0;
    ScanNumbers(std::string(text), "%d", {&value});
    return value;
}

std::optional<double> WholeCDouble(std::string_view text)
{
    const std::string field(TrimBlanks(text));
    const char* cursor = field.c_str();
    double value = 0.0;
    if (!detail::ScanReal(cursor, value) || cursor != field.c_str() + field.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int32_t> WholeCInteger(std::string_view text)
{
    const std::string field(TrimBlanks(text));
    const char* cursor = field.c_str();
    int32_t value = 0;
    if (!detail::ScanInteger(cursor, value) || cursor != field.c_str() + field.size())
        return std::nullopt;
    return value;
}

std::string ReplaceFileNameTail(const std::string& path, size_t count, const std::string& suffix)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t nameLength = path.size() - nameStart;
    const size_t cut = count < nameLength ? count : nameLength;
    return path.substr(0, path.size() - cut) + suffix;
}


} // namespace tessaro
