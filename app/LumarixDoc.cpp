#include "app/LumarixDoc.h"

#include "platform/FileError.h"
#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fstream>

namespace tessaro {
namespace {

std::string Ending(const std::string& path)
{
    std::string ending = path.size() >= 3 ? path.substr(path.size() - 3) : path;
    std::transform(ending.begin(), ending.end(), ending.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return ending;
}

// The open's first step: the file must be readable, or the open fails with the file error.
bool CheckReadable(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (file)
        return true;
    ShowMessage(CFileError(path, "open", errno).what(), MessageKind::Error);
    return false;
}

} // namespace

bool CLumarixDoc::OnOpenDocument(const std::string& path)
{
    if (!CheckReadable(path))
        return false;
    DocumentPath = path;
    try {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        const std::string ending = Ending(path);
        if (ending == "SHP") {
            Network_.SetKeyMode(KeyByCoordinates);
            ShpTranslator_.ReadShapeFile(path, -1);
        } else {
            ShowMessage("Unknown File Format", MessageKind::Error);
            return false;
        }
    } catch (const CFileError& error) {
        ShowMessage(error.what(), MessageKind::Error);
        return false;
    }
    RefreshViews(&Network_);
    return true;
}

int CLumarixDoc::LoadPolygonShapefile(const std::string& path)
{
    int status = 0;
    {
        CWaitGuard wait;
        CThreadPriorityGuard lowered;
        status = ShpTranslator_.ReadShapeFile(path, CShpFileTranslator::PolygonType);
    }
    RefreshViews(&Network_);
    return status;
}

const CartogramRunSummary& CLumarixDoc::RunCartogram(CCartogramJob& job)
{
    {
        CWaitGuard wait;
        job.Run(Network_, QuadTree_, ShpTranslator_, Params);
    }
    RefreshViews(&Network_);
    return job.Summary;
}

} // namespace tessaro
