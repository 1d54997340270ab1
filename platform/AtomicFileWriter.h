#pragma once

#include "platform/FileDescriptor.h"

#include <string>

namespace tessaro {

// Writes a file so that readers see either the old complete file or the new complete one,
// never a half-written mix: the bytes go to a temporary file in the same folder, which
// replaces the target by rename() once every write, the flush to disk and the close have
// succeeded. The temporary is created with mode 0666, so the user's umask decides the new
// file's permissions. An uncommitted temporary is removed when the writer is abandoned or
// destroyed.
class CAtomicFileWriter {
public:
    CAtomicFileWriter() = default;
    ~CAtomicFileWriter();
    CAtomicFileWriter(const CAtomicFileWriter&) = delete;
    CAtomicFileWriter& operator=(const CAtomicFileWriter&) = delete;

    // Creates the temporary for `path`. Fails, creating nothing, when the target could not be
    // created or truncated in place: its folder is missing or closed to us, it is a folder,
    // or it exists without write permission.
    bool Open(const std::string& path);
    // Appends `bytes`; after the first failure every later call fails too.
    bool Write(const std::string& bytes);
    // Flushes and closes the temporary and renames it over the target. On failure the
    // temporary is removed and the target keeps its old content.
    bool Commit();
    // Closes and removes the temporary; the target keeps its old content.
    void Abandon();

    // The errno value of the first failure, 0 while none has happened.
    int LastError() const { return Error_; }
    // The temporary's path while one is open, for tests and diagnostics.
    const std::string& TemporaryPath() const { return TemporaryPath_; }

private:
    bool Fail(int error);
    bool CloseTemporary();

    std::string TargetPath_;
    std::string TemporaryPath_;
    CFileDescriptor Temporary_;
    int Error_ = 0;
};

} // namespace tessaro
