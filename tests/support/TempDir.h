#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tessaro::test {

// A fresh folder under the system's temporary directory, removed with everything in it.
class CTempDir {
public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;

    const std::filesystem::path& Path() const { return Path_; }
    std::string File(const std::string& name) const { return (Path_ / name).string(); }

private:
    std::filesystem::path Path_;
};

std::vector<unsigned char> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<unsigned char>& bytes);
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
// The lines of a text, without the line of one blank that ends each run in an information file.
std::vector<std::string> Lines(const std::string& text);
// The names of the entries directly in a folder, sorted.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

} // namespace tessaro::test
