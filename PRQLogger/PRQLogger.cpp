#include "PRQLogger/PRQLogger.hpp"

#include "PRQLogger/Destinations/ConsoleDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Misc/LineSettingsVersion.hpp"
#include "PRQLogger/Misc/ThreadScratch.hpp"
#include "PRQLogger/Misc/TypeName.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "platform/foundation/Bundle.hpp"

#include <array>
#include <cerrno>
#include <unistd.h>

namespace prq {

namespace {
// The destinations a call goes to straight (see `takesCallsStraight`). A call that reaches more
// than fit here takes the record's way.
class StraightDestinations {
public:
    bool add(DestinationProtocol* destination) {
        if (count_ == destinations_.size()) return false;
        destinations_[count_++] = destination;
        return true;
    }
    // All but the last one, which the caller hands the call to in a tail call.
    template <class Action>
    void forEachButLast(Action&& action) const {
        for (std::size_t i = 0; i + 1 < count_; ++i) action(*destinations_[i]);
    }
    DestinationProtocol& last() const { return *destinations_[count_ - 1]; }

private:
    // Left uninitialised: only the first `count_` are ever read, and zeroing them costs more
    // than the rest of the bookkeeping.
    std::array<DestinationProtocol*, 8> destinations_;
    std::size_t count_ = 0;
};

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

// The texts of one call's record, reused by the thread's next call.
struct CallRecord {
    LogDetails details{Level::debug, {}, {}, {}, {}, 0};
    // The place whose function and file names `details` holds, if the compiler gave it: the
    // next call from the same place need not copy them again.
    std::optional<CallSite> namesFrom;
    // The destinations that take the call's level, chosen before its message is made.
    std::vector<DestinationProtocol*> destinations;
};

thread_local const PRQLogger* loggerDispatching = nullptr;

// Marks the logger as handing a record over on this thread; calls nest (a destination may log).
class DispatchScope {
public:
    explicit DispatchScope(const PRQLogger* logger) : previous_(loggerDispatching) { loggerDispatching = logger; }
    ~DispatchScope() { loggerDispatching = previous_; }
    DispatchScope(const DispatchScope&) = delete;
    DispatchScope& operator=(const DispatchScope&) = delete;

private:
    const PRQLogger* previous_;
};

platform::dispatch::WallTime now() {
    return platform::Services::current().wallNow();
}
}  // namespace

PRQLogger::PRQLogger(std::string identifier)
    : identifier_(std::move(identifier)),
      noMessageClosure_([]() -> std::optional<AnyValue> { return AnyValue(""); }),
      dateFormatterInForce_(defaultDateFormatter().get()) {
    LineSettingsVersion::advance();
}

PRQLogger::~PRQLogger() {
    LineSettingsVersion::advance();
}

std::shared_ptr<PRQLogger> PRQLogger::make(std::string identifier, bool includeDefaultDestinations) {
    std::shared_ptr<PRQLogger> logger(new PRQLogger(std::move(identifier)));
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

const std::string& PRQLogger::identifier() const {
    return identifier_.get();
}

void PRQLogger::setIdentifier(std::string identifier) {
    identifier_.set(std::move(identifier));
    LineSettingsVersion::advance();
}

PRQLogger::Level PRQLogger::outputLevel() const {
    return outputLevel_.load(std::memory_order_relaxed);
}

void PRQLogger::setOutputLevel(Level level) {
    outputLevel_.store(level, std::memory_order_relaxed);
    for (const auto& destination : destinations_.get()) destination->setOutputLevel(level);
}

const MessageClosure& PRQLogger::noMessageClosure() const {
    return noMessageClosure_.get();
}

void PRQLogger::setNoMessageClosure(MessageClosure closure) {
    noMessageClosure_.set(std::move(closure));
}

const LevelDescriptions& PRQLogger::levelDescriptions() const {
    return levelDescriptions_.get();
}

void PRQLogger::setLevelDescriptions(LevelDescriptions descriptions) {
    levelDescriptions_.set(std::move(descriptions));
    LineSettingsVersion::advance();
}

const std::optional<FormatterList>& PRQLogger::formatters() const {
    return formatters_.get();
}

void PRQLogger::setFormatters(std::optional<FormatterList> formatters) {
    formatters_.set(std::move(formatters));
    LineSettingsVersion::advance();
}

const std::optional<FilterList>& PRQLogger::filters() const {
    return filters_.get();
}

void PRQLogger::setFilters(std::optional<FilterList> filters) {
    filters_.set(std::move(filters));
    LineSettingsVersion::advance();
}

const platform::foundation::DateFormatter& PRQLogger::dateFormatter() const {
    return *dateFormatterInForce_.load(std::memory_order_acquire);
}

void PRQLogger::setDateFormatter(DateFormatterPtr formatter) {
    customDateFormatter_.set(std::move(formatter), [&](const DateFormatterPtr& custom) {
        dateFormatterInForce_.store(custom ? custom.get() : defaultDateFormatter().get(), std::memory_order_release);
    });
}

const PRQLogger::DestinationList& PRQLogger::destinations() const {
    return destinations_.get();
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
    StraightDestinations straightOnes;
    bool anyEnabled = false, straight = true;
    for (const auto& destination : destinations_.get()) {
        if (!destination->isEnabledFor(level)) continue;
        anyEnabled = true;
        straight = straight && destination->takesCallsStraight(*this) && straightOnes.add(destination.get());
    }
    if (!anyEnabled) return;
    if (!straight) {
        dispatchRecord(level, site, userInfo, writeMessage);
        return;
    }
    // Nothing could change, drop or defer the line: no record. Nor does the message need
    // storage per call: the closure (which may log itself) has returned before its text is
    // put there, and nothing from there to the last write logs.
    thread_local std::string message;
    releaseIfOversized(message);
    if (!writeMessage(message)) return;
    // The call, too, is the thread's rather than on this frame, so that the last destination
    // takes it in a tail call: the write returns through one frame fewer. Returns right after a
    // system call are mostly mispredicted (the kernel has overwritten the return predictor),
    // about 10 ns each on this machine kind.
    thread_local std::optional<StraightCall> call;
    call.emplace(*this, level, site, now(), message);
    straightOnes.forEachButLast([&](DestinationProtocol& destination) { destination.writeStraight(*call); });
    straightOnes.last().writeStraight(*call);
}

void PRQLogger::dispatchRecord(Level level, const CallSite& site, const UserInfo& userInfo,
                               FunctionRef<bool(std::string&)> writeMessage) {
    // The record's texts keep their storage from the thread's earlier calls.
    const ThreadScratch<CallRecord> scratch;
    auto& destinations = scratch->destinations;
    destinations.clear();
    for (const auto& destination : destinations_.get()) {
        if (destination->isEnabledFor(level)) destinations.push_back(destination.get());
    }
    LogDetails& record = scratch->details;
    if (!destinations.empty() && writeMessage(record.message)) {
        record.level = level;
        record.date = now();
        if (!scratch->namesFrom || !site.hasSameTextsAs(*scratch->namesFrom)) {
            site.assignFunctionName(record.functionName);
            record.fileName.assign(site.fileName());
            scratch->namesFrom = site;
        }
        record.lineNumber = site.lineNumber();
        if (!userInfo.empty() || !record.userInfo.empty()) record.userInfo = userInfo;
        const DispatchScope scope(this);
        for (auto* destination : destinations) destination->process(record);
    }
    releaseIfOversized(record.message);
}

void PRQLogger::loglnWithoutMessage(Level level, const UserInfo& userInfo, const CallSite& site) {
    const auto& closure = noMessageClosure();
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
    for (const auto& destination : destinations_.get()) give(*destination);
}

void PRQLogger::_logln(const std::string& message, Level level, const DestinationProtocol* source) {
    const LogDetails record(level, now(), message, "", "", 0, Constants::internalUserInfo());
    for (const auto& destination : destinations_.get()) {
        if (level >= Level::error && source && source->identifier() == destination->identifier()) continue;
        if (destination->isEnabledFor(level)) destination->processInternal(record);
    }
}

DestinationPtr PRQLogger::destination(std::string_view identifier) const {
    for (const auto& destination : destinations_.get()) {
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

const PRQLogger* PRQLogger::dispatchingLogger() {
    return loggerDispatching;
}

bool PRQLogger::isEnabledFor(Level level) const {
    return level >= outputLevel();
}

std::string PRQLogger::debugDescription() const {
    std::string text = extractTypeName(*this) + ": " + identifier() + " - destinations: \r";
    for (const auto& destination : destinations_.get()) text += "\t " + destination->debugDescription() + "\r";
    return text;
}

}  // namespace prq
