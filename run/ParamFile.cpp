#include "run/ParamFile.h"

#include "engine/CartoParams.h"
#include "platform/AtomicFileWriter.h"
#include "platform/FileError.h"
#include "platform/UserInterface.h"

#include <filesystem>
#include <fstream>

namespace tessaro {
namespace {

// The reader looks at the first six lines only; the notes and anything after them are never
// read, so a file of any size costs six lines.
constexpr int ValueLineCount = 6;

std::string FirstLines(std::istream& in)
{
    std::string text;
    std::string line;
    for (int i = 0; i < ValueLineCount && std::getline(in, line); ++i)
        text += line + '\n';
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
    std::vector<int> incomplete = params.ParseParamText(FirstLines(in));
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
