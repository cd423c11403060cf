#pragma once

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/VirtualClock.hpp"

#include <memory>

namespace corvantis::testing {

// Installs a virtual clock and a main queue that the test thread drains: `advance` runs the
// due timers and main-queue work in time order, as the application's run loop would.
class VirtualTime {
public:
    VirtualTime();
    explicit VirtualTime(platform::Services extra);

    platform::dispatch::VirtualClock& clock() { return *clock_; }
    platform::dispatch::MainQueue& mainQueue() { return *mainQueue_; }
    void advance(platform::dispatch::Duration amount) { clock_->advance(amount); }
    // Runs the main-queue work that is ready now.
    void runDue() { clock_->runDue(); }

private:
    static platform::Services withTime(platform::Services services, std::shared_ptr<platform::dispatch::VirtualClock> clock,
                                       std::shared_ptr<platform::dispatch::MainQueue> queue);

    std::shared_ptr<platform::dispatch::VirtualClock> clock_;
    std::shared_ptr<platform::dispatch::MainQueue> mainQueue_;
    platform::ScopedServices scope_;
};

}  // namespace corvantis::testing
