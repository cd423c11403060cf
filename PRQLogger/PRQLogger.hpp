#pragma once

#include "PRQLogger/Destinations/DestinationProtocol.hpp"
#include "PRQLogger/Misc/AnyValue.hpp"
#include "PRQLogger/Misc/CallSite.hpp"
#include "PRQLogger/Misc/Constants.hpp"
#include "PRQLogger/Misc/FileTarget.hpp"
#include "PRQLogger/Misc/FunctionRef.hpp"
#include "PRQLogger/Misc/Level.hpp"
#include "PRQLogger/Misc/LoggerSettings.hpp"
#include "PRQLogger/Misc/MessageText.hpp"
#include "PRQLogger/Misc/Snapshot.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/DateFormatter.hpp"

#include <atomic>
#include <concepts>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace prq {

// The logger: an ordered list of destinations, each taking the levels it is set to. A log call
// gives its message as a closure, which runs only when some destination takes the level, and at
// most once; the calling function, file and line come from the call site by themselves:
//
//     logger->info([&] { return "Connected to " + server; });
//     prq::error([&] { return failure.message; });  // the default logger
//
// Everything runs on the calling thread. Logging is safe from any number of threads, also while
// levels or settings change. Registry changes (`add`, `remove`, `setup`) are configuration: make
// them from one thread at a time.
class PRQLogger : public std::enable_shared_from_this<PRQLogger> {
public:
    using Level = prq::Level;
    using Constants = prq::Constants;
    using DestinationList = std::vector<DestinationPtr>;
    using DateFormatterPtr = std::shared_ptr<const platform::foundation::DateFormatter>;

    // A logger, with a console destination when `includeDefaultDestinations`.
    static std::shared_ptr<PRQLogger> make(std::string identifier = "", bool includeDefaultDestinations = true);
    // The process's shared logger, made on first use with a console destination; it lives until
    // the process ends.
    static const std::shared_ptr<PRQLogger>& defaultLogger();
    // A serial queue that queued destinations may take; none is given it by default.
    static const platform::dispatch::DispatchQueuePtr& logQueue();
    // The formatter of every logger without its own: "yyyy-MM-dd HH:mm:ss.SSS", local time.
    static const DateFormatterPtr& defaultDateFormatter();

    virtual ~PRQLogger();
    PRQLogger(const PRQLogger&) = delete;
    PRQLogger& operator=(const PRQLogger&) = delete;

    std::string identifier() const;
    void setIdentifier(std::string identifier);
    Level outputLevel() const;
    // Also sets every registered destination to the level; later ones keep their own.
    void setOutputLevel(Level level);
    // The message of the per-level calls that are given none; initially the empty text.
    MessageClosure noMessageClosure() const;
    void setNoMessageClosure(MessageClosure closure);
    LevelDescriptions levelDescriptions() const;
    void setLevelDescriptions(LevelDescriptions descriptions);
    // The lists of every destination whose own list is absent.
    std::optional<FormatterList> formatters() const;
    void setFormatters(std::optional<FormatterList> formatters);
    std::optional<FilterList> filters() const;
    void setFilters(std::optional<FilterList> filters);
    // The custom formatter, else the shared default one; setting none returns to the default.
    platform::foundation::DateFormatter dateFormatter() const;
    void setDateFormatter(DateFormatterPtr formatter);
    DestinationList destinations() const;
    // What the destinations' lines take from the logger.
    std::shared_ptr<const LoggerSettings> settings() const { return settings_.get(); }
    // Whether `owner` is this logger: whether both share one control block, which a weak
    // pointer keeps, so no other logger can have it meanwhile. Writes no shared memory, unlike
    // locking `owner`.
    bool is(const std::weak_ptr<PRQLogger>& owner) const { return !owner.owner_before(self_) && !self_.owner_before(owner); }

    // Configures the logger in one call: its level, the console destination's switches and
    // level, a file destination (with `fileLevel`, else `level`) when a file is given, and the
    // application-details header for every destination. The file destination empties an
    // existing file unless `appendToFile`, which keeps it and marks where this run begins.
    void setup(Level level = Level::debug, bool showLogIdentifier = false, bool showFunctionName = true,
               bool showThreadName = false, bool showLevel = true, bool showFileNames = true, bool showLineNumbers = true,
               bool showDate = true, const std::optional<FileTarget>& writeToFile = std::nullopt,
               std::optional<Level> fileLevel = std::nullopt, bool appendToFile = false);

    // Logs the closure's message at `level`; a closure that yields none logs nothing.
    template <MessageProducer Message>
    void logln(Message&& message, Level level = Level::debug, const UserInfo& userInfo = noUserInfo,
               CallSite site = std::source_location::current()) {
        dispatch(level, site, userInfo, [&](std::string& text) { return assignMessageText(message(), text); });
    }
    // The same with the place given explicitly; the closure may be called at most once.
    void logln(Level level, const CallSite& site, const UserInfo& userInfo, FunctionRef<std::optional<std::string>()> closure);

    // Runs the closure when the logger's own level takes `level`.
    template <std::invocable Closure>
    void exec(Level level, Closure&& closure) {
        if (isEnabledFor(level)) std::forward<Closure>(closure)();
    }

    // The two header lines (process, version and build, PID; component version and level), to
    // the selected destination or to all, each only once.
    void logAppDetails(DestinationProtocol* selectedDestination = nullptr);
    // One of the logger's own messages. At Error and above it skips destinations with the
    // source's identifier: a destination reporting its own failure cannot write it.
    void _logln(const std::string& message, Level level = Level::debug, const DestinationProtocol* source = nullptr);

    DestinationPtr destination(std::string_view identifier) const;
    // Refused (false) when the identifier is taken. A destination owned by another logger moves here.
    bool add(const DestinationPtr& destination);
    // Refused (false) unless this logger owns the destination and it is registered.
    bool remove(const DestinationPtr& destination);
    bool remove(std::string_view identifier);
    bool isEnabledFor(Level level) const;
    std::string debugDescription() const;

    // verbose(…), debug(…), … emergency(…): with a message closure, or without one (the logger's
    // `noMessageClosure`); verboseExec(…) … emergencyExec(…) run a closure (see `exec`).
#define PRQ_LOGGER_LEVEL_CALLS(name, level)                                                                                \
    template <MessageProducer Message>                                                                                     \
    void name(Message&& message, const UserInfo& userInfo = noUserInfo, CallSite site = std::source_location::current()) { \
        logln(std::forward<Message>(message), level, userInfo, site);                                                      \
    }                                                                                                                      \
    void name(const UserInfo& userInfo = noUserInfo, CallSite site = std::source_location::current()) {                    \
        loglnWithoutMessage(level, userInfo, site);                                                                        \
    }                                                                                                                      \
    template <std::invocable Closure>                                                                                      \
    void name##Exec(Closure&& closure) {                                                                                   \
        exec(level, std::forward<Closure>(closure));                                                                       \
    }
    PRQ_LOGGER_LEVEL_CALLS(verbose, Level::verbose)
    PRQ_LOGGER_LEVEL_CALLS(debug, Level::debug)
    PRQ_LOGGER_LEVEL_CALLS(info, Level::info)
    PRQ_LOGGER_LEVEL_CALLS(notice, Level::notice)
    PRQ_LOGGER_LEVEL_CALLS(warning, Level::warning)
    PRQ_LOGGER_LEVEL_CALLS(error, Level::error)
    PRQ_LOGGER_LEVEL_CALLS(severe, Level::severe)
    PRQ_LOGGER_LEVEL_CALLS(alert, Level::alert)
    PRQ_LOGGER_LEVEL_CALLS(emergency, Level::emergency)
#undef PRQ_LOGGER_LEVEL_CALLS

protected:
    explicit PRQLogger(std::string identifier);

private:
    void loglnWithoutMessage(Level level, const UserInfo& userInfo, const CallSite& site);
    // Hands one call to the destinations that take its level: straight from the call to those
    // that can, as one record to the others. `writeMessage` puts the message into the text it is
    // given, or answers false for no message; it runs at most once.
    void dispatch(Level level, const CallSite& site, const UserInfo& userInfo, FunctionRef<bool(std::string&)> writeMessage);

    std::weak_ptr<PRQLogger> self_;  // set once by `make`
    std::atomic<Level> outputLevel_{Level::debug};
    Snapshot<LoggerSettings> settings_;
    Snapshot<MessageClosure> noMessageClosure_;
    Snapshot<DestinationList> destinations_;
};

// The same calls on the default logger: prq::info([&] { … }), prq::setup(…), …

template <MessageProducer Message>
void logln(Message&& message, Level level = Level::debug, const UserInfo& userInfo = noUserInfo,
           CallSite site = std::source_location::current()) {
    PRQLogger::defaultLogger()->logln(std::forward<Message>(message), level, userInfo, site);
}

inline void logln(Level level, const CallSite& site, const UserInfo& userInfo,
                  FunctionRef<std::optional<std::string>()> closure) {
    PRQLogger::defaultLogger()->logln(level, site, userInfo, closure);
}

template <std::invocable Closure>
void exec(Level level, Closure&& closure) {
    PRQLogger::defaultLogger()->exec(level, std::forward<Closure>(closure));
}

template <class... Arguments>
void setup(Arguments&&... arguments) {
    PRQLogger::defaultLogger()->setup(std::forward<Arguments>(arguments)...);
}

#define PRQ_DEFAULT_LOGGER_LEVEL_CALLS(name)                                                                               \
    template <MessageProducer Message>                                                                                     \
    void name(Message&& message, const UserInfo& userInfo = noUserInfo, CallSite site = std::source_location::current()) { \
        PRQLogger::defaultLogger()->name(std::forward<Message>(message), userInfo, site);                                  \
    }                                                                                                                      \
    inline void name(const UserInfo& userInfo = noUserInfo, CallSite site = std::source_location::current()) {             \
        PRQLogger::defaultLogger()->name(userInfo, site);                                                                  \
    }                                                                                                                      \
    template <std::invocable Closure>                                                                                      \
    void name##Exec(Closure&& closure) {                                                                                   \
        PRQLogger::defaultLogger()->name##Exec(std::forward<Closure>(closure));                                            \
    }
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(verbose)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(debug)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(info)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(notice)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(warning)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(error)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(severe)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(alert)
PRQ_DEFAULT_LOGGER_LEVEL_CALLS(emergency)
#undef PRQ_DEFAULT_LOGGER_LEVEL_CALLS

}  // namespace prq
