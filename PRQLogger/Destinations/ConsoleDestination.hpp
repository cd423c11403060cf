#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

namespace prq {

// Prints each line to standard output.
class ConsoleDestination : public BaseQueuedDestination {
public:
    explicit ConsoleDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");

    void write(const std::string& message) override;

protected:
    // Like a plain file destination, a plain console prints composed lines itself when nothing
    // could change them.
    bool writesLinesDirectly(const PRQLogger& owner) const override;
    void writeLineDirectly(std::string_view lineWithFeed) override;
};

}  // namespace prq
