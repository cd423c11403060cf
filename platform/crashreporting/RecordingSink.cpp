#include "platform/crashreporting/RecordingSink.hpp"

namespace platform::crashreporting {

void RecordingSink::send(Event event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<Event> RecordingSink::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

}  // namespace platform::crashreporting
