// The folder tree is the layering: a header or source includes only its own folder and the
// folders its layer builds on. This test reads every #include "folder/..." of the project and
// fails on one that points sideways or up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Folders = std::set<std::string>;

// What each folder may include besides itself: the layers below it, closed downwards.
const std::map<std::string, Folders>& LayersBelow()
{
    static const std::map<std::string, Folders> allowed = [] {
        std::map<std::string, Folders> below{
            {"platform", {}},
            {"geometry", {"platform"}},
            {"engine", {"geometry"}},
            {"network", {"geometry"}},
            {"geodata", {"network", "engine"}},
            {"graphio", {"network"}},
            {"run", {"geodata", "engine"}},
            {"document", {"run", "graphio", "geodata"}},
            {"render", {"document"}},
            {"cli", {"render"}},
            {"app", {"render"}},
        };
        // Close each set over the layers it names.
        for (bool grew = true; grew;) {
            grew = false;
            for (auto& [folder, folders] : below)
                for (const std::string& lower : Folders(folders))
                    for (const std::string& deeper : below.at(lower))
                        grew |= folders.insert(deeper).second;
        }
        return below;
    }();
    return allowed;
}

// What the sources of each folder may include: the layers below, except that the command line
// only calls the document and prints (the types it handles come through the document's header).
const std::map<std::string, Folders>& AllowedIncludes()
{
    static const std::map<std::string, Folders> allowed = [] {
        std::map<std::string, Folders> folders = LayersBelow();
        folders["cli"] = {"render", "document", "platform"};
        return folders;
    }();
    return allowed;
}

struct Include {
    std::string File;
    int Line;
    std::string Folder;
};

// The folder of a line `#include "folder/..."`, or empty for any other line.
std::string IncludedFolder(std::string line)
{
    std::erase_if(line, [](char c) { return c == ' ' || c == '\t'; });
    const size_t slash = line.find('/'), quote = line.find('"', 9);
    if (!line.starts_with("#include\"") || slash == std::string::npos || slash > quote)
        return {};
    return line.substr(9, slash - 9);
}

std::vector<Include> ProjectIncludes(const fs::path& file)
{
    std::vector<Include> found;
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number)
        if (const std::string folder = IncludedFolder(line); !folder.empty())
            found.push_back({file.string(), number, folder});
    return found;
}

// The offending includes of one folder of the tree.
std::vector<Include> Violations(const fs::path& root, const std::string& folder, const Folders& allowed)
{
    std::vector<Include> bad;
    if (!fs::is_directory(root / folder))
        return bad;
    for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
        const std::string ext = entry.path().extension().string();
        if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp"))
            continue;
        for (const Include& inc : ProjectIncludes(entry.path()))
            if (inc.Folder != folder && !allowed.contains(inc.Folder))
                bad.push_back(inc);
    }
    return bad;
}

std::string Describe(const std::vector<Include>& bad)
{
    std::string text;
    for (const Include& inc : bad)
        text += inc.File + ":" + std::to_string(inc.Line) + " includes " + inc.Folder + "/\n";
    return text;
}

TEST(Layering, NoFolderIncludesAFolderAboveOrBesideIt)
{
    const fs::path root = TESSARO_SOURCE_DIR;
    for (const auto& [folder, allowed] : AllowedIncludes()) {
        const std::vector<Include> bad = Violations(root, folder, allowed);
        EXPECT_TRUE(bad.empty()) << Describe(bad);
    }
}

// A test of a folder may use that folder, what it builds on and the shared fixtures.
TEST(Layering, EveryTestFolderIncludesOnlyItsModuleAndTheLayersBelow)
{
    const fs::path root = TESSARO_SOURCE_DIR;
    for (const auto& [folder, allowed] : LayersBelow()) {
        Folders withModule = allowed;
        withModule.insert(folder);
        withModule.insert("tests");
        const std::vector<Include> bad = Violations(root / "tests", folder, withModule);
        EXPECT_TRUE(bad.empty()) << Describe(bad);
    }
}

// Every top-level source folder is a layer of the table, so a new folder cannot slip past it.
TEST(Layering, EverySourceFolderHasItsPlaceInTheLayers)
{
    const fs::path root = TESSARO_SOURCE_DIR;
    const Folders notLayers{"build", "tests", "bench", "docs", "examples", "scripts", "output"};
    for (const auto& entry : fs::directory_iterator(root)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_directory() || name.starts_with(".") || notLayers.contains(name))
            continue;
        bool holdsSources = false;
        for (const auto& file : fs::recursive_directory_iterator(entry.path()))
            holdsSources |= file.path().extension() == ".cpp" || file.path().extension() == ".h";
        EXPECT_TRUE(!holdsSources || AllowedIncludes().contains(name)) << name << "/ holds sources but is no layer";
    }
}

} // namespace
