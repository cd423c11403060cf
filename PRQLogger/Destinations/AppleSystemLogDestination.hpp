#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

namespace prq {

// Hands every finished line to the system log (syslog(3), at notice level). The system log
// stamps lines itself, so the date is never part of them.
class AppleSystemLogDestination : public BaseQueuedDestination {
public:
    AppleSystemLogDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier);

    // Always false; setting it changes nothing.
    bool showDate() const override;
    void setShowDate(bool show) override;

    // The text goes to the log as it is: "%" in it is never read as a format directive.
    void write(const std::string& message) override;
};

}  // namespace prq
