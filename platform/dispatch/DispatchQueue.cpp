#include "platform/dispatch/DispatchQueue.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"

#include <exception>
#include <future>

namespace platform::dispatch {

namespace {
thread_local const DispatchQueue* runningQueue = nullptr;

class RunningQueueScope {
public:
    explicit RunningQueueScope(const DispatchQueue* queue) : previous_(runningQueue), label_(queue->label()) {
        runningQueue = queue;
    }
    ~RunningQueueScope() { runningQueue = previous_; }
    RunningQueueScope(const RunningQueueScope&) = delete;
    RunningQueueScope& operator=(const RunningQueueScope&) = delete;

private:
    const DispatchQueue* previous_;
    QueueLabelScope label_;
};
}  // namespace

void DispatchQueue::async(WorkItemPtr item) {
    async([item = std::move(item)] { item->perform(); });
}

void DispatchQueue::asyncAfter(Duration delay, std::function<void()> work) {
    auto clock = Services::current().clock();
    const TimePoint due = clock->now() + delay;
    clock->schedule(due, [queue = shared_from_this(), work = std::move(work)]() mutable { queue->async(std::move(work)); });
}

void DispatchQueue::asyncAfter(Duration delay, WorkItemPtr item) {
    asyncAfter(delay, [item = std::move(item)] { item->perform(); });
}

void DispatchQueue::sync(const std::function<void()>& work) {
    if (isCurrent()) {
        work();
        return;
    }
    std::promise<void> done;
    async([&] {
        try {
            work();
            done.set_value();
        } catch (...) {
            done.set_exception(std::current_exception());
        }
    });
    done.get_future().get();
}

bool DispatchQueue::isCurrent() const {
    if (runningQueue != nullptr) return runningQueue == this;
    // Outside any queue's work the main thread counts as running the main queue.
    return isMainThread() && Services::current().mainQueue().get() == this;
}

void DispatchQueue::perform(const std::function<void()>& work) const {
    RunningQueueScope scope(this);
    work();
}

std::shared_ptr<DispatchQueue> DispatchQueue::main() {
    return Services::current().mainQueue();
}

std::shared_ptr<DispatchQueue> DispatchQueue::global() {
    // Never destroyed: work may still be queued while static objects are torn down.
    static auto* pool = new std::shared_ptr<DispatchQueue>(ThreadPoolQueue::concurrent(globalLabel));
    return *pool;
}

}  // namespace platform::dispatch
