#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include "PRQLogger/Misc/LineSettingsVersion.hpp"

namespace prq {

BaseQueuedDestination::BaseQueuedDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : BaseDestination(owner, std::move(identifier)) {}

void BaseQueuedDestination::output(const LogDetails& logDetails, const std::string& message) {
    if (const auto& queue = logQueue()) {
        // The waiting work keeps the destination alive; it filters its own copies when it runs.
        auto self = std::static_pointer_cast<BaseQueuedDestination>(shared_from_this());
        queue->async([self = std::move(self), details = logDetails, line = message]() mutable {
            self->filterFormatAndWrite(details, line);
        });
        return;
    }
    std::shared_ptr<PRQLogger> pin;
    if (!hasFiltersOrFormatters(liveOwner(pin))) {
        write(message);  // nothing could change the line
        return;
    }
    LogDetails details = logDetails;
    std::string line = message;
    filterFormatAndWrite(details, line);
}

const platform::dispatch::DispatchQueuePtr& BaseQueuedDestination::logQueue() const {
    return logQueue_.get();
}

void BaseQueuedDestination::setLogQueue(platform::dispatch::DispatchQueuePtr queue) {
    logQueue_.set(std::move(queue));
    LineSettingsVersion::advance();
}

bool BaseQueuedDestination::writesLinesUnchanged(const PRQLogger& owner) const {
    return !logQueue() && !hasFiltersOrFormatters(&owner);
}

void BaseQueuedDestination::filterFormatAndWrite(LogDetails& logDetails, std::string& message) {
    if (shouldExclude(logDetails, message)) return;
    applyFormatters(logDetails, message);
    write(message);
}

}  // namespace prq
