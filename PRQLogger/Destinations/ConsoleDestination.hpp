#pragma once

#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

namespace prq {

// Prints each line to standard output.
class ConsoleDestination : public BaseQueuedDestination {
public:
    explicit ConsoleDestination(const std::shared_ptr<PRQLogger>& owner = nullptr, std::string identifier = "");

    void write(const std::string& message) override;
};

}  // namespace prq
