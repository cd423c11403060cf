#pragma once

#include "PRQLogger/Misc/AnyValue.hpp"
#include "PRQLogger/Misc/Level.hpp"
#include "platform/dispatch/Clock.hpp"

#include <cstdint>
#include <string>

namespace prq {

// One log event on its way from the logger to its destinations. Filters and formatters may
// change their own copy.
struct LogDetails {
    LogDetails(Level level, platform::dispatch::WallTime date, std::string message, std::string functionName,
               std::string fileName, std::int64_t lineNumber, UserInfo userInfo = {})
        : level(level),
          date(date),
          message(std::move(message)),
          functionName(std::move(functionName)),
          fileName(std::move(fileName)),
          lineNumber(lineNumber),
          userInfo(std::move(userInfo)) {}

    Level level;
    platform::dispatch::WallTime date;
    std::string message;
    // As the call site gives them; empty (and line 0) for the logger's own messages.
    std::string functionName;
    std::string fileName;  // the full path; destinations show its last component
    std::int64_t lineNumber;
    UserInfo userInfo;
};

}  // namespace prq
