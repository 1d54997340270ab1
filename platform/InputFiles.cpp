#include "platform/InputFiles.h"

#include <filesystem>
#include <sys/stat.h>

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// The path after the filesystem resolved what it can; the plain path when that fails.
std::string Resolved(const std::string& path)
{
    std::error_code error;
    fs::path absolute = fs::absolute(path, error);
    if (error)
        return fs::path(path).lexically_normal().string();
    fs::path resolved = fs::weakly_canonical(absolute, error);
    return (error ? absolute.lexically_normal() : resolved).string();
}

} // namespace

bool CInputFiles::SameFile(const std::string& first, const std::string& second)
{
    if (Resolved(first) == Resolved(second))
        return true;
    struct stat a {};
    struct stat b {};
    return ::stat(first.c_str(), &a) == 0 && ::stat(second.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
}

void CInputFiles::Add(const std::string& path) { Paths_.push_back(path); }

void CInputFiles::AddShapefile(const std::string& path)
{
    const fs::path base = fs::path(path).replace_extension();
    Add(path);
    for (const char* extension : {".shp", ".shx", ".dbf", ".prj", ".SHP", ".SHX", ".DBF", ".PRJ"}) {
        fs::path member = base;
        member += extension;
        Add(member.string());
    }
}

std::optional<std::string> CInputFiles::CheckOutput(const std::string& output) const
{
    for (const std::string& input : Paths_) {
        if (SameFile(output, input))
            return "The output file \"" + output + "\" would overwrite the input file \"" + input +
                   "\". Please choose another output folder or file name.";
    }
    return std::nullopt;
}

std::optional<std::string> CInputFiles::CheckOutputs(const std::vector<std::string>& outputs) const
{
    for (const std::string& output : outputs)
        if (std::optional<std::string> refusal = CheckOutput(output))
            return refusal;
    return std::nullopt;
}

} // namespace tessaro
