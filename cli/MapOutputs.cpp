#include "cli/MapOutputs.h"

#include "document/LumarixDoc.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"
#include "render/HtmlMapPage.h"
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

// The files the run `job` read (its map and the layers moved with it), with the document's own.
CInputFiles RunInputs(const CLumarixDoc& document, const CCartogramJob& job)
{
    CInputFiles inputs = document.InputFiles();
    inputs.AddShapefile(job.ShapefilePath);
    for (const CartogramJobRequest::CompanionSource& companion : job.Companions)
        inputs.AddShapefile(companion.Path);
    return inputs;
}

// The web page of `scene` at `path`, never over one of the run's inputs.
bool WriteHtmlPage(const std::string& path, const MapScene& scene, const CInputFiles& inputs, std::ostream& out)
{
    std::optional<std::string> refusal = CHtmlMapPage::CheckPath(path);
    if (refusal)
        refusal = "--html " + *refusal;
    else
        refusal = inputs.CheckOutput(path);
    if (refusal) {
        ShowMessage(*refusal, MessageKind::Error);
        return false;
    }
    if (const int error = CHtmlMapPage(scene).Write(path); error != 0) {
        ShowMessage("The web page could not be written.\n" + FileReasonLine(path, error), MessageKind::Error);
        return false;
    }
    out << "Web page: " << path << '\n';
    return true;
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
    if (!options.HtmlPath.empty())
        written = WriteHtmlPage(options.HtmlPath, scene, RunInputs(document, job), out) && written;
    return written;
}

} // namespace tessaro
