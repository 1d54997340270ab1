#include "run/RunFileNames.h"

#include "platform/InputFiles.h"

#include <cctype>
#include <cstdint>
#include <filesystem>

namespace tessaro {
namespace {

namespace fs = std::filesystem;

bool EqualsIgnoringCase(const std::string& text, std::size_t from, const char* lower)
{
    for (std::size_t i = 0; lower[i] != '\0'; ++i) {
        if (from + i >= text.size() ||
            std::tolower(static_cast<unsigned char>(text[from + i])) != static_cast<unsigned char>(lower[i]))
            return false;
    }
    return from + std::char_traits<char>::length(lower) == text.size();
}

} // namespace

bool RunSchedule::ExportsRound(int round) const
{
    // In 64 bits so that round + 1 cannot overflow.
    const int64_t next = static_cast<int64_t>(round) + 1;
    return next % ExportEvery == 0 || round >= Steps - 1;
}

RunSchedule MakeRunSchedule(int maxSteps, int exportEvery)
{
    RunSchedule schedule;
    schedule.Steps = maxSteps > 2 ? maxSteps : 2;
    const int every = exportEvery > 1 ? exportEvery : 1;
    schedule.ExportEvery = every < schedule.Steps ? every : schedule.Steps;
    return schedule;
}

CRunFileNames::CRunFileNames(std::string shapefilePath, std::string outputFolder, bool anyExtension)
    : Input_(std::move(shapefilePath))
{
    // Only a ".shp" that ends the file name counts; one in a folder name is part of the stem.
    const std::size_t slash = Input_.find_last_of('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = Input_.find_last_of('.');
    if (dot != std::string::npos && dot >= nameStart && EqualsIgnoringCase(Input_, dot, ".shp")) {
        Stem_ = Input_.substr(0, dot);
        UpperCaseExtension_ = Input_.compare(dot, 4, ".SHP") == 0;
    } else if (anyExtension && dot != std::string::npos && dot > nameStart) {
        Stem_ = Input_.substr(0, dot);
    } else {
        Stem_ = Input_;
    }
    OutputStem_ = Stem_;
    if (!outputFolder.empty())
        OutputStem_ = (fs::path(outputFolder) / Stem_.substr(nameStart)).string();
}

std::string CRunFileNames::Companion(const char* lowerExtension) const
{
    std::string extension = std::string(".") + lowerExtension;
    if (UpperCaseExtension_) {
        for (char& c : extension)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return extension;
}

RoundFileNames CRunFileNames::ForRound(int round) const
{
    const std::string base = OutputStem_ + "_" + std::to_string(round);
    return {base + ".shp", base + "_qt.emf", base + "_py.emf", base + "_qp.emf", base + ".dbf", base + ".prj"};
}

bool CheckDerivedNames(const CRunFileNames& names, const std::vector<int>& rounds, std::string& message)
{
    std::vector<std::string> derived{names.InformationFile()};
    for (const int round : rounds) {
        const RoundFileNames files = names.ForRound(round);
        const std::string shx = files.Shapefile.substr(0, files.Shapefile.size() - 4) + ".shx";
        derived.insert(derived.end(), {files.Shapefile, shx, files.QuadtreePicture, files.PolygonPicture,
                                       files.CombinedPicture, files.TableCopy, files.ProjectionCopy});
        for (const std::string* picture : {&files.QuadtreePicture, &files.PolygonPicture, &files.CombinedPicture})
            derived.push_back(fs::path(*picture).replace_extension(".svg").string());
    }
    CInputFiles inputs;
    inputs.AddShapefile(names.InputShapefile());
    const std::optional<std::string> refusal = inputs.CheckOutputs(derived);
    message = refusal.value_or(std::string());
    return !refusal;
}

} // namespace tessaro
