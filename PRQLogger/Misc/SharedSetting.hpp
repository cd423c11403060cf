#pragma once

#include "PRQLogger/Misc/ReadSection.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

namespace prq {

// A setting that log lines read, from any thread, and that configuration changes now and then.
// Each change publishes a new immutable value; readers inside a `ReadSection` take the current
// one without a lock, and the value it replaced is freed once no section can hold it.
template <class T>
class SharedSetting {
public:
    SharedSetting() : SharedSetting(T()) {}
    explicit SharedSetting(T initial) : held_(std::make_shared<const T>(std::move(initial))), current_(held_.get()) {}
    ~SharedSetting() { ReadSection::retire(std::move(held_)); }
    SharedSetting(const SharedSetting&) = delete;
    SharedSetting& operator=(const SharedSetting&) = delete;

    // The current value; it stays valid while `section` lasts.
    const T& in(const ReadSection&) const noexcept { return *current_.load(std::memory_order_acquire); }
    // A copy of the current value.
    T get() const {
        const ReadSection section;
        return in(section);
    }

    void set(T value) {
        replace([&] { return std::move(value); });
    }
    // Changes a copy of the current value and publishes it; changes never overtake each other.
    template <class Change>
    void update(Change&& change) {
        replace([&] {
            T next = *held_;
            std::forward<Change>(change)(next);
            return next;
        });
    }

private:
    template <class Make>
    void replace(Make&& make) {
        std::shared_ptr<const T> replaced;
        {
            const std::lock_guard lock(mutex_);
            replaced = std::exchange(held_, std::make_shared<const T>(std::forward<Make>(make)()));
            current_.store(held_.get(), std::memory_order_release);
        }
        // Outside the lock: freeing earlier values may run destructors that change settings.
        ReadSection::retire(std::move(replaced));
    }

    std::mutex mutex_;
    std::shared_ptr<const T> held_;  // the current value, owned; guarded by the mutex
    std::atomic<const T*> current_;
};

}  // namespace prq
