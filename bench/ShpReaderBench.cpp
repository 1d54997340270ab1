// Reading the shipped example shapefiles: one file read into one buffer, parsed from memory.
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/SilentUserInterface.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tessaro;

void ReadExample(benchmark::State& state, const std::string& name)
{
    InstallUserInterface(std::make_unique<CSilentUserInterface>(false));
    const std::string path = std::string(TESSARO_SOURCE_DIR) + "/examples/" + name;
    for (auto _ : state) {
        CNetwork network;
        network.SetKeyMode(KeyByCoordinates);
        CShpFileTranslator reader(network);
        benchmark::DoNotOptimize(reader.ReadShapeFile(path, -1));
        benchmark::DoNotOptimize(network.PolygonCount() + network.ChainCount());
    }
    InstallUserInterface(nullptr);
}

void BM_ReadUsStatesPolygons(benchmark::State& state) { ReadExample(state, "us_states/us_states.shp"); }
void BM_ReadLondonTubeLinesWithTopology(benchmark::State& state) { ReadExample(state, "london_tube/london_tube.shp"); }
void BM_ReadUsAirportsPoints(benchmark::State& state) { ReadExample(state, "us_airports/us_airports.shp"); }

BENCHMARK(BM_ReadUsStatesPolygons)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadLondonTubeLinesWithTopology)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadUsAirportsPoints)->Unit(benchmark::kMicrosecond);

} // namespace
