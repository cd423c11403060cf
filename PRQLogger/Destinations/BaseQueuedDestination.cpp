#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include "PRQLogger/PRQLogger.hpp"

namespace prq {

BaseQueuedDestination::BaseQueuedDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseDestination(owner, std::move(identifier)) {}

void BaseQueuedDestination::output(const LogDetails& logDetails, const std::string& message) {
    const auto reading = read();
    if (const auto& queue = reading.settings->logQueue) {
        // The waiting work keeps the destination alive; it filters its own copies when it runs.
        auto self = std::static_pointer_cast<BaseQueuedDestination>(shared_from_this());
        queue->async([self = std::move(self), details = logDetails, line = message]() mutable {
            self->filterFormatAndWrite(details, line);
        });
        return;
    }
    if (!hasFiltersOrFormatters(*reading.settings, reading.owner.get())) {
        write(message);  // nothing could change the line
        return;
    }
    LogDetails details = logDetails;
    std::string line = message;
    filterFormatAndWrite(details, line);
}

bool BaseQueuedDestination::writeDirectly(const LogCall& call) {
    const auto mine = settings();
    // Its owner is the caller, as a rule, whose settings the call carries.
    std::shared_ptr<const LoggerSettings> other;
    if (!call.logger.is(mine->owner)) {
        const auto holder = mine->owner.lock();
        if (!holder) return true;  // nothing to write for
        other = holder->settings();
    }
    const auto& owner = other ? *other : call.loggerSettings;
    if (mine->logQueue || hasFiltersOrFormatters(*mine, &owner)) return false;
    writeComposed(call, mine->shape.compose(call.line, call.pieces, owner));
    return true;
}

platform::dispatch::DispatchQueuePtr BaseQueuedDestination::logQueue() const {
    return settings()->logQueue;
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
