#pragma once

#include <memory>
#include <mutex>
#include <utility>

namespace prq {

// A value that log lines read from any thread while configuration now and then changes it. Each
// change publishes a new immutable value; a reader takes the current one and holds it for as long
// as it needs, so a value lives until its last reader lets go, and a line shows the settings of
// one moment whole. One mutex orders taking and publishing; nothing else runs under it.
template <class T>
class Snapshot {
public:
    Snapshot() : Snapshot(T()) {}
    explicit Snapshot(T initial) : current_(std::make_shared<const T>(std::move(initial))) {}

    std::shared_ptr<const T> get() const {
        const std::lock_guard lock(mutex_);
        return current_;
    }

    void set(T value) { publish(std::make_shared<const T>(std::move(value))); }
    // Changes a copy of the current value and publishes it; changes never overtake each other.
    template <class Change>
    void update(Change&& change) {
        const std::lock_guard order(changing_);
        T next = *get();
        std::forward<Change>(change)(next);
        publish(std::make_shared<const T>(std::move(next)));
    }

private:
    void publish(std::shared_ptr<const T> next) {
        {
            const std::lock_guard lock(mutex_);
            current_.swap(next);
        }
        // `next` now holds the replaced value, let go of outside the lock: its destructor may log.
    }

    mutable std::mutex mutex_;
    std::mutex changing_;
    std::shared_ptr<const T> current_;  // guarded by `mutex_`
};

}  // namespace prq
