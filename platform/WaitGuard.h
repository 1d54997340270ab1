#pragma once

namespace tessaro {

// Shows the wait indicator of the installed user interface for the guard's lifetime.
class CWaitGuard {
public:
    CWaitGuard();
    ~CWaitGuard();
    CWaitGuard(const CWaitGuard&) = delete;
    CWaitGuard& operator=(const CWaitGuard&) = delete;
};

} // namespace tessaro
