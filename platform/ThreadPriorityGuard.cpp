#include "platform/ThreadPriorityGuard.h"

#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace tessaro {
namespace {

id_t CallingThreadId() { return static_cast<id_t>(::syscall(SYS_gettid)); }

// Whether this process may set a thread back to the given nice value after raising it.
bool MayRestoreNice(int nice)
{
    if (::geteuid() == 0)
        return true;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NICE, &limit) != 0)
        return false;
    // RLIMIT_NICE holds the lowest permitted nice value as 20 - limit.
    const long ceiling = 20 - static_cast<long>(limit.rlim_cur);
    return limit.rlim_cur == RLIM_INFINITY || nice >= ceiling;
}

} // namespace

int CThreadPriorityGuard::CurrentNice()
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, CallingThreadId());
    return errno == 0 ? nice : 0;
}

CThreadPriorityGuard::CThreadPriorityGuard()
{
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, CallingThreadId());
    if (errno != 0 || !MayRestoreNice(nice))
        return;
    OriginalNice_ = nice;
    const int lowered = std::min(19, nice + BelowNormalStep);
    Lowered_ = ::setpriority(PRIO_PROCESS, CallingThreadId(), lowered) == 0;
}

CThreadPriorityGuard::~CThreadPriorityGuard()
{
    if (Lowered_)
        ::setpriority(PRIO_PROCESS, CallingThreadId(), OriginalNice_);
}

} // namespace tessaro
