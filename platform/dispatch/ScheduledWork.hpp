#pragma once

#include "platform/dispatch/Clock.hpp"

#include <functional>
#include <optional>
#include <queue>
#include <vector>

namespace platform::dispatch {

// Work waiting for its deadline, earliest first and first scheduled first among equal
// deadlines. Not locked: each clock guards its own.
class ScheduledWork {
public:
    void add(TimePoint due, std::function<void()> fire) { entries_.push(Entry{due, nextSequence_++, std::move(fire)}); }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    // The earliest deadline; none when nothing waits.
    std::optional<TimePoint> nextDue() const {
        if (entries_.empty()) return std::nullopt;
        return entries_.top().due;
    }
    // Removes the earliest entry and hands back its work.
    std::function<void()> takeNext() {
        auto fire = std::move(const_cast<Entry&>(entries_.top()).fire);
        entries_.pop();
        return fire;
    }

private:
    struct Entry {
        TimePoint due;
        unsigned long long sequence;
        std::function<void()> fire;
        bool operator>(const Entry& other) const { return due != other.due ? due > other.due : sequence > other.sequence; }
    };

    std::priority_queue<Entry, std::vector<Entry>, std::greater<>> entries_;
    unsigned long long nextSequence_ = 0;
};

}  // namespace platform::dispatch
