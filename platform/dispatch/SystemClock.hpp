#pragma once

#include "platform/dispatch/Clock.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace platform::dispatch {

// Real time; one background thread fires scheduled work when it falls due.
class SystemClock final : public Clock {
public:
    SystemClock();
    ~SystemClock() override;
    SystemClock(const SystemClock&) = delete;
    SystemClock& operator=(const SystemClock&) = delete;

    static std::shared_ptr<SystemClock> shared();

    TimePoint now() const override;
    WallTime wallNow() const override;
    // The calendar time, without needing the shared clock object.
    static WallTime currentWallTime();
    void schedule(TimePoint due, std::function<void()> fire) override;

private:
    struct Entry {
        TimePoint due;
        unsigned long long sequence;
        std::function<void()> fire;
        bool operator>(const Entry& other) const {
            return due != other.due ? due > other.due : sequence > other.sequence;
        }
    };

    void timerLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> entries_;
    unsigned long long nextSequence_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace platform::dispatch
