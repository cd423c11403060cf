#pragma once

#include <atomic>

namespace prq {

// A lock its holder may take again (a destination's own reports re-enter it), for locks that every
// log line takes: uncontended, taking it is one compare-and-swap and releasing it one exchange,
// both on the lock's own memory, where a recursive pthread mutex costs several times that. Waiters
// sleep in the kernel; the releasing thread wakes one only when someone waits.
class RecursiveLock {
public:
    void lock() {
        const void* self = &threadMark;
        if (owner_.load(std::memory_order_relaxed) == self) {  // only this thread ever stores its own mark
            ++depth_;
            return;
        }
        int expected = unlocked;
        if (!state_.compare_exchange_strong(expected, locked, std::memory_order_acquire, std::memory_order_relaxed)) {
            lockAfterWaiting();
        }
        owner_.store(self, std::memory_order_relaxed);
        depth_ = 1;
    }

    void unlock() {
        if (--depth_ > 0) return;
        owner_.store(nullptr, std::memory_order_relaxed);
        if (state_.exchange(unlocked, std::memory_order_release) == lockedWithWaiters) state_.notify_one();
    }

private:
    static constexpr int unlocked = 0, locked = 1, lockedWithWaiters = 2;
    static inline thread_local const char threadMark = 0;

    // Marks the lock as waited for, so that its release wakes someone, until it is ours.
    void lockAfterWaiting() {
        while (state_.exchange(lockedWithWaiters, std::memory_order_acquire) != unlocked) state_.wait(lockedWithWaiters);
    }

    std::atomic<int> state_{unlocked};
    std::atomic<const void*> owner_{nullptr};
    unsigned depth_ = 0;  // touched only by the holder
};

}  // namespace prq
