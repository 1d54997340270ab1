#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tessaro {

// The files a piece of work reads, so that none of its outputs can land on one of them. Two
// paths name the same file when they resolve to the same path (links and dot segments
// followed) or, for files that exist, when they share device and inode: a symbolic link, a
// hard link or a relative path to an input is caught as well as the input's own path.
class CInputFiles {
public:
    // One input file; it need not exist (yet).
    void Add(const std::string& path);
    // A shapefile and its members beside it: .shp, .shx, .dbf and .prj, in both cases.
    void AddShapefile(const std::string& path);

    // Nullopt when `output` is none of the inputs; otherwise the message for the user.
    std::optional<std::string> CheckOutput(const std::string& output) const;
    // The first refusal among `outputs`, if any.
    std::optional<std::string> CheckOutputs(const std::vector<std::string>& outputs) const;

    const std::vector<std::string>& Paths() const { return Paths_; }

    static bool SameFile(const std::string& first, const std::string& second);

private:
    std::vector<std::string> Paths_;
};

} // namespace tessaro
