#pragma once

#include "platform/crashreporting/EventSink.hpp"

#include <mutex>
#include <vector>

namespace platform::crashreporting {

// Keeps every event it is sent, for tests to read back.
class RecordingSink final : public EventSink {
public:
    void send(Event event) override;
    std::vector<Event> events() const;

private:
    mutable std::mutex mutex_;
    std::vector<Event> events_;
};

}  // namespace platform::crashreporting
