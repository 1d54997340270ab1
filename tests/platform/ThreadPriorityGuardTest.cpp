#include "platform/ThreadPriorityGuard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace tessaro {
namespace {

// Linux lets a thread lower its nice value again only as root or within RLIMIT_NICE (whose
// lowest permitted nice value is 20 - limit); judged here without the guard's own help.
bool MayRestoreNice(int nice)
{
    rlimit limit{};
    return ::geteuid() == 0 || (::getrlimit(RLIMIT_NICE, &limit) == 0 &&
                                (limit.rlim_cur == RLIM_INFINITY || nice >= 20 - static_cast<long>(limit.rlim_cur)));
}

// The checks run in a thread of their own, so the test runner's thread keeps its priority
// whatever happens; the guard is left once normally and once by an exception.
TEST(ThreadPriorityGuard, LowersOnlyTheCallingThreadAndRestoresItOnEveryWayOut)
{
    const id_t starter = static_cast<id_t>(::syscall(SYS_gettid));
    const int starterNice = CThreadPriorityGuard::CurrentNice();
    bool permitted = false;
    std::thread worker([&] {
        const int before = CThreadPriorityGuard::CurrentNice();
        permitted = MayRestoreNice(before);
        for (bool viaException : {false, true}) {
            try {
                CThreadPriorityGuard guard;
                EXPECT_EQ(guard.Lowered(), permitted);
                EXPECT_EQ(CThreadPriorityGuard::CurrentNice(),
                          permitted ? std::min(19, before + CThreadPriorityGuard::BelowNormalStep) : before);
                errno = 0;
                EXPECT_EQ(::getpriority(PRIO_PROCESS, starter), starterNice);
                EXPECT_EQ(errno, 0);
                if (viaException)
                    throw std::runtime_error("file error");
            } catch (const std::runtime_error&) {
            }
            EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), before) << (viaException ? "exception" : "scope end");
        }
    });
    worker.join();
    EXPECT_EQ(CThreadPriorityGuard::CurrentNice(), starterNice);
    if (!permitted)
        GTEST_SKIP() << "this process may not restore a raised nice value (not root, RLIMIT_NICE too low), so the "
                        "guard rightly left the priority alone and its lowering could not be tested";
}

} // namespace
} // namespace tessaro
