// Times the round's quadtree steps on about 100,000 vertices laid out like a map's rings:
// the depth-6 build, and the vertex transformation on one thread and on two.
#include "engine/QuadTree.h"
#include "engine/QuadTreeTransformer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

using namespace tessaro;

constexpr int RingCount = 300;
constexpr int VerticesPerRing = 334;
constexpr int TreeDepth = 6;

// Closed clockwise rings of varied size and wobble over a 1000 x 600 extent: dense where the
// rings are, empty between them, as a real map's vertex buffer is.
const std::vector<double>& MapVertices()
{
    static const std::vector<double> points = [] {
        std::mt19937 random(2024);
        std::uniform_real_distribution<double> cx(60.0, 940.0), cy(40.0, 560.0), radius(4.0, 60.0), phase(0.0, 6.3);
        std::vector<double> flat;
        flat.reserve(2 * RingCount * VerticesPerRing);
        for (int r = 0; r < RingCount; ++r) {
            const double x0 = cx(random), y0 = cy(random), rad = radius(random), shift = phase(random);
            for (int k = 0; k < VerticesPerRing; ++k) {
                const double angle = -2.0 * std::numbers::pi * (k % (VerticesPerRing - 1)) / (VerticesPerRing - 1);
                const double wobble = 1.0 + 0.25 * std::sin(7.0 * angle + shift) + 0.1 * std::sin(23.0 * angle);
                flat.push_back(x0 + rad * wobble * std::cos(angle));
                flat.push_back(y0 + rad * wobble * std::sin(angle));
            }
        }
        return flat;
    }();
    return points;
}

int VertexCount()
{
    return static_cast<int>(MapVertices().size() / 2);
}

// The data extent enlarged by 4 % on every side, as the run lays its tree.
CTreeRect MapRect()
{
    return {-40.0, 624.0, 1040.0, -24.0};
}

void BuildTree(CQuadTree& tree)
{
    CTreeRect rect = MapRect();
    tree.Clear();
    tree.BuildForPoints(rect, TreeDepth, VertexCount(), MapVertices().data());
}

void BM_QuadTreeBuild(benchmark::State& state)
{
    CQuadTree tree;
    for (auto _ : state) {
        BuildTree(tree);
        benchmark::DoNotOptimize(tree.NextVertexId);
    }
    state.counters["grid_vertices"] = tree.NextVertexId;
    state.SetItemsProcessed(state.iterations() * VertexCount());
}
BENCHMARK(BM_QuadTreeBuild)->Unit(benchmark::kMillisecond);

// A smooth displaced grid in map 1, so every leaf needs its own matrices.
CQuadTree& DeformedTree()
{
    static CQuadTree tree;
    static const bool ready = [] {
        BuildTree(tree);
        tree.DuplicateMap(true);
        std::vector<double> grid;
        tree.CollectPoints(grid, 0);
        for (size_t k = 0; k < grid.size(); k += 2) {
            const double x = grid[k], y = grid[k + 1];
            grid[k] += 8.0 * std::sin(x / 90.0) * std::cos(y / 70.0);
            grid[k + 1] += 8.0 * std::cos(x / 60.0) * std::sin(y / 110.0);
        }
        tree.StorePoints(grid, 1);
        return true;
    }();
    (void)ready;
    return tree;
}

void BM_TransformVertices(benchmark::State& state)
{
    const int threads = static_cast<int>(state.range(0));
    const CTransformOptions options{.UseCache = state.range(1) != 0, .Threads = threads};
    CQuadTreeTransformer transformer(&DeformedTree());
    const std::vector<double>& in = MapVertices();
    std::vector<double> out(in.size());
    for (auto _ : state) {
        state.PauseTiming();
        out = in;
        state.ResumeTiming();
        const bool ok = threads < 2
                            ? transformer.TransformVertices(in.data(), VertexCount(), out.data(), options)
                            : transformer.TransformVerticesParallel(in.data(), VertexCount(), out.data(), options);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * VertexCount());
}

// Arguments: threads, leaf cache on (1) or off (0). The run uses the cache; the cache-off rows
// show what sharing it costs the workers.
BENCHMARK(BM_TransformVertices)
    ->ArgNames({"threads", "cache"})
    ->Args({1, 1})
    ->Args({2, 1})
    ->Args({1, 0})
    ->Args({2, 0})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
