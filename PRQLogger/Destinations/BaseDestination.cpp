#include "PRQLogger/Destinations/BaseDestination.hpp"

#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/foundation/PathText.hpp"

namespace prq {

namespace {
// The destination's own list when it has one, else the owner's; null for none or an empty one.
template <class List>
const List* inForce(const std::optional<List>& own, const std::optional<List>* owners) {
    const auto& chosen = own || !owners ? own : *owners;
    return chosen && !chosen->empty() ? &*chosen : nullptr;
}

template <class List>
List copyInForce(const std::optional<List>& own, const std::optional<List>* owners) {
    const auto* list = inForce(own, owners);
    return list ? *list : List();
}

LinePieces piecesOf(const LogDetails& logDetails) {
    return {logDetails.level,
            logDetails.date,
            logDetails.functionName,
            false,
            platform::foundation::lastPathComponent(logDetails.fileName),
            logDetails.lineNumber,
            logDetails.message};
}

const char* boolText(bool value) {
    return value ? "true" : "false";
}
}  // namespace

BaseDestination::BaseDestination(const std::shared_ptr<PRQLogger>& owner, std::string identifier)
    : settings_(DestinationSettings{owner, std::move(identifier), {}, {}, {}, LineShape()}) {}

std::shared_ptr<PRQLogger> BaseDestination::owner() const {
    return settings_.get()->owner.lock();
}

void BaseDestination::setOwner(const std::shared_ptr<PRQLogger>& owner) {
    changeSettings([&](DestinationSettings& settings) { settings.owner = owner; });
}

std::string BaseDestination::identifier() const {
    return settings_.get()->identifier;
}

void BaseDestination::setIdentifier(std::string identifier) {
    changeSettings([&](DestinationSettings& settings) { settings.identifier = std::move(identifier); });
}

Level BaseDestination::outputLevel() const {
    return outputLevel_.load(std::memory_order_relaxed);
}

void BaseDestination::setOutputLevel(Level level) {
    outputLevel_.store(level, std::memory_order_relaxed);
}

bool BaseDestination::haveLoggedAppDetails() const {
    return haveLoggedAppDetails_.load();
}

void BaseDestination::setHaveLoggedAppDetails(bool logged) {
    haveLoggedAppDetails_.store(logged);
}

std::optional<FormatterList> BaseDestination::formatters() const {
    return settings_.get()->formatters;
}

void BaseDestination::setFormatters(std::optional<FormatterList> formatters) {
    changeSettings([&](DestinationSettings& settings) { settings.formatters = std::move(formatters); });
}

std::optional<FilterList> BaseDestination::filters() const {
    return settings_.get()->filters;
}

void BaseDestination::setFilters(std::optional<FilterList> filters) {
    changeSettings([&](DestinationSettings& settings) { settings.filters = std::move(filters); });
}

bool BaseDestination::showLogIdentifier() const {
    return switchOn(&LineSwitches::showLogIdentifier);
}
void BaseDestination::setShowLogIdentifier(bool show) {
    changeSwitches(&LineSwitches::showLogIdentifier, show);
}
bool BaseDestination::showFunctionName() const {
    return switchOn(&LineSwitches::showFunctionName);
}
void BaseDestination::setShowFunctionName(bool show) {
    changeSwitches(&LineSwitches::showFunctionName, show);
}
bool BaseDestination::showThreadName() const {
    return switchOn(&LineSwitches::showThreadName);
}
void BaseDestination::setShowThreadName(bool show) {
    changeSwitches(&LineSwitches::showThreadName, show);
}
bool BaseDestination::showFileName() const {
    return switchOn(&LineSwitches::showFileName);
}
void BaseDestination::setShowFileName(bool show) {
    changeSwitches(&LineSwitches::showFileName, show);
}
bool BaseDestination::showLineNumber() const {
    return switchOn(&LineSwitches::showLineNumber);
}
void BaseDestination::setShowLineNumber(bool show) {
    changeSwitches(&LineSwitches::showLineNumber, show);
}
bool BaseDestination::showLevel() const {
    return switchOn(&LineSwitches::showLevel);
}
void BaseDestination::setShowLevel(bool show) {
    changeSwitches(&LineSwitches::showLevel, show);
}
bool BaseDestination::showDate() const {
    return switchOn(&LineSwitches::showDate);
}
void BaseDestination::setShowDate(bool show) {
    changeSwitches(&LineSwitches::showDate, show);
}

LevelDescriptions BaseDestination::levelDescriptions() const {
    return settings_.get()->shape.switches().levelDescriptions;
}

void BaseDestination::setLevelDescriptions(LevelDescriptions descriptions) {
    changeSettings([&](DestinationSettings& settings) {
        auto switches = settings.shape.switches();
        switches.levelDescriptions = std::move(descriptions);
        settings.shape = LineShape(std::move(switches));
    });
}

bool BaseDestination::switchOn(bool LineSwitches::*which) const {
    return settings_.get()->shape.switches().*which;
}

void BaseDestination::changeSwitches(bool LineSwitches::*which, bool show) {
    changeSettings([&](DestinationSettings& settings) {
        auto switches = settings.shape.switches();
        switches.*which = show;
        settings.shape = LineShape(std::move(switches));
    });
}

std::string BaseDestination::debugDescription() const {
    std::string text = extractTypeName(*this) + ": " + identifier() + " - Level: " + std::string(description(outputLevel()));
    text += std::string(" showLogIdentifier: ") + boolText(showLogIdentifier());
    text += std::string(" showFunctionName: ") + boolText(showFunctionName());
    text += std::string(" showThreadName: ") + boolText(showThreadName());
    text += std::string(" showLevel: ") + boolText(showLevel());
    text += std::string(" showFileName: ") + boolText(showFileName());
    text += std::string(" showLineNumber: ") + boolText(showLineNumber());
    text += std::string(" showDate: ") + boolText(showDate());
    return text;
}

void BaseDestination::process(const LogDetails& logDetails) {
    const auto reading = read();
    if (!reading.owner) return;
    // The line keeps its storage from the thread's earlier lines.
    const ThreadScratch<std::string> line;
    line->resize(reading.settings->shape.compose(*line, piecesOf(logDetails), *reading.owner));
    output(logDetails, *line);
    releaseIfOversized(*line);
}

void BaseDestination::processInternal(const LogDetails& logDetails) {
    const auto reading = read();
    if (!reading.owner) return;
    std::string line;
    line.resize(reading.settings->shape.composeInternal(line, piecesOf(logDetails), *reading.owner));
    output(logDetails, line);
}

bool BaseDestination::writeDirectly(const LogCall&) {
    return false;
}

bool BaseDestination::isEnabledFor(Level level) const {
    return level >= outputLevel();
}

BaseDestination::Reading BaseDestination::read() const {
    auto settings = settings_.get();
    const auto holder = settings->owner.lock();
    return {std::move(settings), holder ? holder->settings() : nullptr};
}

bool BaseDestination::hasFiltersOrFormatters(const DestinationSettings& settings, const LoggerSettings* owner) {
    return inForce(settings.filters, owner ? &owner->filters : nullptr) ||
           inForce(settings.formatters, owner ? &owner->formatters : nullptr);
}

FilterList BaseDestination::filtersInForce() const {
    const auto reading = read();
    return copyInForce(reading.settings->filters, reading.owner ? &reading.owner->filters : nullptr);
}

FormatterList BaseDestination::formattersInForce() const {
    const auto reading = read();
    return copyInForce(reading.settings->formatters, reading.owner ? &reading.owner->formatters : nullptr);
}

}  // namespace prq
