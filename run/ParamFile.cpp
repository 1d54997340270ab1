#include "run/ParamFile.h"

#include "engine/CartoParams.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <filesystem>
#include <fstream>
#include <optional>

namespace tessaro {
namespace {

// The whole file, or nullopt when it holds more than ParamFileLimit bytes: one byte past the
// limit is read to tell.
std::optional<std::string> Whole(std::istream& in)
{
    std::string text(static_cast<size_t>(ParamFileLimit) + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.gcount() > ParamFileLimit)
        return std::nullopt;
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

} // namespace

bool LoadParamFile(CartoParams& params, const std::string& path, std::vector<ParamLineRefusal>* incompleteLines,
                   std::string* problem)
{
    const auto refuse = [problem](const std::string& why) {
        if (problem != nullptr)
            *problem = why;
        return false;
    };
    // A folder opens for reading on Linux but holds no lines; it is no parameter file.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return refuse("it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return refuse("it cannot be opened");
    const std::optional<std::string> text = Whole(in);
    if (!text)
        return refuse("it holds more than 1 MiB (1,048,576 bytes), the most a parameter file may hold");
    std::vector<ParamLineRefusal> incomplete = params.ParseParamText(*text);
    if (incompleteLines != nullptr)
        *incompleteLines = std::move(incomplete);
    return true;
}

bool SaveParamFile(const CartoParams& params, const std::string& path)
{
    CAtomicFileWriter writer;
    if (!writer.Open(path))
        return false;
    if (!writer.Write(params.FormatParamFile()) || !writer.Commit()) {
        ShowMessage(CFileError(path, "write", writer.LastError()).what(), MessageKind::Error);
        return false;
    }
    return true;
}

} // namespace tessaro
