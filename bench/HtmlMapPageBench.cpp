// Writing the web page of the US counties from a scene already made: the page's text and the
// file. The scene pairs the counties as read with a stand-in result: every ring densified to
// about 3 times its vertices (a converged run leaves 2.2 times) and bent by a smooth map, so
// that each ring's two keyframes are matched by arc length as for a real result.
#include "geodata/RecordNames.h"
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/SilentUserInterface.h"
#include "render/HtmlMapPage.h"
#include "render/MapScene.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace tessaro;

const std::string Counties = std::string(TESSARO_SOURCE_DIR) + "/examples/us_counties/us_counties";

CPolygonLayer ReadCounties()
{
    InstallUserInterface(std::make_unique<CSilentUserInterface>(false));
    CNetwork network;
    network.SetKeyMode(KeyByCoordinates);
    CShpFileTranslator reader(network);
    reader.ReadShapeFile(Counties + ".shp", -1);
    InstallUserInterface(nullptr);
    return network.TakePolygonLayer();
}

// The layer densified and bent: x and y move by a few per cent of the map's size.
CPolygonLayer StandInResult(const CPolygonLayer& input)
{
    CPolygonLayer result = input.Copy();
    const CExtent box = input.BoundingBox();
    const double size = box.Width();
    for (CSimplePolygon* polygon : result.Polygons())
        for (int32_t r = 0; r < polygon->RingCount(); ++r) {
            CPolygonRing& ring = polygon->Ring(r);
            ring.DensifyByDistance(ring.Perimeter() / (3.0 * ring.PointCount()));
            std::vector<double> points(ring.Points(), ring.Points() + 2 * ring.PointCount());
            for (size_t k = 0; k < points.size(); k += 2) {
                const double u = (points[k] - box.MinX) / size, v = (points[k + 1] - box.MinY) / size;
                points[k] += 0.04 * size * std::sin(6.0 * v);
                points[k + 1] += 0.04 * size * std::cos(5.0 * u);
            }
            ring.SetPoints(ring.PointCount(), points.data(), true);
        }
    return result;
}

void BM_WriteCountiesWebPage(benchmark::State& state)
{
    const CPolygonLayer input = ReadCounties();
    const CPolygonLayer result = StandInResult(input);
    MapScene scene;
    scene.Input = &input;
    scene.Result = &result;
    if (const auto names = ReadRecordNames(Counties + ".dbf"))
        scene.Names = names->Names;
    scene.Names.resize(input.Count());
    scene.Title = "US counties";
    const std::string path = (std::filesystem::temp_directory_path() / "tessaro-bench-counties.html").string();
    size_t bytes = 0;
    for (auto _ : state) {
        const CHtmlMapPage page(scene);
        bytes = page.Text().size();
        benchmark::DoNotOptimize(page.Write(path));
    }
    std::remove(path.c_str());
    state.counters["MB"] = static_cast<double>(bytes) / 1e6;
}

BENCHMARK(BM_WriteCountiesWebPage)->Unit(benchmark::kMillisecond);

} // namespace
