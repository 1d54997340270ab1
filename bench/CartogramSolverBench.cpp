// The cartogram's rounds alone, on a map made in memory: no file is read or written, so the
// figures are the engine's. A grid of n x n square "counties" with sizes from a log-normal
// draw, as skewed as populations are.
#include "engine/CartogramSolver.h"
#include "engine/QuadTree.h"
#include "geometry/PolygonLayer.h"

#include <benchmark/benchmark.h>

#include <numeric>
#include <random>

namespace {

using namespace tessaro;

CPolygonLayer SquareGrid(int n)
{
    CPolygonLayer layer;
    for (int row = 0; row < n; ++row)
        for (int column = 0; column < n; ++column) {
            const double x = column * 1000.0, y = row * 1000.0;
            const double points[] = {x, y, x, y + 1000, x + 1000, y + 1000, x + 1000, y, x, y};
            auto ring = std::make_unique<CPolygonRing>();
            ring->SetPoints(5, points, true);
            auto polygon = std::make_unique<CSimplePolygon>();
            polygon->AddRing(std::move(ring));
            layer.Add(std::move(polygon));
        }
    return layer;
}

std::vector<double> SkewedShares(size_t count)
{
    std::mt19937 random(7);
    std::lognormal_distribution<double> size(10.0, 1.5);
    std::vector<double> shares(count);
    for (double& share : shares)
        share = size(random);
    const double sum = std::accumulate(shares.begin(), shares.end(), 0.0);
    for (double& share : shares)
        share /= sum;
    return shares;
}

// Four rounds at the default parameters; arguments: grid side, threads.
void FourRounds(benchmark::State& state)
{
    const int side = static_cast<int>(state.range(0));
    const std::vector<double> shares = SkewedShares(static_cast<size_t>(side * side));
    CartoParams params;
    params.ThreadCount = static_cast<int32_t>(state.range(1));
    params.StopWhenErrorRises = false;
    for (auto _ : state) {
        state.PauseTiming();
        CPolygonLayer layer = SquareGrid(side);
        CQuadTree tree;
        state.ResumeTiming();
        CCartogramSolver solver(layer, tree, params, shares, layer.BoundingBox());
        benchmark::DoNotOptimize(solver.Solve().RoundsTransformed);
    }
    state.SetLabel(std::to_string(side * side) + " polygons");
}
BENCHMARK(FourRounds)->Args({7, 1})->Args({7, 2})->Args({30, 1})->Args({30, 2})->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
