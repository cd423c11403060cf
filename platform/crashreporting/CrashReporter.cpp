#include "platform/crashreporting/CrashReporter.hpp"

#include "platform/Services.hpp"

#include <algorithm>

namespace platform::crashreporting {

std::shared_ptr<CrashReporter> CrashReporter::current() {
    return Services::current().crashReporter();
}

void CrashReporter::start(Options options, std::shared_ptr<EventSink> sink) {
    std::lock_guard lock(mutex_);
    if (!queue_) queue_ = dispatch::ThreadPoolQueue::serial("com.corvantis.crash-reports");
    scope_ = Scope(options.maximumBreadcrumbs);
    options_ = std::move(options);
    sink_ = std::move(sink);
}

bool CrashReporter::isEnabled() const {
    std::lock_guard lock(mutex_);
    return sink_ != nullptr;
}

void CrashReporter::addBreadcrumb(Breadcrumb breadcrumb) {
    if (breadcrumb.timestamp == dispatch::WallTime{}) breadcrumb.timestamp = Services::current().clock()->wallNow();
    std::lock_guard lock(mutex_);
    if (sink_) scope_.addBreadcrumb(std::move(breadcrumb));
}

void CrashReporter::configureScope(const std::function<void(Scope&)>& configure) {
    std::lock_guard lock(mutex_);
    if (sink_) configure(scope_);
}

void CrashReporter::setUser(std::optional<User> user) {
    std::lock_guard lock(mutex_);
    if (sink_) scope_.setUser(std::move(user));
}

void CrashReporter::captureMessage(std::string message) {
    captureMessage(std::move(message), [](Scope&) {});
}

void CrashReporter::captureMessage(std::string message, const std::function<void(Scope&)>& configureEventScope) {
    Event event;
    event.message = std::move(message);
    event.timestamp = Services::current().clock()->wallNow();
    std::shared_ptr<EventSink> sink;
    std::function<std::optional<Event>(Event)> beforeSend;
    std::shared_ptr<dispatch::ThreadPoolQueue> queue;
    {
        std::lock_guard lock(mutex_);
        if (!sink_) return;
        Scope eventScope = scope_;
        configureEventScope(eventScope);
        eventScope.applyTo(event);
        sink = sink_;
        beforeSend = options_.beforeSend;
        queue = queue_;
    }
    {
        std::lock_guard lock(waiting_->mutex);
        if (waiting_->count >= maximumWaiting) return;
        ++waiting_->count;
    }
    queue->async(
        [event = std::move(event), sink = std::move(sink), beforeSend = std::move(beforeSend), waiting = waiting_]() mutable {
            std::optional<Event> kept = beforeSend ? beforeSend(std::move(event)) : std::move(event);
            if (kept) sink->send(std::move(*kept));
            std::lock_guard lock(waiting->mutex);
            if (--waiting->count == 0) waiting->idle.notify_all();
        });
}

bool CrashReporter::flush(dispatch::Duration timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    {
        std::unique_lock lock(waiting_->mutex);
        if (!waiting_->idle.wait_until(lock, deadline, [&] { return waiting_->count == 0; })) return false;
    }
    std::shared_ptr<EventSink> sink;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    return !sink || sink->flush(std::max(dispatch::Duration::zero(), std::chrono::duration_cast<dispatch::Duration>(
                                                                         deadline - std::chrono::steady_clock::now())));
}

Scope CrashReporter::scope() const {
    std::lock_guard lock(mutex_);
    return scope_;
}

}  // namespace platform::crashreporting
