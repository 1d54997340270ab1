#pragma once

#include <stdexcept>
#include <string>

namespace tessaro {

// The platform's file error: a file that cannot be opened, read or written. It is one of the
// two exceptions allowed to leave a module; the front end catches it and reports What().
class CFileError : public std::runtime_error {
public:
    // `action` says what failed ("open", "read", "write"); `error` is the errno value.
    CFileError(const std::string& path, const std::string& action, int error);

    const std::string& Path() const { return Path_; }
    int ErrorNumber() const { return Error_; }

private:
    std::string Path_;
    int Error_;
};

// The line a message of the program's own wording gets below it: which file, and the system's
// reason ("/data/out.gv: No such file or directory."), or the path alone for an error of 0.
std::string FileReasonLine(const std::string& path, int error);

} // namespace tessaro
