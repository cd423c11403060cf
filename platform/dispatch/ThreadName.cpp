#include "platform/dispatch/ThreadName.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/Utf8.hpp"

#include <pthread.h>
#include <unistd.h>

namespace platform::dispatch {

namespace {
thread_local std::optional<std::string> threadName;
thread_local const std::string* queueLabel = nullptr;
// Asked on every log line: a thread's answer never changes, so ask the kernel once per thread.
thread_local std::optional<bool> mainThread;

// After fork() the calling thread is the child's first thread.
const int forgetAfterFork = ::pthread_atfork(nullptr, nullptr, [] {
    mainThread.reset();
    ++detail::threadIdentityVersion;
});

}  // namespace

bool isMainThread() {
    if (!mainThread) mainThread = gettid() == getpid();
    return *mainThread;
}

std::string currentThreadName() {
    if (threadName) return *threadName;
    return isMainThread() ? "main" : std::string();
}

void setCurrentThreadName(std::string name) {
    // The kernel keeps 15 bytes; the full name stays ours.
    pthread_setname_np(pthread_self(), name.substr(0, 15).c_str());
    threadName = std::move(name);
    ++detail::threadIdentityVersion;
}

std::optional<std::string> currentQueueLabel() {
    std::string label;
    if (queueLabel) {
        label = *queueLabel;
    } else if (isMainThread()) {
        label = DispatchQueue::mainLabel;
    }
    if (!foundation::isValidUtf8(label)) return std::nullopt;
    return label;
}

QueueLabelScope::QueueLabelScope(const std::string& label) : previous_(queueLabel) {
    queueLabel = &label;
    ++detail::threadIdentityVersion;
}

QueueLabelScope::~QueueLabelScope() {
    queueLabel = previous_;
    ++detail::threadIdentityVersion;
}

}  // namespace platform::dispatch
