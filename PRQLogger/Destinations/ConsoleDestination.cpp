#include "PRQLogger/Destinations/ConsoleDestination.hpp"

#include "PRQLogger/Misc/StandardOutput.hpp"

namespace prq {

ConsoleDestination::ConsoleDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseQueuedDestination(owner, std::move(identifier)) {}

void ConsoleDestination::write(const std::string& message) {
    printLine(message);
}

}  // namespace prq
