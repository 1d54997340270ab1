#include "app/MapPictureExport.h"

#include "document/LumarixDoc.h"
#include "document/PictureExport.h"
#include "platform/UserInterface.h"
#include "platform/WaitGuard.h"
#include "render/MapPicture.h"
#include "render/MapPictureFile.h"

namespace tessaro {

void ExportMapPictureOf(const CLumarixDoc& document, const MapStyle& style, const MapColoring& coloring)
{
    FileChooserOptions options;
    options.DefaultExtension = "png";
    options.InitialName = ProposedExportName(document.DocumentPath);
    options.Filter = MapPictureFilter;
    options.OverwritePrompt = true;
    const std::optional<std::string> path = ChooseFileToSave(options);
    if (!path)
        return;
    MapScene scene;
    scene.Result = &document.Network().PolygonLayer();
    scene.Style = style;
    scene.Coloring = coloring;
    const CMapPicture picture(scene);
    const CWaitGuard wait;
    if (const std::optional<std::string> problem = WriteMapPicture(picture, *path, {}, document.InputFiles()))
        ShowMessage(*problem, MessageKind::Error);
}

} // namespace tessaro
