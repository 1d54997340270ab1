#include "run/ParamFile.h"

#include "engine/CartoParams.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <filesystem>
#include <fstream>

namespace tessaro {
namespace {

// A parameter file is six value lines, the notes and a few named values: a few kilobytes.
// Anything past this many bytes is not read, so a huge file costs no more than a small one.
constexpr std::streamsize ReadLimit = 1 << 20;

std::string Head(std::istream& in)
{
    std::string text(static_cast<size_t>(ReadLimit), '\0');
    in.read(text.data(), ReadLimit);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

} // namespace

bool LoadParamFile(CartoParams& params, const std::string& path, std::vector<int>* incompleteLines)
{
    // A folder opens for reading on Linux but holds no lines; it is no parameter file.
    std::error_code ignored;
    if (std::filesystem::is_directory(path, ignored))
        return false;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        return false;
    std::vector<int> incomplete = params.ParseParamText(Head(in));
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
