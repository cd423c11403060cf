#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace platform::dispatch {

// The process's first thread, where the application's run loop lives.
bool isMainThread();

// Our own per-thread names: the main thread is "main"; other threads have none until named.
// (The system's thread name falls back to the process name, which would hide unnamed threads.)
std::string currentThreadName();
void setCurrentThreadName(std::string name);

// Label of the queue whose work is running on this thread: the main queue's label on the main
// thread, empty text on a thread that runs no queue.
std::optional<std::string> currentQueueLabel();

namespace detail {
inline thread_local std::uint64_t threadIdentityVersion = 1;
}

// A number that changes on this thread whenever what `isMainThread`, `currentThreadName` or
// `currentQueueLabel` answer may have changed, so that text made from them can be kept per
// thread and made again only then. Never 0. Every log line asks, so the asking is inline.
inline std::uint64_t currentThreadIdentityVersion() {
    return detail::threadIdentityVersion;
}

// Marks the queue label for the work that runs on this thread while the scope lasts.
class QueueLabelScope {
public:
    explicit QueueLabelScope(const std::string& label);
    ~QueueLabelScope();
    QueueLabelScope(const QueueLabelScope&) = delete;
    QueueLabelScope& operator=(const QueueLabelScope&) = delete;

private:
    const std::string* previous_;
};

}  // namespace platform::dispatch
