#include "engine/PointDisplacementTransformer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace tessaro;

// A map-like field: 500 circles of 16 points (8,000 control vectors) clustered around a few
// "regions" with radii from small islands to large provinces, over a 63 x 63 grid (3,969
// vertices), the size of a depth-6 quadtree's grid.
struct CDisplacementScene {
    CPointDisplacementTransformer Transformer;
    std::vector<double> Grid;
    std::vector<double> Out;

    CDisplacementScene()
    {
        std::mt19937 random(2024);
        std::uniform_real_distribution<double> region(100.0, 900.0);
        std::normal_distribution<double> spread(0.0, 60.0);
        std::lognormal_distribution<double> radius(2.0, 0.7);
        std::uniform_real_distribution<double> ratio(0.5, 2.0);
        std::vector<double> sources, targets, centres;
        double rx = 0.0, ry = 0.0;
        for (int c = 0; c < 500; ++c) {
            if (c % 25 == 0) {
                rx = region(random);
                ry = region(random);
            }
            const double cx = rx + spread(random), cy = ry + spread(random);
            const double r = radius(random), factor = ratio(random);
            for (int k = 0; k < 16; ++k) {
                const double angle = 2.0 * std::numbers::pi * k / 16;
                const double x = cx + r * std::cos(angle), y = cy + r * std::sin(angle);
                sources.insert(sources.end(), {x, y});
                targets.insert(targets.end(), {cx + (x - cx) * factor, cy + (y - cy) * factor});
                centres.insert(centres.end(), {cx, cy});
            }
        }
        const auto n = static_cast<int32_t>(sources.size() / 2);
        Transformer.SetControlVectors(n, sources.data(), targets.data());
        Transformer.SetCentres(n, centres.data());
        Transformer.Precompute(-1.0);
        for (int i = 0; i < 63; ++i)
            for (int j = 0; j < 63; ++j)
                Grid.insert(Grid.end(), {i * 1000.0 / 62, j * 1000.0 / 62});
        Out.resize(Grid.size());
    }
    int32_t GridCount() const { return static_cast<int32_t>(Grid.size() / 2); }
};

CDisplacementScene& Scene()
{
    static CDisplacementScene scene;
    return scene;
}

void BM_DisplaceAll(benchmark::State& state)
{
    CDisplacementScene& scene = Scene();
    const auto force = static_cast<ForceDecay>(state.range(0));
    for (auto _ : state) {
        scene.Transformer.DisplaceAll(scene.GridCount(), scene.Grid.data(), scene.Out.data(), force, 1.05, -1.0,
                                      ElasticityMeasure::Jacobian);
        benchmark::DoNotOptimize(scene.Out.data());
    }
    state.SetItemsProcessed(state.iterations() * scene.GridCount());
}

void BM_DisplaceAllParallel(benchmark::State& state)
{
    CDisplacementScene& scene = Scene();
    const auto force = static_cast<ForceDecay>(state.range(0));
    const auto threads = static_cast<int32_t>(state.range(1));
    for (auto _ : state) {
        DisplaceAllParallel(scene.Transformer, scene.GridCount(), scene.Grid.data(), scene.Out.data(), threads, force,
                            1.05, -1.0, ElasticityMeasure::Jacobian);
        benchmark::DoNotOptimize(scene.Out.data());
    }
    state.SetItemsProcessed(state.iterations() * scene.GridCount());
}

} // namespace

// Argument 0: force type (0 exponential, 1 directional).
BENCHMARK(BM_DisplaceAll)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DisplaceAllParallel)->Args({0, 2})->Args({1, 2})->Unit(benchmark::kMillisecond)->UseRealTime();
