#include "engine/ParallelWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

namespace tessaro {
namespace {

std::vector<size_t> Counts(const std::vector<CWorkChunk>& chunks)
{
    std::vector<size_t> counts;
    for (const CWorkChunk& chunk : chunks)
        counts.push_back(chunk.Count);
    return counts;
}

TEST(ParallelWorkers, ChunksAreContiguousCeilingSizedAndNeverPassTheEnd)
{
    EXPECT_EQ(Counts(SplitIntoChunks(10, 4)), (std::vector<size_t>{3, 3, 3, 1}));
    EXPECT_EQ(Counts(SplitIntoChunks(5, 4)), (std::vector<size_t>{2, 2, 1, 0}));
    EXPECT_EQ(Counts(SplitIntoChunks(0, 3)), (std::vector<size_t>{0, 0, 0}));
    EXPECT_EQ(Counts(SplitIntoChunks(7, 1)), (std::vector<size_t>{7}));
    for (size_t n : {1u, 9u, 100u, 1001u}) {
        for (size_t workers : {1u, 2u, 3u, 8u, 13u}) {
            size_t next = 0;
            for (const CWorkChunk& chunk : SplitIntoChunks(n, workers)) {
                if (chunk.Count > 0) {
                    EXPECT_EQ(chunk.Begin, next) << n << " items, " << workers << " workers";
                }
                next = chunk.Begin + chunk.Count;
            }
            EXPECT_EQ(next, n) << n << " items, " << workers << " workers";
        }
    }
}

TEST(ParallelWorkers, RunsEveryWorkerOnceAndRethrowsAWorkersFailureAfterAllFinished)
{
    std::vector<int> seen(6, 0);
    RunWorkers(seen.size(), [&](size_t w) { seen[w] += 1; });
    EXPECT_EQ(seen, std::vector<int>(6, 1));

    std::atomic<int> finished{0};
    EXPECT_THROW(RunWorkers(4,
                            [&](size_t w) {
                                if (w == 1)
                                    throw std::runtime_error("kernel failed");
                                ++finished;
                            }),
                 std::runtime_error);
    EXPECT_EQ(finished.load(), 3);
}

} // namespace
} // namespace tessaro
