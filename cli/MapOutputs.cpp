#include "cli/MapOutputs.h"

#include "document/LumarixDoc.h"
#include "platform/FileError.h"
#include "platform/InputFiles.h"
#include "platform/UserInterface.h"
#include "render/HtmlMapPage.h"
#include "render/MapLabels.h"
#include "render/MapPicture.h"
#include "render/MapPictureFile.h"
#include "render/MapScene.h"
#include "render/RenderSession.h"
#include "render/RoundScenes.h"

#include <ostream>

namespace tessaro {
namespace {

// The files the run `job` read (its map and the layers moved with it), with the document's own.
CInputFiles RunInputs(const CLumarixDoc& document, const CCartogramJob& job)
{
    CInputFiles inputs = document.InputFiles();
    inputs.AddShapefile(job.ShapefilePath);
    for (const CartogramJobRequest::CompanionSource& companion : job.Companions)
        inputs.AddShapefile(companion.Path);
    return inputs;
}

// Why the web page cannot be written at `path`: its ending, or that it is one of `inputs`.
std::optional<std::string> CheckHtmlPath(const std::string& path, const CInputFiles& inputs)
{
    if (std::optional<std::string> refusal = CHtmlMapPage::CheckPath(path))
        return "--html " + *refusal;
    return inputs.CheckOutput(path);
}

// The web page of `scene` at `path`, never over one of the run's inputs.
bool WriteHtmlPage(const std::string& path, const MapScene& scene, const CInputFiles& inputs, std::ostream& out)
{
    if (const std::optional<std::string> refusal = CheckHtmlPath(path, inputs)) {
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

// A published map's look: white paper, thin dark grey borders, no quadtree.
MapStyle PictureStyle(MapStyle::FillMode fill)
{
    MapStyle style;
    style.Fill = fill;
    style.Background = {255, 255, 255};
    style.OutlineColor = {80, 80, 80};
    style.OutlineWidth = 0.5;
    style.ShowQuadtree = false;
    return style;
}

bool WritePicture(const MapScene& scene, const std::string& path, const MapOutputOptions& options,
                  const CInputFiles& inputs, std::ostream& out)
{
    const CMapPicture picture(scene);
    if (const auto problem = WriteMapPicture(picture, path, {options.PictureWidth, options.Dpi}, inputs)) {
        ShowMessage(*problem, MessageKind::Error);
        return false;
    }
    out << "Map picture: " << path << '\n';
    return true;
}

// With "{round}" in its name, a picture of every exported round, the result's drawn from the
// result itself and the others from their shapefiles; without, the result's alone.
bool WritePictures(const MapScene& scene, const MapOutputOptions& options, const CCartogramJob& job,
                   const CInputFiles& inputs, std::ostream& out)
{
    const CRenderSession session;
    const std::string& pattern = options.PicturePath;
    if (RoundFileName(pattern, 0) == pattern)
        return WritePicture(scene, pattern, options, inputs, out);
    const std::vector<ExportedRound> rounds = ExportedShapefileRounds(job);
    if (rounds.empty())
        ShowMessage("--map-picture " + pattern + ": the run wrote no round as a shapefile, so only the result's " +
                        "picture is drawn.",
                    MessageKind::Warning);
    // The result is exported under the last exported round's number.
    const int resultRound = rounds.empty() ? job.Summary.LastRound : rounds.back().Round;
    bool written = true;
    for (const ExportedRound& round : rounds) {
        if (round.Round == resultRound)
            continue;
        const std::optional<CPolygonLayer> layer = ReadRoundLayer(round.Shapefile);
        if (!layer) {
            ShowMessage("Cannot read round " + std::to_string(round.Round) + "'s map from " + round.Shapefile + ".",
                        MessageKind::Error);
            written = false;
            continue;
        }
        written =
            WritePicture(MakeRoundScene(*layer, scene), RoundFileName(pattern, round.Round), options, inputs, out) &&
            written;
    }
    return WritePicture(scene, RoundFileName(pattern, resultRound), options, inputs, out) && written;
}

} // namespace

bool CheckMapOutputs(const MapOutputOptions& options, const std::string& input)
{
    CInputFiles inputs;
    inputs.AddShapefile(input);
    std::optional<std::string> refusal;
    if (!options.PicturePath.empty()) {
        refusal = CheckPicturePath(options.PicturePath, inputs);
        if (refusal)
            refusal = "--map-picture: " + *refusal;
    }
    if (!refusal && !options.HtmlPath.empty())
        refusal = CheckHtmlPath(options.HtmlPath, inputs);
    if (refusal)
        ShowMessage(*refusal, MessageKind::Error);
    return !refusal;
}

bool ReadLabelField(const MapOutputOptions& options, const CCartogramJob& job, std::vector<std::string>& column)
{
    column.clear();
    if (!options.Any() || options.LabelField.empty())
        return true;
    std::string problem;
    std::optional<std::vector<std::string>> read = ReadLabelColumn(job, options.LabelField, problem);
    if (!read) {
        ShowMessage("--labels " + options.LabelField + ": " + problem, MessageKind::Error);
        return false;
    }
    column = std::move(*read);
    return true;
}

bool WriteMapOutputs(const MapOutputOptions& options, const std::vector<std::string>& labelColumn,
                     const CLumarixDoc& document, CCartogramJob& job, std::ostream& out)
{
    const std::optional<CPolygonLayer> input = job.TakeInputLayer();
    const MapStyle style = PictureStyle(options.ColorBy);
    MapScene scene = MakeMapScene(document.Network().PolygonLayer(), input ? &*input : nullptr, job.Summary, style);
    scene.Title = options.Title;
    if (!options.LabelField.empty())
        scene.Labels = MapLabels(labelColumn, job.Summary);
    bool written = true;
    const CInputFiles inputs = RunInputs(document, job);
    if (!options.PicturePath.empty())
        written = WritePictures(scene, options, job, inputs, out) && written;
    if (!options.HtmlPath.empty())
        written = WriteHtmlPage(options.HtmlPath, scene, inputs, out) && written;
    return written;
}

} // namespace tessaro
