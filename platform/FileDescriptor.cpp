#include "platform/FileDescriptor.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace tessaro {

CFileDescriptor::~CFileDescriptor()
{
    Close();
}

CFileDescriptor::CFileDescriptor(CFileDescriptor&& other) noexcept
    : Descriptor_(std::exchange(other.Descriptor_, -1))
{
}

CFileDescriptor& CFileDescriptor::operator=(CFileDescriptor&& other) noexcept
{
    if (this != &other) {
        Close();
        Descriptor_ = std::exchange(other.Descriptor_, -1);
    }
    return *this;
}

CFileDescriptor CFileDescriptor::Open(const std::string& path, int flags, mode_t mode)
{
    return CFileDescriptor(::open(path.c_str(), flags | O_CLOEXEC, mode));
}

int CFileDescriptor::Close()
{
    if (Descriptor_ < 0)
        return 0;
    const int result = ::close(std::exchange(Descriptor_, -1));
    return result == 0 ? 0 : errno;
}

ssize_t CFileDescriptor::Read(void* buffer, std::size_t size) const
{
    for (;;) {
        const ssize_t got = ::read(Descriptor_, buffer, size);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

int CFileDescriptor::WriteAll(std::string_view bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(Descriptor_, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written < 0)
            return errno;
        if (written == 0)
            return ENOSPC;
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

} // namespace tessaro
