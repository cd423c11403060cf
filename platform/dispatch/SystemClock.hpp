#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/ScheduledWork.hpp"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

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
    void timerLoop();

    std::mutex mutex_;
    std::condition_variable wake_;
    ScheduledWork entries_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace platform::dispatch
