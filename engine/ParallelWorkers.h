#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace tessaro {

// One worker's contiguous share of n items.
struct CWorkChunk {
    size_t Begin = 0;
    size_t Count = 0;
};

// Splits n items among `workers` workers: each takes c = ceil(n / workers) items from
// w * c on, the last the rest; a chunk never reaches past item n - 1, so late workers may get
// none. Combining per-worker results in chunk order gives the sequential order, which keeps
// results independent of the thread count.
std::vector<CWorkChunk> SplitIntoChunks(size_t n, size_t workers);

// The processor count, at least 1: the default thread count.
int ProcessorCount();

// The workers for n items of which each worker should have at least minPerWorker: from 1 to
// `threads` (taken as at least 1).
size_t WorkersFor(size_t n, size_t minPerWorker, int threads);

// Runs body(w) for w = 0 .. count-1, each on its own thread at below-normal priority and with
// the starting thread's user-interface route, and returns when all have finished; a single worker
// runs on the calling thread. If a thread cannot be started, or a worker throws, the first such
// exception is rethrown after every started worker has been joined.
void RunWorkers(size_t count, const std::function<void(size_t worker)>& body);

// Runs visit(worker, item) for every item of every chunk, chunk w's items in order on worker w.
template <typename Visit> void RunChunks(const std::vector<CWorkChunk>& chunks, Visit&& visit)
{
    RunWorkers(chunks.size(), [&](size_t w) {
        for (size_t i = chunks[w].Begin; i < chunks[w].Begin + chunks[w].Count; ++i)
            visit(w, i);
    });
}

// Deals n items out in turn among the workers for n (WorkersFor with minPerWorker): worker w
// takes items w, w + workers, ... with a state of its own from makeState(), so runs of alike
// items (neighbouring records are often alike in size) are shared out. Returns the sum of
// count(state, item) over all items.
template <typename MakeState, typename Count>
int64_t SumDealtOut(size_t n, size_t minPerWorker, int threads, MakeState&& makeState, Count&& count)
{
    const size_t workers = WorkersFor(n, minPerWorker, threads);
    std::vector<int64_t> sums(workers, 0);
    RunWorkers(workers, [&](size_t w) {
        auto state = makeState();
        for (size_t i = w; i < n; i += workers)
            sums[w] += count(state, i);
    });
    int64_t total = 0;
    for (const int64_t sum : sums)
        total += sum;
    return total;
}

// Runs two independent tasks side by side when `threads` allows two, else one after the other;
// returns when both have finished, and rethrows as RunWorkers does.
void RunBoth(int threads, const std::function<void()>& first, const std::function<void()>& second);

} // namespace tessaro
