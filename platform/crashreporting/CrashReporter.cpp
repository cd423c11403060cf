#include "platform/crashreporting/CrashReporter.hpp"

#include "platform/Services.hpp"

namespace platform::crashreporting {

std::shared_ptr<CrashReporter> CrashReporter::current() {
    return Services::current().crashReporter();
}

void CrashReporter::start(Options options, std::shared_ptr<EventSink> sink) {
    std::lock_guard lock(mutex_);
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
    {
        std::lock_guard lock(mutex_);
        if (!sink_) return;
        Scope eventScope = scope_;
        configureEventScope(eventScope);
        eventScope.applyTo(event);
        sink = sink_;
        beforeSend = options_.beforeSend;
    }
    if (beforeSend) {
        auto kept = beforeSend(std::move(event));
        if (!kept) return;
        event = std::move(*kept);
    }
    sink->send(std::move(event));
}

bool CrashReporter::flush(dispatch::Duration timeout) {
    std::shared_ptr<EventSink> sink;
    {
        std::lock_guard lock(mutex_);
        sink = sink_;
    }
    return !sink || sink->flush(timeout);
}

Scope CrashReporter::scope() const {
    std::lock_guard lock(mutex_);
    return scope_;
}

}  // namespace platform::crashreporting
