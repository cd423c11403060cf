#pragma once

#include "platform/crashreporting/EventSink.hpp"
#include "platform/crashreporting/Scope.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::crashreporting {

// The crash-reporting client: a scope of contexts, extras, user and breadcrumbs, and messages
// captured as events with that scope. Until `start` is called with a sink, every call is
// ignored, as the service's own client does while it has no DSN. Safe from any thread.
class CrashReporter {
public:
    struct Options {
        // Where the service receives events; empty means nothing is sent.
        std::string dsn{};
        bool debug = false;
        std::size_t maximumBreadcrumbs = 100;
        // Sees every event last and may change it or drop it (none).
        std::function<std::optional<Event>(Event)> beforeSend{};
    };

    // The reporter in force: the installed platform services' one, else the process's own.
    static std::shared_ptr<CrashReporter> current();

    // Begins reporting to `sink` (the DSN's endpoint, or a recorder); a null sink keeps the
    // reporter off. Starting again replaces options and sink and empties the scope.
    void start(Options options, std::shared_ptr<EventSink> sink);
    bool isEnabled() const;

    void addBreadcrumb(Breadcrumb breadcrumb);
    void configureScope(const std::function<void(Scope&)>& configure);
    void setUser(std::optional<User> user);
    void captureMessage(std::string message);
    // Captures a message with changes (extras and the like) that apply to this event only.
    void captureMessage(std::string message, const std::function<void(Scope&)>& configureEventScope);

    // Gives the events already captured up to `timeout` to reach the service (at quit); false
    // when some had not by then.
    bool flush(dispatch::Duration timeout);

    // A copy of the scope as it stands.
    Scope scope() const;

private:
    mutable std::mutex mutex_;
    Options options_;
    std::shared_ptr<EventSink> sink_;
    Scope scope_;
};

}  // namespace platform::crashreporting
