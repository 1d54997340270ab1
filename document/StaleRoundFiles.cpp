#include "document/StaleRoundFiles.h"

#include "platform/InputFiles.h"
#include "platform/TextCase.h"
#include "run/CartogramJob.h"
#include "run/RunFileNames.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace tessaro {
namespace {

namespace fs = std::filesystem;

// What follows "<stem>_<round>" in the name of a round's file, upper-cased.
const char* const RoundEndings[] = {".SHP",    ".SHX",    ".DBF",    ".PRJ",    "_QT.EMF",
                                    "_PY.EMF", "_QP.EMF", "_QT.SVG", "_PY.SVG", "_QP.SVG"};

// Whether `name` is "<stem>_<digits><ending>" for one of the round endings.
bool IsRoundFileName(const std::string& name, const std::string& stem)
{
    if (name.size() <= stem.size() + 1 || name.compare(0, stem.size(), stem) != 0 || name[stem.size()] != '_')
        return false;
    const size_t digits = stem.size() + 1;
    size_t end = digits;
    while (end < name.size() && name[end] >= '0' && name[end] <= '9')
        ++end;
    if (end == digits)
        return false;
    const std::string ending = UpperCaseAscii(name.substr(end));
    return std::any_of(std::begin(RoundEndings), std::end(RoundEndings),
                       [&](const char* candidate) { return ending == candidate; });
}

} // namespace

std::vector<std::string> FindStaleRoundFiles(const CCartogramJob& job)
{
    const CRunFileNames names(job.ShapefilePath, job.OutputFolder, job.Reader == CCartogramJob::InputReader::Ogr);
    const fs::path stem(names.OutputStem());
    const fs::path folder = stem.has_parent_path() ? stem.parent_path() : fs::path(".");
    std::set<std::string> written;
    for (const std::string& path : job.Summary.WrittenFiles)
        written.insert(fs::path(path).filename().string());
    CInputFiles inputs;
    inputs.AddShapefile(names.InputShapefile());
    // A layer moved with the map is an input too, whatever its name.
    for (const CCartogramJob::CompanionSource& companion : job.Companions)
        inputs.AddShapefile(companion.Path);

    std::vector<std::string> stale;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (!entry->is_regular_file(error) || !IsRoundFileName(name, stem.filename().string()) ||
            written.contains(name))
            continue;
        // Joined as the run joins its own names, so a listing reads like the run's.
        const std::string path = (stem.has_parent_path() ? (folder / name) : fs::path(name)).string();
        if (!inputs.CheckOutput(path))
            stale.push_back(path);
    }
    std::sort(stale.begin(), stale.end());
    return stale;
}

std::vector<std::string> RemoveFiles(const std::vector<std::string>& files)
{
    std::vector<std::string> kept;
    for (const std::string& file : files) {
        std::error_code error;
        if (!fs::remove(file, error) || error)
            kept.push_back(file);
    }
    return kept;
}

} // namespace tessaro
