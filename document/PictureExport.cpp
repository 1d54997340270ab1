#include "document/PictureExport.h"

#include "document/LumarixDoc.h"
#include "geodata/NetworkEmfWriter.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"

namespace tessaro {

int ExportNetworkPicture(const CLumarixDoc& document, const std::string& path)
{
    if (const std::optional<std::string> refusal = document.InputFiles().CheckOutput(path)) {
        ShowMessage(*refusal, MessageKind::Error);
        return -1;
    }
    CNetworkEmfWriter writer(document.Network());
    writer.SetPageSize(ExportPictureWidth, ExportPictureHeight);
    // The settings dialog comes first, without the wait cursor over it.
    if (!writer.EditSettings())
        return -1;
    CWaitGuard wait;
    return writer.WritePicture(path, ExportPictureMargin, true);
}

std::string ProposedExportName(const std::string& documentPath)
{
    return documentPath.size() > 4 ? documentPath.substr(0, documentPath.size() - 4) : std::string();
}

} // namespace tessaro
