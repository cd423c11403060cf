#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"

namespace platform::crashreporting {

// Where finished events go: the crash-reporting service's endpoint for a DSN, or a recorder in tests.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Takes one event; must return quickly (a sink that sends does so in the background).
    virtual void send(Event event) = 0;
};

}  // namespace platform::crashreporting
