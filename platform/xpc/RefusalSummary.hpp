#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace platform::xpc {

// Refused connections, summarised per user and reason, so that a user who connects in a loop
// cannot flood the log: the first refusal is told at once; the ones that follow within the
// interval become one line with their count when the interval ends, and a user who goes on
// refused gets one such line per interval. Not locked: one thread uses it.
class RefusalSummary {
public:
    using Clock = std::chrono::steady_clock;

    explicit RefusalSummary(Clock::duration interval) : interval_(interval) {}

    // The line to log now, if any.
    std::optional<std::string> refused(uid_t user, const std::string& reason, Clock::time_point now);
    // The lines of the intervals that have ended by `now`.
    std::vector<std::string> due(Clock::time_point now);
    // The lines of every interval still open, as when the listener stops.
    std::vector<std::string> flush();
    // When the first open interval ends; none when no interval is open.
    std::optional<Clock::time_point> nextDue() const;

private:
    struct Interval {
        Clock::time_point end;
        long count = 0;
    };
    using Key = std::pair<uid_t, std::string>;

    std::string line(const Key& key, long count) const;

    Clock::duration interval_;
    std::map<Key, Interval> open_;
};

}  // namespace platform::xpc
