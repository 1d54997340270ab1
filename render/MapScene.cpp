#include "render/MapScene.h"

#include "run/CartogramJob.h"

namespace tessaro {

MapScene MakeMapScene(const CPolygonLayer& result, const CPolygonLayer* input, const CartogramRunSummary& summary,
                      const MapStyle& style)
{
    MapScene scene;
    scene.Result = &result;
    // A layer of another polygon count is not the same map.
    scene.Input = input != nullptr && input->Count() == result.Count() ? input : nullptr;
    scene.Names.resize(result.Count());
    if (summary.Polygons.size() == result.Count())
        for (size_t i = 0; i < summary.Polygons.size(); ++i)
            scene.Names[i] = summary.Polygons[i].Name;
    if (summary.LastMeasures && summary.LastMeasures->Fits.size() == result.Count())
        scene.Fits = summary.LastMeasures->Fits;
    scene.Measures = PolygonMeasures::FromRun(summary);
    scene.Style = style;
    scene.Coloring = MapColoring::Make(style, scene.Measures, result.Count());
    return scene;
}

} // namespace tessaro
