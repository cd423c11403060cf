#include "PRQLogger/Destinations/BaseQueuedDestination.hpp"

#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/PRQLogger.hpp"

namespace prq {

namespace {
LinePieces piecesOf(const LogCall& call) {
    const auto& site = call.site;
    return {call.level,        call.date,   site.givenFunctionName(), site.showsAsCall(), site.shownFileName(),
            site.lineNumber(), call.message};
}
}  // namespace

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
    const ReadSection section;
    const auto& mine = settings(section);
    // Its owner is the caller, as a rule, which lives throughout the call.
    const auto reading = call.logger.is(mine.owner) ? Reading{mine, &call.logger.settings(section)} : read(section);
    if (!reading.owner) return true;  // nothing to write for
    if (reading.settings.logQueue || hasFiltersOrFormatters(reading)) return false;
    const ThreadScratch<std::string> line;
    line->clear();
    reading.settings.shape.appendLine(*line, piecesOf(call), *reading.owner);
    writeComposed(*line);
    releaseIfOversized(*line);
    return true;
}

platform::dispatch::DispatchQueuePtr BaseQueuedDestination::logQueue() const {
    const ReadSection section;
    return settings(section).logQueue;
}

void BaseQueuedDestination::setLogQueue(platform::dispatch::DispatchQueuePtr queue) {
    changeSettings([&](DestinationSettings& settings) { settings.logQueue = std::move(queue); });
}

void BaseQueuedDestination::writeComposed(std::string& line) {
    write(line);
}

void BaseQueuedDestination::filterFormatAndWrite(LogDetails& logDetails, std::string& message) {
    if (shouldExclude(logDetails, message)) return;
    applyFormatters(logDetails, message);
    write(message);
}

}  // namespace prq
