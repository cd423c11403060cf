#include "PRQLogger/Destinations/ConsoleDestination.hpp"

#include "PRQLogger/Misc/StandardOutput.hpp"

#include <typeinfo>

namespace prq {

ConsoleDestination::ConsoleDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseQueuedDestination(owner, std::move(identifier)) {}

void ConsoleDestination::write(const std::string& message) {
    printLine(message);
}

bool ConsoleDestination::writesLinesDirectly(const PRQLogger& owner) const {
    return typeid(*this) == typeid(ConsoleDestination) && writesLinesUnchanged(owner);
}

void ConsoleDestination::writeLineDirectly(std::string_view lineWithFeed) {
    lineWithFeed.remove_suffix(1);
    printLine(lineWithFeed);
}

}  // namespace prq
