#include "graphio/TextLines.h"

#include "cartogram/NumberText.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaro {
namespace {

// Closes a descriptor on every way out of Load.
class CDescriptor {
public:
    explicit CDescriptor(int descriptor) : Descriptor_(descriptor) {}
    ~CDescriptor()
    {
        if (Descriptor_ >= 0)
            ::close(Descriptor_);
    }
    CDescriptor(const CDescriptor&) = delete;
    CDescriptor& operator=(const CDescriptor&) = delete;
    int Get() const { return Descriptor_; }

private:
    int Descriptor_;
};

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
    FailedAction_ = "";
    Error_ = 0;
    const CDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.Get() < 0) {
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
        const ssize_t got = ::read(file.Get(), Text_.data() + used, room);
        const int error = errno;
        if (got < 0 && error == EINTR) {
            Text_.resize(used);
            continue;
        }
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
    if (const size_t nul = text.find('\0'); nul != std::string_view::npos)
        text = text.substr(0, nul);
    line = text;
    return true;
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

std::string UpperCaseAscii(std::string_view text)
{
    std::string result(text);
    for (char& c : result)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
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

std::string ReplaceFileNameTail(const std::string& path, size_t count, const std::string& suffix)
{
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t nameLength = path.size() - nameStart;
    const size_t cut = count < nameLength ? count : nameLength;
    return path.substr(0, path.size() - cut) + suffix;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &first) != 0 || ::stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace tessaro
