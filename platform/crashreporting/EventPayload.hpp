#pragma once

#include "platform/crashreporting/CrashReportTypes.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace platform::crashreporting {

// The event as the service's store endpoint takes it: id, time, level, message, extras,
// contexts, user and breadcrumbs, and which client sent it.
nlohmann::json eventPayload(const Event& event, const std::string& eventId, const std::string& clientName);

// A fresh event id: 32 lowercase hexadecimal digits.
std::string newEventId();

}  // namespace platform::crashreporting
