#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include "PRQLogger/PRQLogger.hpp"

namespace prq {

BaseQueuedDestination::BaseQueuedDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseDestination(owner, std::move(identifier)) {}

void BaseQueuedDestination::output(const LogDetails& logDetails, const std::string& message) {
    const ReadSection section;
    const auto reading = read(section);
    if (const auto& queue = reading.settings.logQueue) {
        // The waiting work keeps the destination alive; it filters its own copies when it runs.
        auto self = std::static_pointer_cast<BaseQueuedDestination>(shared_from_this());
        queue->async([self = std::move(self), details = logDetails, line = message]() mutable {
            self->filterFormatAndWrite(details, line);
        });
        return;
    }
    if (!hasFiltersOrFormatters(reading)) {
        write(message);  // nothing could change the line
        return;
    }
    LogDetails details = logDetails;
    std::string line = message;
    filterFormatAndWrite(details, line);
}

bool BaseQueuedDestination::writeDirectly(const LogCall& call) {
    const auto& mine = settings(call.section);
    // Its owner is the caller, as a rule, which lives throughout the call.
    const auto reading = call.logger.is(mine.owner) ? Reading{mine, &call.logger.settings(call.section)} : read(call.section);
    if (!reading.owner) return true;  // nothing to write for
    if (reading.settings.logQueue || hasFiltersOrFormatters(reading)) return false;
    writeComposed(call, reading.settings.shape.compose(call.line, call.pieces, *reading.owner));
    return true;
}

platform::dispatch::DispatchQueuePtr BaseQueuedDestination::logQueue() const {
    const ReadSection section;
    return settings(section).logQueue;
}

void BaseQueuedDestination::setLogQueue(platform::dispatch::DispatchQueuePtr queue) {
    changeSettings([&](DestinationSettings& settings) { settings.logQueue = std::move(queue); });
}

void BaseQueuedDestination::writeComposed(const LogCall& call, std::size_t length) {
    call.line.resize(length);
    write(call.line);
}

void BaseQueuedDestination::filterFormatAndWrite(LogDetails& logDetails, std::string& message) {
    if (shouldExclude(logDetails, message)) return;
    applyFormatters(logDetails, message);
    write(message);
}

}  // namespace prq
