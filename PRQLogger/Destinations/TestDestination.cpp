#include "PRQLogger/Destinations/TestDestination.hpp"

#include <algorithm>

namespace prq {

TestDestination::TestDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseQueuedDestination(owner, std::move(identifier)) {}

std::vector<std::string> TestDestination::expectedLogMessages() const {
    std::vector<std::string> messages;
    sync([&] { messages = expectedLogMessages_; });
    return messages;
}

void TestDestination::setExpectedLogMessages(std::vector<std::string> messages) {
    sync([&] { expectedLogMessages_ = std::move(messages); });
}

std::vector<std::string> TestDestination::unexpectedLogMessages() const {
    std::vector<std::string> messages;
    sync([&] { messages = unexpectedLogMessages_; });
    return messages;
}

void TestDestination::setUnexpectedLogMessages(std::vector<std::string> messages) {
    sync([&] { unexpectedLogMessages_ = std::move(messages); });
}

std::size_t TestDestination::remainingNumberOfExpectedLogMessages() const {
    return expectedLogMessages().size();
}

std::size_t TestDestination::numberOfUnexpectedLogMessages() const {
    return unexpectedLogMessages().size();
}

void TestDestination::add(const std::string& expectedLogMessage) {
    sync([&] { expectedLogMessages_.push_back(expectedLogMessage); });
}

void TestDestination::reset() {
    sync([&] {
        setHaveLoggedAppDetails(false);
        expectedLogMessages_.clear();
        unexpectedLogMessages_.clear();
    });
}

void TestDestination::output(const LogDetails& logDetails, const std::string& message) {
    sync([&] {
        LogDetails details = logDetails;
        std::string line = message;
        if (shouldExclude(details, line)) return;
        applyFormatters(details, line);
        write(line);
    });
}

void TestDestination::write(const std::string& message) {
    sync([&] {
        const auto expected = std::find(expectedLogMessages_.begin(), expectedLogMessages_.end(), message);
        if (expected != expectedLogMessages_.end()) {
            expectedLogMessages_.erase(expected);
        } else {
            unexpectedLogMessages_.push_back(message);
        }
    });
}

void TestDestination::sync(const std::function<void()>& closure) const {
    // The lock also covers a queue set or removed between two calls.
    const auto locked = [&] {
        const std::lock_guard lock(mutex_);
        closure();
    };
    if (const auto& queue = logQueue()) {
        queue->sync(locked);
    } else {
        locked();
    }
}

}  // namespace prq
