#include "platform/ThreadPriorityGuard.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace tessaro {
namespace {

// Runs the checks in a thread of their own, so the test runner's thread keeps its priority
// whatever happens.
template <typename Body>
void InOwnThread(Body body)
{
    std::thread worker(body);
    worker.join();
}

TEST(ThreadPriorityGuard, LowersTheCallingThreadAndRestoresItOnScopeExit)
{
    InOwnThread([] {
        const int before = CThreadPriorityGuard::CurrentNice();
        {
            CThreadPriorityGuard guard;
            if (guard.Lowered())
                EXPECT_GT(CThreadPriorityGuard::CurrentNice(), before);
            else
                EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), before);
        }
        EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), before);
    });
}

TEST(ThreadPriorityGuard, RestoresWhenAnExceptionLeavesTheScope)
{
    InOwnThread([] {
        const int before = CThreadPriorityGuard::CurrentNice();
        try {
            CThreadPriorityGuard guard;
            throw std::runtime_error("file error");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), before);
    });
}

TEST(ThreadPriorityGuard, AffectsOnlyTheCallingThread)
{
    const id_t starter = static_cast<id_t>(::syscall(SYS_gettid));
    const int starterNice = CThreadPriorityGuard::CurrentNice();
    InOwnThread([starter, starterNice] {
        CThreadPriorityGuard guard;
        errno = 0;
        const int seen = ::getpriority(PRIO_PROCESS, starter);
        ASSERT_EQ(errno, 0);
        EXPECT_EQ(seen, starterNice);
    });
    EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), starterNice);
}

} // namespace
} // namespace tessaro
