#include "PRQLogger/PRQLogger.hpp"

#include "PRQLogger/Destinations/ConsoleDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "platform/foundation/Bundle.hpp"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace prq {

namespace {
// "Version: 1.2 Build: 34 " from the main bundle's information, or as much of it as is there.
std::string buildText() {
    const auto& info = platform::foundation::Bundle::main()->infoDictionary();
    if (!info) return {};
    std::string text;
    const auto append = [&](const char* key, const char* label) {
        if (const auto found = info->find(key); found != info->end() && found->is_string()) {
            text += label + found->get<std::string>() + " ";
        }
    };
    append("CFBundleShortVersionString", "Version: ");
    append("CFBundleVersion", "Build: ");
    return text;
}

// What one call needs besides its destinations' own lines, reused by the thread's next call.
struct CallScratch {
    // The destinations that take the call's level, chosen before its message is made.
    std::vector<DestinationProtocol*> destinations;
    // The record for the destinations that need one; its message is the call's message.
    LogDetails record{Level::debug, {}, {}, {}, {}, 0};
    // The room for the line of each destination that writes straight from the call, one after the other.
    std::string line;
};

platform::dispatch::WallTime now() {
    return platform::Services::currentWallNow();
}
}  // namespace

PRQLogger::PRQLogger(std::string identifier)
    : settings_(LoggerSettings{std::move(identifier), {}, {}, {}, defaultDateFormatter()}),
      noMessageClosure_([]() -> std::optional<AnyValue> { return AnyValue(""); }) {}

PRQLogger::~PRQLogger() = default;

std::shared_ptr<PRQLogger> PRQLogger::make(std::string identifier, bool includeDefaultDestinations) {
    std::shared_ptr<PRQLogger> logger(new PRQLogger(std::move(identifier)));
    logger->self_ = logger;
    if (includeDefaultDestinations) {
        logger->add(std::make_shared<ConsoleDestination>(nullptr, std::string(Constants::baseConsoleDestinationIdentifier)));
    }
    return logger;
}

const std::shared_ptr<PRQLogger>& PRQLogger::defaultLogger() {
    // Never destroyed: code that runs while static objects are torn down may still log.
    static const auto* logger = new std::shared_ptr<PRQLogger>(make(std::string(Constants::defaultInstanceIdentifier)));
    return *logger;
}

const platform::dispatch::DispatchQueuePtr& PRQLogger::logQueue() {
    static const auto* queue = new platform::dispatch::DispatchQueuePtr(
        platform::dispatch::ThreadPoolQueue::serial(std::string(Constants::logQueueIdentifier)));
    return *queue;
}

const PRQLogger::DateFormatterPtr& PRQLogger::defaultDateFormatter() {
    static const auto* formatter =
        new DateFormatterPtr(std::make_shared<const platform::foundation::DateFormatter>("yyyy-MM-dd HH:mm:ss.SSS"));
    return *formatter;
}

std::string PRQLogger::identifier() const {
    return settings_.get()->identifier;
}

void PRQLogger::setIdentifier(std::string identifier) {
    settings_.update([&](LoggerSettings& settings) { settings.identifier = std::move(identifier); });
}

PRQLogger::Level PRQLogger::outputLevel() const {
    return outputLevel_.load(std::memory_order_relaxed);
}

void PRQLogger::setOutputLevel(Level level) {
    outputLevel_.store(level, std::memory_order_relaxed);
    for (const auto& destination : destinations()) destination->setOutputLevel(level);
}

MessageClosure PRQLogger::noMessageClosure() const {
    return *noMessageClosure_.get();
}

void PRQLogger::setNoMessageClosure(MessageClosure closure) {
    noMessageClosure_.set(std::move(closure));
}

LevelDescriptions PRQLogger::levelDescriptions() const {
    return settings_.get()->levelDescriptions;
}

void PRQLogger::setLevelDescriptions(LevelDescriptions descriptions) {
    settings_.update([&](LoggerSettings& settings) { settings.levelDescriptions = std::move(descriptions); });
}

std::optional<FormatterList> PRQLogger::formatters() const {
    return settings_.get()->formatters;
}

void PRQLogger::setFormatters(std::optional<FormatterList> formatters) {
    settings_.update([&](LoggerSettings& settings) { settings.formatters = std::move(formatters); });
}

std::optional<FilterList> PRQLogger::filters() const {
    return settings_.get()->filters;
}

void PRQLogger::setFilters(std::optional<FilterList> filters) {
    settings_.update([&](LoggerSettings& settings) { settings.filters = std::move(filters); });
}

platform::foundation::DateFormatter PRQLogger::dateFormatter() const {
    return *settings_.get()->dateFormatter;
}

void PRQLogger::setDateFormatter(DateFormatterPtr formatter) {
    settings_.update(
        [&](LoggerSettings& settings) { settings.dateFormatter = formatter ? std::move(formatter) : defaultDateFormatter(); });
}

PRQLogger::DestinationList PRQLogger::destinations() const {
    return *destinations_.get();
}

void PRQLogger::setup(Level level, bool showLogIdentifier, bool showFunctionName, bool showThreadName, bool showLevel,
                      bool showFileNames, bool showLineNumbers, bool showDate, const std::optional<FileTarget>& writeToFile,
                      std::optional<Level> fileLevel, bool appendToFile) {
    setOutputLevel(level);
    const auto configure = [&](BaseDestination& destination) {
        destination.setShowLogIdentifier(showLogIdentifier);
        destination.setShowFunctionName(showFunctionName);
        destination.setShowThreadName(showThreadName);
        destination.setShowLevel(showLevel);
        destination.setShowFileName(showFileNames);
        destination.setShowLineNumber(showLineNumbers);
        destination.setShowDate(showDate);
    };
    if (const auto console =
            std::dynamic_pointer_cast<ConsoleDestination>(destination(Constants::baseConsoleDestinationIdentifier))) {
        configure(*console);
        console->setOutputLevel(level);
    }
    if (writeToFile) {
        const auto file = std::make_shared<FileDestination>(nullptr, *writeToFile,
                                                            std::string(Constants::fileDestinationIdentifier), appendToFile);
        configure(*file);
        file->setOutputLevel(fileLevel.value_or(level));
        add(file);
    }
    logAppDetails();
}

void PRQLogger::logln(Level level, const CallSite& site, const UserInfo& userInfo,
                      FunctionRef<std::optional<std::string>()> closure) {
    dispatch(level, site, userInfo, [&](std::string& text) {
        auto message = closure();
        if (!message) return false;
        text = std::move(*message);
        return true;
    });
}

void PRQLogger::dispatch(Level level, const CallSite& site, const UserInfo& userInfo,
                         FunctionRef<bool(std::string&)> writeMessage) {
    // The list of the moment keeps its destinations alive throughout the call.
    const auto registered = destinations_.get();
    // Its own for this call: the message or a destination may log on the way.
    const ThreadScratch<CallScratch> scratch;
    auto& destinations = scratch->destinations;
    destinations.clear();
    for (const auto& destination : *registered) {
        if (destination->isEnabledFor(level)) destinations.push_back(destination.get());
    }
    LogDetails& record = scratch->record;
    if (destinations.empty() || !writeMessage(record.message)) return;
    const auto settings = settings_.get();
    const LogCall call{
        *this,
        {level, now(), site.givenFunctionName(), site.showsAsCall(), site.shownFileName(), site.lineNumber(), record.message},
        *settings,
        scratch->line};
    bool recordMade = false;
    for (auto* destination : destinations) {
        if (destination->writeDirectly(call)) continue;
        if (!recordMade) {
            record.level = level;
            record.date = call.pieces.date;
            site.assignFunctionName(record.functionName);
            record.fileName.assign(site.fileName());
            record.lineNumber = site.lineNumber();
            record.userInfo = userInfo;
            recordMade = true;
        }
        destination->process(record);
    }
    releaseIfOversized(record.message);
    releaseIfOversized(call.line);
}

void PRQLogger::loglnWithoutMessage(Level level, const UserInfo& userInfo, const CallSite& site) {
    const auto held = noMessageClosure_.get();
    const auto& closure = *held;
    logln(level, site, userInfo, [&]() -> std::optional<std::string> {
        auto value = closure ? closure() : std::nullopt;
        if (!value) return std::nullopt;
        return value->description();
    });
}

void PRQLogger::logAppDetails(DestinationProtocol* selectedDestination) {
    const auto date = now();
    const LogDetails records[] = {
        LogDetails(Level::info, date,
                   std::string(program_invocation_short_name) + " " + buildText() + "PID: " + std::to_string(::getpid()), "", "",
                   0, Constants::internalUserInfo()),
        LogDetails(Level::info, date,
                   "PRQLogger Version: " + std::string(Constants::versionString) +
                       " - Level: " + std::string(description(outputLevel())),
                   "", "", 0, Constants::internalUserInfo()),
    };
    const auto give = [&](DestinationProtocol& target) {
        if (target.haveLoggedAppDetails()) return;
        for (const auto& record : records) {
            if (!target.isEnabledFor(Level::info)) continue;
            target.setHaveLoggedAppDetails(true);
            target.processInternal(record);
        }
    };
    if (selectedDestination) {
        give(*selectedDestination);
        return;
    }
    const auto registered = destinations_.get();
    for (const auto& destination : *registered) give(*destination);
}

void PRQLogger::_logln(const std::string& message, Level level, const DestinationProtocol* source) {
    const LogDetails record(level, now(), message, "", "", 0, Constants::internalUserInfo());
    const auto sourceIdentifier = source ? std::optional(source->identifier()) : std::nullopt;
    const auto registered = destinations_.get();
    for (const auto& destination : *registered) {
        if (level >= Level::error && sourceIdentifier == destination->identifier()) continue;
        if (destination->isEnabledFor(level)) destination->processInternal(record);
    }
}

DestinationPtr PRQLogger::destination(std::string_view identifier) const {
    const auto registered = destinations_.get();
    for (const auto& destination : *registered) {
        if (destination->identifier() == identifier) return destination;
    }
    return nullptr;
}

bool PRQLogger::add(const DestinationPtr& destination) {
    if (!destination || this->destination(destination->identifier())) return false;
    if (const auto previous = destination->owner()) previous->remove(destination);
    destination->setOwner(shared_from_this());
    destinations_.update([&](DestinationList& list) { list.push_back(destination); });
    return true;
}

bool PRQLogger::remove(const DestinationPtr& destination) {
    if (!destination || destination->owner().get() != this) return false;
    if (!this->destination(destination->identifier())) return false;
    destination->setOwner(nullptr);
    destinations_.update([](DestinationList& list) {
        std::erase_if(list, [](const DestinationPtr& registered) { return !registered->owner(); });
    });
    return true;
}

bool PRQLogger::remove(std::string_view identifier) {
    const auto found = destination(identifier);
    return found && remove(found);
}

bool PRQLogger::isEnabledFor(Level level) const {
    return level >= outputLevel();
}

std::string PRQLogger::debugDescription() const {
    std::string text = extractTypeName(*this) + ": " + identifier() + " - destinations: \r";
    for (const auto& destination : destinations()) text += "\t " + destination->debugDescription() + "\r";
    return text;
}

}  // namespace prq
