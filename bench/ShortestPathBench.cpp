// Times the best-route search in its three modes on road-like grid networks.
#include "network/Network.h"
#include "network/ShortestPath.h"
#include "platform/SilentUserInterface.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace tessaro {
namespace {

// A side × side grid of crossings, each moved by up to 0.2 in x and y, joined to its right
// and upper neighbours by straight chains weighted by their length; loaded like a line
// shapefile (key mode 0) and put together by the topology pass.
struct CGrid {
    CNetwork Network;
    CNetworkNode* Corner = nullptr;   // crossing (0, 0)
    CNetworkNode* Opposite = nullptr; // crossing (side - 1, side - 1)
};

std::unique_ptr<CGrid> BuildGrid(int side)
{
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    std::vector<double> x(static_cast<size_t>(side) * side);
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        x[i] = static_cast<double>(i % side) + jitter(random);
        y[i] = static_cast<double>(i / side) + jitter(random);
    }
    auto grid = std::make_unique<CGrid>();
    grid->Network.SetKeyMode(KeyByCoordinates);
    auto join = [&](size_t a, size_t b) {
        const double points[] = {x[a], y[a], x[b], y[b]};
        auto chain = std::make_unique<CNetworkChain>();
        chain->SetPoints(2, points);
        grid->Network.AddChain(std::move(chain));
    };
    for (size_t i = 0; i < x.size(); ++i) {
        if (static_cast<int>(i % side) + 1 < side) {
            join(i, i + 1);
        }
        if (static_cast<int>(i / side) + 1 < side) {
            join(i, i + side);
        }
    }
    grid->Network.BuildTopology();
    grid->Network.ComputeChainLengths();
    for (const auto& node : grid->Network.Nodes()) {
        if (node->X() == x.front() && node->Y() == y.front()) {
            grid->Corner = node;
        }
        if (node->X() == x.back() && node->Y() == y.back()) {
            grid->Opposite = node;
        }
    }
    return grid;
}

// Grids are built once per size and kept for every benchmark that uses them.
CGrid& Grid(int side)
{
    static const bool silenced = [] {
        InstallUserInterface(std::make_unique<CSilentUserInterface>(false));
        return true;
    }();
    (void)silenced;
    static std::map<int, std::unique_ptr<CGrid>> grids;
    auto& grid = grids[side];
    if (!grid) {
        grid = BuildGrid(side);
    }
    return *grid;
}

int SettledCount(const CNetwork& network)
{
    int settled = 0;
    for (const auto& node : network.Nodes()) {
        settled += (node->Attribute().Flags & CNetworkNodeAttribute::FinishedFlag) != 0;
    }
    return settled;
}

// Args: mode, grid side, and for mode 3 the ring width as a fraction 1/n of the side. The
// route runs corner to opposite corner, about 1.41 sides; the whole grid lies within ±45° of
// it, so rings of a quarter side (destination in ring 5, cone ±11.25°) barely restrict the
// search, while rings of 1/8 and 1/16 side narrow the cone to a thin band round the diagonal.
void BM_Solve(benchmark::State& state)
{
    const int mode = static_cast<int>(state.range(0));
    const int side = static_cast<int>(state.range(1));
    const double circle = state.range(2) > 0 ? side / static_cast<double>(state.range(2)) : 0.0;
    CGrid& grid = Grid(side);
    CShortestPath engine(grid.Network);
    engine.SetOrigin(grid.Corner);
    engine.SetDestination(grid.Opposite);
    for (auto _ : state) {
        state.PauseTiming();
        engine.Initialize();
        state.ResumeTiming();
        engine.Solve(mode, circle);
    }
    state.counters["nodes"] = grid.Network.NodeCount();
    state.counters["MaxCandidates"] = engine.MaxCandidates();
    state.counters["settled"] = SettledCount(grid.Network);
    state.counters["distance"] = grid.Opposite->Attribute().Distance;
}

BENCHMARK(BM_Solve)
    ->ArgNames({"mode", "side", "rings"})
    ->Args({1, 100, 0}) // a full scan per settled node: quadratic, so the small grid only
    ->Args({2, 100, 0})
    ->Args({3, 100, 4})
    ->Args({2, 500, 0})
    ->Args({3, 500, 4})
    ->Args({3, 500, 8})
    ->Args({3, 500, 16})
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace tessaro
