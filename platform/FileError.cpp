#include "platform/FileError.h"

#include <cstring>

namespace tessaro {
namespace {

std::string Describe(const std::string& path, const std::string& action, int error)
{
    std::string text = "Cannot " + action + " the file \"" + path + "\"";
    if (error != 0)
        text += ": " + std::string(std::strerror(error));
    return text + ".";
}

} // namespace

CFileError::CFileError(const std::string& path, const std::string& action, int error)
    : std::runtime_error(Describe(path, action, error)), Path_(path), Error_(error)
{
}

std::string FileReasonLine(const std::string& path, int error)
{
    return error == 0 ? path : path + ": " + std::strerror(error) + ".";
}

} // namespace tessaro
