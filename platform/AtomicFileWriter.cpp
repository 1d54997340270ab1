#include "platform/AtomicFileWriter.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaro {
namespace {

// Distinguishes the temporaries of several writers in one process; the process id
// distinguishes processes.
std::atomic<unsigned> TemporaryCounter{0};

// A stale temporary left by a crashed process with our id may hold a name; try a few more.
constexpr int CreateAttempts = 16;

// Folder entries are limited to 255 bytes; the temporary's name keeps room for its suffix.
constexpr std::size_t MaxNameStem = 200;

std::string TemporaryPathFor(const std::string& target)
{
    const std::filesystem::path path(target);
    const std::string name = "." + path.filename().string().substr(0, MaxNameStem) + ".tmp-" +
                             std::to_string(::getpid()) + "-" + std::to_string(TemporaryCounter.fetch_add(1));
    return (path.parent_path() / name).string();
}

// The checks an in-place open for writing would have made, so that replacing by rename
// does not overwrite what the user could not have overwritten. 0 when the target may be
// replaced, else the errno value the open would have failed with.
int TargetRefusal(const std::string& target)
{
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    return ::access(target.c_str(), W_OK) == 0 ? 0 : errno;
}

} // namespace

CAtomicFileWriter::~CAtomicFileWriter()
{
    Abandon();
}

bool CAtomicFileWriter::Open(const std::string& path)
{
    Abandon();
    Error_ = 0;
    if (path.empty())
        return Fail(ENOENT);
    if (const int refusal = TargetRefusal(path); refusal != 0)
        return Fail(refusal);
    for (int attempt = 0; attempt < CreateAttempts; ++attempt) {
        std::string temporary = TemporaryPathFor(path);
        CFileDescriptor file = CFileDescriptor::Open(temporary, O_CREAT | O_EXCL | O_WRONLY, 0666);
        if (file.IsOpen()) {
            TargetPath_ = path;
            TemporaryPath_ = std::move(temporary);
            Temporary_ = std::move(file);
            return true;
        }
        if (errno != EEXIST)
            return Fail(errno);
    }
    return Fail(EEXIST);
}

bool CAtomicFileWriter::Write(const std::string& bytes)
{
    if (Error_ != 0)
        return false;
    if (!Temporary_.IsOpen())
        return Fail(EBADF);
    const int error = Temporary_.WriteAll(bytes);
    return error == 0 || Fail(error);
}

bool CAtomicFileWriter::Commit()
{
    if (!Temporary_.IsOpen() || Error_ != 0) {
        const int error = Error_ != 0 ? Error_ : EBADF;
        Abandon();
        return Fail(error);
    }
    // Without the flush a crash soon after the rename could leave an empty file behind on
    // file systems that reorder data and metadata.
    if (::fsync(Temporary_.Get()) != 0) {
        const int error = errno;
        Abandon();
        return Fail(error);
    }
    if (!CloseTemporary() || ::rename(TemporaryPath_.c_str(), TargetPath_.c_str()) != 0) {
        const int error = Error_ != 0 ? Error_ : errno;
        Abandon();
        return Fail(error);
    }
    TemporaryPath_.clear();
    TargetPath_.clear();
    return true;
}

void CAtomicFileWriter::Abandon()
{
    Temporary_.Close();
    if (!TemporaryPath_.empty())
        ::unlink(TemporaryPath_.c_str());
    TemporaryPath_.clear();
    TargetPath_.clear();
}

bool CAtomicFileWriter::Fail(int error)
{
    if (Error_ == 0)
        Error_ = error;
    return false;
}

bool CAtomicFileWriter::CloseTemporary()
{
    // close() reports deferred write errors (NFS, quotas).
    const int error = Temporary_.Close();
    return error == 0 || Fail(error);
}

} // namespace tessaro
