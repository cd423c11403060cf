#pragma once

#include "platform/crashreporting/EventSink.hpp"
#include "platform/crashreporting/Scope.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::crashreporting {

// The crash-reporting client: a scope of contexts, extras, user and breadcrumbs, and messages
// captured as events with that scope. Until `start` is called with a sink, every call is
// ignored, as the service's own client does while it has no DSN. Safe from any thread.
// A captured event is handed to the before-send hook and the sink on a serial queue of the
// reporter's own, in capture order: a hook that masks a long reply never holds up the caller
// (the main queue, mostly). At most `maximumWaiting` events wait there; further ones are
// dropped.
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

    static constexpr std::size_t maximumWaiting = 100;

    // Gives the events already captured up to `timeout` to pass the hook and reach the service
    // (at quit); false when some had not by then.
    bool flush(dispatch::Duration timeout);

    // A copy of the scope as it stands.
    Scope scope() const;

private:
    // The events between capture and sink.
    struct Waiting {
        std::mutex mutex;
        std::condition_variable idle;
        std::size_t count = 0;
    };

    mutable std::mutex mutex_;
    std::shared_ptr<dispatch::ThreadPoolQueue> queue_;
    const std::shared_ptr<Waiting> waiting_ = std::make_shared<Waiting>();
    Options options_;
    std::shared_ptr<EventSink> sink_;
    Scope scope_;
};

}  // namespace platform::crashreporting
