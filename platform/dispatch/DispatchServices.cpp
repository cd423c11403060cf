#include "platform/dispatch/DispatchServices.hpp"

#include "platform/ServiceProviders.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/SystemClock.hpp"

namespace platform::dispatch {

void provideServices(ServiceProviders& providers) {
    providers.clock = [] { return SystemClock::shared(); };
    providers.mainQueue = [] { return MainQueue::shared(); };
    providers.wallNow = &SystemClock::currentWallTime;
}

}  // namespace platform::dispatch
