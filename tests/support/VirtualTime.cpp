#include "support/VirtualTime.hpp"

namespace corvantis::testing {

VirtualTime::VirtualTime() : VirtualTime(platform::Services{}) {}

VirtualTime::VirtualTime(platform::Services extra)
    : clock_(std::make_shared<platform::dispatch::VirtualClock>()),
      mainQueue_(platform::dispatch::MainQueue::make()),
      scope_(withTime(std::move(extra), clock_, mainQueue_)) {
    clock_->setDrainHook([queue = mainQueue_.get()] { queue->drain(); });
}

platform::Services VirtualTime::withTime(platform::Services services, std::shared_ptr<platform::dispatch::VirtualClock> clock,
                                         std::shared_ptr<platform::dispatch::MainQueue> queue) {
    services.clockOverride = std::move(clock);
    services.mainQueueOverride = std::move(queue);
    return services;
}

}  // namespace corvantis::testing
