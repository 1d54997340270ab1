#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace tessaro {

// Owns one POSIX file descriptor and closes it on every way out (return, exception, move
// over it), so no descriptor leaks and none is closed twice. -1 stands for none.
class CFileDescriptor {
public:
    CFileDescriptor() = default;
    explicit CFileDescriptor(int descriptor) noexcept : Descriptor_(descriptor < 0 ? -1 : descriptor) {}
    ~CFileDescriptor();
    CFileDescriptor(CFileDescriptor&& other) noexcept;
    CFileDescriptor& operator=(CFileDescriptor&& other) noexcept;
    CFileDescriptor(const CFileDescriptor&) = delete;
    CFileDescriptor& operator=(const CFileDescriptor&) = delete;

    // open(2) with close-on-exec added to `flags`; none, with errno set, when it fails.
    static CFileDescriptor Open(const std::string& path, int flags, mode_t mode = 0);

    int Get() const { return Descriptor_; }
    bool IsOpen() const { return Descriptor_ >= 0; }

    // Closes now and returns 0, or the errno value of a failed close. close() reports deferred
    // write errors (NFS, quotas), so a writer must look at it; it is not retried on EINTR
    // because Linux releases the descriptor either way. Closing none returns 0.
    int Close();

    // One read(2) into `buffer`, repeated when a signal interrupts it: the count read, 0 at
    // the end, or -1 with errno set.
    ssize_t Read(void* buffer, std::size_t size) const;
    // Writes all of `bytes`, continuing after short writes and signals. Returns 0, or the
    // errno value of the failure; a write that makes no progress counts as a full device
    // (ENOSPC) rather than being tried forever.
    int WriteAll(std::string_view bytes) const;

private:
    int Descriptor_ = -1;
};

} // namespace tessaro
