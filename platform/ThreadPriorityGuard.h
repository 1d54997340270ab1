#pragma once

namespace tessaro {

// Lowers the calling thread to below-normal scheduling priority for the guard's lifetime and
// restores the previous priority on every way out (return, exception).
//
// Linux lets an unprivileged thread raise its nice value but not lower it again, so the guard
// only lowers the priority when it will be allowed to restore it (root, CAP_SYS_NICE, or a
// RLIMIT_NICE that permits the old value); otherwise it leaves the priority as it is.
class CThreadPriorityGuard {
public:
    // Nice increment that stands for "below normal".
    static constexpr int BelowNormalStep = 5;

    CThreadPriorityGuard();
    ~CThreadPriorityGuard();
    CThreadPriorityGuard(const CThreadPriorityGuard&) = delete;
    CThreadPriorityGuard& operator=(const CThreadPriorityGuard&) = delete;

    // True when the priority was lowered and will be restored.
    bool Lowered() const { return Lowered_; }

    // The calling thread's nice value.
    static int CurrentNice();

private:
    int OriginalNice_ = 0;
    bool Lowered_ = false;
};

} // namespace tessaro
