#include "engine/ParallelWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace tessaro {
namespace {

TEST(ParallelWorkers, ChunksAreContiguousCeilingSizedAndNeverPassTheEnd)
{
    const std::pair<std::pair<size_t, size_t>, std::vector<size_t>> sizes[] = {
        {{10, 4}, {3, 3, 3, 1}}, {{5, 4}, {2, 2, 1, 0}}, {{0, 3}, {0, 0, 0}}, {{7, 1}, {7}}};
    for (const auto& [split, counts] : sizes) {
        std::vector<size_t> actual;
        for (const CWorkChunk& chunk : SplitIntoChunks(split.first, split.second))
            actual.push_back(chunk.Count);
        EXPECT_EQ(actual, counts) << split.first << " items, " << split.second << " workers";
    }
    for (size_t n : {1u, 9u, 100u, 1001u})
        for (size_t workers : {1u, 2u, 3u, 8u, 13u}) {
            size_t next = 0;
            for (const CWorkChunk& chunk : SplitIntoChunks(n, workers)) {
                EXPECT_TRUE(chunk.Count == 0 || chunk.Begin == next) << n << " items, " << workers << " workers";
                next = chunk.Begin + chunk.Count;
            }
            EXPECT_EQ(next, n) << n << " items, " << workers << " workers";
        }
}

TEST(ParallelWorkers, RunsEveryWorkerOnceAndRethrowsAWorkersFailureAfterAllFinished)
{
    std::vector<int> seen(6, 0);
    RunWorkers(seen.size(), [&](size_t w) { seen[w] += 1; });
    EXPECT_EQ(seen, std::vector<int>(6, 1));
    std::atomic<int> finished{0};
    const auto body = [&](size_t w) {
        if (w == 1)
            throw std::runtime_error("kernel failed");
        ++finished;
    };
    EXPECT_THROW(RunWorkers(4, body), std::runtime_error);
    EXPECT_EQ(finished.load(), 3);
    // One worker is the calling thread: no thread to start for a sequential step.
    std::thread::id ran;
    RunWorkers(1, [&](size_t) { ran = std::this_thread::get_id(); });
    EXPECT_EQ(ran, std::this_thread::get_id());
    EXPECT_EQ(WorkersFor(1000, 256, 8), 3u);
    EXPECT_EQ(WorkersFor(100, 256, 8), 1u);
    EXPECT_EQ(WorkersFor(100000, 256, 0), 1u);
}

TEST(ParallelWorkers, BothTasksRunSideBySideWithThreadsAndInOrderWithout)
{
    // Side by side: each sees the other start while it waits (for a while at most, so that tasks
    // run one after the other fail rather than hang).
    std::atomic<int> started{0};
    std::atomic<int> met{0};
    const auto meet = [&] {
        ++started;
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (started.load() < 2 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        met += started.load() == 2 ? 1 : 0;
    };
    RunBoth(2, meet, meet);
    EXPECT_EQ(met.load(), 2);

    std::vector<int> order;
    RunBoth(
        1, [&] { order.push_back(1); }, [&] { order.push_back(2); });
    EXPECT_EQ(order, (std::vector<int>{1, 2}));

    std::atomic<bool> firstFinished{false};
    EXPECT_THROW(RunBoth(
                     2,
                     [&] {
                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                         firstFinished = true;
                     },
                     [] { throw std::runtime_error("second failed"); }),
                 std::runtime_error);
    EXPECT_TRUE(firstFinished.load());
}

} // namespace
} // namespace tessaro
