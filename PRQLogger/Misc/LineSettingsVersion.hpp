#pragma once

#include <atomic>
#include <cstdint>

namespace prq {

// Counts the changes to what shapes the fixed pieces of a log line: a destination's switches,
// a logger's identifier and level names, a destination's owner and level names, and
// loggers and destinations coming and going (a new one may take a gone one's address); and of
// what decides whether a line may skip its destination's filters, formatters and queue (their
// lists, the queue). Text and answers made from them are kept with the count they were made
// under and made again once it moves on. A change counts after its new value is in place.
class LineSettingsVersion {
public:
    static std::uint64_t current() { return counter_.load(std::memory_order_acquire); }
    static void advance() { counter_.fetch_add(1, std::memory_order_acq_rel); }

private:
    static inline std::atomic<std::uint64_t> counter_{1};
};

}  // namespace prq
