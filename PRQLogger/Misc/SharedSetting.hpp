#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace prq {

// A setting that every log line reads, from any thread, and that configuration changes now and
// then. Readers take no lock: each change publishes a new version and keeps the earlier ones
// until the setting itself goes, so a reference handed out stays valid for the owner's life.
// Settings change a handful of times in a run, which keeps the kept versions few.
template <class T>
class SharedSetting {
public:
    SharedSetting() { publish(); }
    explicit SharedSetting(T initial) { publish(std::move(initial)); }
    SharedSetting(const SharedSetting&) = delete;
    SharedSetting& operator=(const SharedSetting&) = delete;

    const T& get() const noexcept { return *current_.load(std::memory_order_acquire); }

    void set(T value) {
        std::lock_guard lock(mutex_);
        publish(std::move(value));
    }
    // The same, then `published` with the new version while no other change can overtake it:
    // for a second value derived from this one that must never disagree with it.
    template <class Published>
    void set(T value, Published&& published) {
        std::lock_guard lock(mutex_);
        publish(std::move(value));
        std::forward<Published>(published)(get());
    }

    // Changes a copy of the current version and publishes it; changes never overtake each other.
    template <class Change>
    void update(Change&& change) {
        std::lock_guard lock(mutex_);
        T next = get();
        std::forward<Change>(change)(next);
        publish(std::move(next));
    }

private:
    template <class... Value>
    void publish(Value&&... value) {
        versions_.push_back(std::make_unique<const T>(std::forward<Value>(value)...));
        current_.store(versions_.back().get(), std::memory_order_release);
    }

    std::mutex mutex_;
    std::vector<std::unique_ptr<const T>> versions_;
    std::atomic<const T*> current_{nullptr};
};

}  // namespace prq
