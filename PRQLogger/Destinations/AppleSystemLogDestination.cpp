#include "PRQLogger/Destinations/AppleSystemLogDestination.hpp"

#include <syslog.h>

namespace prq {

AppleSystemLogDestination::AppleSystemLogDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseQueuedDestination(owner, std::move(identifier)) {
    BaseQueuedDestination::setShowDate(false);  // what lines show follows the stored switch
}

bool AppleSystemLogDestination::showDate() const {
    return false;
}

void AppleSystemLogDestination::setShowDate(bool) {}

void AppleSystemLogDestination::write(const std::string& message) {
    ::syslog(LOG_USER | LOG_NOTICE, "%s", message.c_str());
}

}  // namespace prq
