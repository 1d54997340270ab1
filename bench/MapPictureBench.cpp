// The map picture of us_counties (3,100+ polygons) drawn at 300 dpi: the page laid out and the
// polygons, outlines and legend painted into a 2400-pixel-wide image, and the same written as a
// PNG file (encoding and the atomic write included). The map is read once, outside the timing.
#include "document/MapColoring.h"
#include "platform/InputFiles.h"
#include "render/MapPicture.h"
#include "render/MapPictureFile.h"
#include "render/RenderSession.h"
#include "render/RoundScenes.h"

#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

namespace {

using namespace tessaro;

constexpr int Dpi = 300;

// The counties filled by value in quantile classes, each county's value its record number.
struct Counties {
    CRenderSession Session;
    CPolygonLayer Layer;
    MapScene Scene;

    Counties()
    {
        Layer = *ReadRoundLayer(std::string(TESSARO_SOURCE_DIR) + "/examples/us_counties/us_counties.shp");
        Scene.Result = &Layer;
        Scene.Style.Fill = MapStyle::FillMode::ByValue;
        Scene.Style.Background = {255, 255, 255};
        Scene.Style.OutlineWidth = 0.5;
        for (uint32_t i = 0; i < Layer.Count(); ++i) {
            Scene.Measures.Values.push_back(i);
            Scene.Measures.Deviations.push_back(0.0);
        }
        Scene.Measures.ValueName = "Record";
        Scene.Coloring = MapColoring::Make(Scene.Style, Scene.Measures, Layer.Count());
    }
};

const Counties& LoadCounties()
{
    static const Counties counties;
    return counties;
}

void BM_DrawCountiesAt300Dpi(benchmark::State& state)
{
    const Counties& counties = LoadCounties();
    for (auto _ : state) {
        const CMapPicture picture(counties.Scene);
        const int width = static_cast<int>(picture.PageSize().width() * Dpi / 72.0);
        const int height = static_cast<int>(picture.PageSize().height() * Dpi / 72.0);
        QImage image(width, height, QImage::Format_RGB32);
        QPainter painter(&image);
        picture.Draw(painter, QRectF(0, 0, width, height));
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["polygons"] = counties.Layer.Count();
}
BENCHMARK(BM_DrawCountiesAt300Dpi)->Unit(benchmark::kMillisecond);

void BM_WriteCountiesPngAt300Dpi(benchmark::State& state)
{
    const Counties& counties = LoadCounties();
    const std::string path = (std::filesystem::temp_directory_path() / "tessaro-counties-bench.png").string();
    const CInputFiles none;
    for (auto _ : state) {
        const CMapPicture picture(counties.Scene);
        if (WriteMapPicture(picture, path, {std::nullopt, Dpi}, none))
            state.SkipWithError("the picture could not be written");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_WriteCountiesPngAt300Dpi)->Unit(benchmark::kMillisecond);

} // namespace
