#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"
#include "platform/dispatch/Clock.hpp"

namespace platform::crashreporting {

// Where finished events go: the crash-reporting service's endpoint for a DSN, or a recorder in tests.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Takes one event; must return quickly (a sink that sends does so in the background).
    virtual void send(Event event) = 0;
    // Waits until every event sent so far has been delivered or given up, but no longer than
    // `timeout`; false when some were still travelling then.
    virtual bool flush(dispatch::Duration) { return true; }
};

}  // namespace platform::crashreporting
