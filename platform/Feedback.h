#pragma once

#include <atomic>

namespace tessaro {

// The nullable feedback object of long work: the caller may cancel from any thread, and the
// work polls IsCancelled between its steps and inside its parallel chunks, then stops at the
// next point where everything it has written is complete. Derived classes add progress reports.
class CFeedback {
public:
    CFeedback() = default;
    virtual ~CFeedback() = default;
    CFeedback(const CFeedback&) = delete;
    CFeedback& operator=(const CFeedback&) = delete;

    void Cancel() { Cancelled_.store(true, std::memory_order_relaxed); }
    bool IsCancelled() const { return Cancelled_.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> Cancelled_{false};
};

// For work that takes an optional feedback: true once it asks to stop.
inline bool Cancelled(const CFeedback* feedback) { return feedback != nullptr && feedback->IsCancelled(); }

} // namespace tessaro
