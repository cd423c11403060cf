#include "platform/xpc/RefusalSummary.hpp"

namespace platform::xpc {

std::optional<std::string> RefusalSummary::refused(uid_t user, const std::string& reason, Clock::time_point now) {
    const Key key{user, reason};
    if (auto found = open_.find(key); found != open_.end() && now < found->second.end) {
        ++found->second.count;
        return std::nullopt;
    }
    open_[key] = {now + interval_, 0};
    return "Refused a connection from uid " + std::to_string(user) + ": " + reason;
}

std::vector<std::string> RefusalSummary::due(Clock::time_point now) {
    std::vector<std::string> lines;
    for (auto entry = open_.begin(); entry != open_.end();) {
        auto& [key, interval] = *entry;
        if (now < interval.end) {
            ++entry;
            continue;
        }
        if (interval.count == 0) {
            entry = open_.erase(entry);
            continue;
        }
        lines.push_back(line(key, interval.count));
        // Still refused: the next interval starts where this one ended.
        interval = {interval.end + interval_, 0};
        ++entry;
    }
    return lines;
}

std::vector<std::string> RefusalSummary::flush() {
    std::vector<std::string> lines;
    for (const auto& [key, interval] : open_) {
        if (interval.count > 0) lines.push_back(line(key, interval.count));
    }
    open_.clear();
    return lines;
}

std::optional<RefusalSummary::Clock::time_point> RefusalSummary::nextDue() const {
    std::optional<Clock::time_point> first;
    for (const auto& [key, interval] : open_) {
        if (!first || interval.end < *first) first = interval.end;
    }
    return first;
}

std::string RefusalSummary::line(const Key& key, long count) const {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(interval_).count();
    return "Refused " + std::to_string(count) + " more connection" + (count == 1 ? "" : "s") + " from uid " +
           std::to_string(key.first) + " within " + std::to_string(seconds) + " s: " + key.second;
}

}  // namespace platform::xpc
