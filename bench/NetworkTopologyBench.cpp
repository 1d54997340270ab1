// Times the topology pass (node merging and the ordered node list) on random networks.
#include "network/Network.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <string>

namespace tessaro {
namespace {

// Shapefile-like network: arcs between random points of a grid with twice as many points as
// arc ends, so that about one end in five lands on a node already there.
void AddRandomArcs(CNetwork& network, int64_t chains, std::mt19937& random)
{
    const auto side = static_cast<int64_t>(std::sqrt(4.0 * static_cast<double>(chains)));
    std::uniform_int_distribution<int64_t> coordinate(0, side);
    for (int64_t i = 0; i < chains; ++i) {
        const double points[] = {static_cast<double>(coordinate(random)), static_cast<double>(coordinate(random)),
                                 static_cast<double>(coordinate(random)), static_cast<double>(coordinate(random))};
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(2, points);
        network.AddChain(std::move(chain));
    }
}

// Translator-like network: chains between random names drawn from half as many names as chains
// (X is used by mode 3 only).
void AddRandomNamedChains(CNetwork& network, int64_t chains, std::mt19937& random)
{
    std::uniform_int_distribution<int64_t> name(0, chains / 2);
    std::uniform_real_distribution<double> x(-100.0, 100.0);
    auto makeNode = [&] {
        auto node = std::make_unique<CNetworkNode>();
        node->SetXY(x(random), 0.0);
        node->SetName("AUTHOR " + std::to_string(name(random)));
        return node;
    };
    for (int64_t i = 0; i < chains; ++i) {
        auto from = makeNode();
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetFreshEnds(std::move(from), makeNode());
        network.AddChain(std::move(chain));
    }
}

void BuildTopology(benchmark::State& state, uint32_t mode)
{
    const int64_t chains = state.range(0);
    std::mt19937 random(12345);
    for (auto _ : state) {
        state.PauseTiming();
        auto network = std::make_unique<CNetwork>();
        network->SetKeyMode(static_cast<NetworkKeyMode>(mode));
        if (mode == KeyByCoordinates) {
            AddRandomArcs(*network, chains, random);
        } else {
            AddRandomNamedChains(*network, chains, random);
        }
        state.ResumeTiming();

        network->BuildTopology();

        state.PauseTiming();
        state.counters["nodes"] = network->NodeCount();
        network.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * chains);
}

void BM_BuildTopologyByCoordinates(benchmark::State& state)
{
    BuildTopology(state, KeyByCoordinates);
}

void BM_BuildTopologyByName(benchmark::State& state)
{
    BuildTopology(state, KeyByName);
}

void BM_BuildTopologyByNameOrderedByX(benchmark::State& state)
{
    BuildTopology(state, KeyByNameOrderByX);
}

BENCHMARK(BM_BuildTopologyByCoordinates)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildTopologyByName)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildTopologyByNameOrderedByX)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tessaro
