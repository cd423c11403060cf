#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace prq {

// Writes nothing: checks each finished line (after its filters and formatters) against the lines
// its user expects, crossing off the first equal one, or else keeping the line as unexpected.
// An expected line must therefore be written exactly as the destination composes it.
//
// With a `logQueue` every step, the counts and the lists included, runs on that queue and the
// caller waits for it (on the queue itself it runs at once); a lock serialises them in any case.
class TestDestination : public BaseQueuedDestination {
public:
    TestDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier);

    // The lines still awaited, in the order they were added.
    virtual std::vector<std::string> expectedLogMessages() const;
    virtual void setExpectedLogMessages(std::vector<std::string> messages);
    // The lines that came without being expected, in arrival order.
    virtual std::vector<std::string> unexpectedLogMessages() const;
    virtual void setUnexpectedLogMessages(std::vector<std::string> messages);

    virtual std::size_t remainingNumberOfExpectedLogMessages() const;
    virtual std::size_t numberOfUnexpectedLogMessages() const;
    // Repeats are fine: each copy is crossed off by one arriving line.
    virtual void add(const std::string& expectedLogMessage);
    // Empties both lists and lets the logger's application details come here again.
    virtual void reset();

    void output(const LogDetails& logDetails, const std::string& message) override;
    // Takes one finished line: crosses it off or keeps it as unexpected.
    void write(const std::string& message) override;

private:
    void sync(const std::function<void()>& closure) const;

    mutable std::recursive_mutex mutex_;
    std::vector<std::string> expectedLogMessages_;
    std::vector<std::string> unexpectedLogMessages_;
};

}  // namespace prq
