// Reading the shipped example shapefiles: one file read into one buffer, parsed from memory.
#include "geodata/ShpFileTranslator.h"
#include "network/Network.h"
#include "platform/UserInterface.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using namespace tessaro;

// Discards the readers' messages (the topology time of a line file) while timing.
class CQuietUserInterface : public CUserInterface {
public:
    void ShowMessage(const std::string&, MessageKind) override {}
    bool AskYesNo(const std::string&) override { return false; }
    std::optional<std::string> ChooseFileToOpen(const FileChooserOptions&) override { return std::nullopt; }
    std::optional<std::string> ChooseFileToSave(const FileChooserOptions&) override { return std::nullopt; }
    void BeginWait() override {}
    void EndWait() override {}
    void RefreshViews(const void*) override {}
};

void ReadExample(benchmark::State& state, const std::string& name)
{
    InstallUserInterface(std::make_unique<CQuietUserInterface>());
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
