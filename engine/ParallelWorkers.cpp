#include "engine/ParallelWorkers.h"

#include "platform/ThreadPriorityGuard.h"
#include "platform/UserInterface.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <thread>

namespace tessaro {

std::vector<CWorkChunk> SplitIntoChunks(size_t n, size_t workers)
{
    std::vector<CWorkChunk> chunks(workers);
    if (workers == 0)
        return chunks;
    const auto size = static_cast<size_t>(std::ceil(static_cast<double>(n) / static_cast<double>(workers)));
    for (size_t w = 0; w < workers; ++w) {
        const size_t begin = std::min(n, w * size);
        const size_t end = w + 1 == workers ? n : std::min(n, begin + size);
        chunks[w] = {begin, end - begin};
    }
    return chunks;
}

int ProcessorCount()
{
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : static_cast<int>(processors);
}

size_t WorkersFor(size_t n, size_t minPerWorker, int threads)
{
    return std::clamp<size_t>(n / std::max<size_t>(1, minPerWorker), 1, static_cast<size_t>(std::max(1, threads)));
}

void RunWorkers(size_t count, const std::function<void(size_t worker)>& body)
{
    if (count == 1) {
        body(0);
        return;
    }
    std::vector<std::exception_ptr> failures(count);
    std::vector<std::thread> threads;
    threads.reserve(count);
    std::exception_ptr startFailure;
    // Workers talk to the user the way their starter does.
    CUserInterface* const route = ThreadUserInterface();
    try {
        for (size_t w = 0; w < count; ++w) {
            threads.emplace_back([&body, &failures, w, route] {
                try {
                    const CThreadUserInterfaceScope sameRoute(route);
                    CThreadPriorityGuard lowered;
                    body(w);
                } catch (...) {
                    failures[w] = std::current_exception();
                }
            });
        }
    } catch (...) {
        startFailure = std::current_exception();
    }
    for (std::thread& thread : threads)
        thread.join();
    if (startFailure)
        std::rethrow_exception(startFailure);
    for (const std::exception_ptr& failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

void RunBoth(int threads, const std::function<void()>& first, const std::function<void()>& second)
{
    if (threads < 2) {
        first();
        second();
        return;
    }
    RunWorkers(2, [&first, &second](size_t worker) { worker == 0 ? first() : second(); });
}

} // namespace tessaro
