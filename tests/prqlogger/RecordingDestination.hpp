#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace corvantis::testing {

// Every switch off: lines are "> " and the message, so tests can compare them whole.
inline void showMessagesOnly(prq::BaseDestination& destination) {
    destination.setShowDate(false);
    destination.setShowLevel(false);
    destination.setShowFileName(false);
    destination.setShowLineNumber(false);
    destination.setShowFunctionName(false);
}

// A destination that keeps the lines it is given, from any thread. `Base` picks the class it
// stands in for (a console destination, for set-up).
template <class Base = prq::BaseQueuedDestination>
class RecordingDestination : public Base {
public:
    explicit RecordingDestination(std::string identifier, prq::Level level = prq::Level::debug)
        : Base(nullptr, std::move(identifier)) {
        this->setOutputLevel(level);
        showMessagesOnly(*this);
    }

    void write(const std::string& message) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(message);
    }

    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace corvantis::testing
