#include "platform/dispatch/ThreadPoolQueue.hpp"

#include "platform/dispatch/ThreadName.hpp"

#include <algorithm>

namespace platform::dispatch {

std::shared_ptr<ThreadPoolQueue> ThreadPoolQueue::serial(std::string label) {
    return std::shared_ptr<ThreadPoolQueue>(new ThreadPoolQueue(std::move(label), 1));
}

std::shared_ptr<ThreadPoolQueue> ThreadPoolQueue::concurrent(std::string label, unsigned threads) {
    if (threads == 0) threads = std::max(4u, std::thread::hardware_concurrency());
    return std::shared_ptr<ThreadPoolQueue>(new ThreadPoolQueue(std::move(label), threads));
}

ThreadPoolQueue::ThreadPoolQueue(std::string label, unsigned threads) : DispatchQueue(std::move(label)) {
    workers_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        // Workers have no thread name of their own: log lines name them by the queue label.
        workers_.emplace_back(workerLoop, state_, std::string());
    }
}

ThreadPoolQueue::~ThreadPoolQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    for (auto& worker : workers_) {
        // The last reference can go inside one of our own tasks; that worker finishes by itself.
        if (worker.get_id() == std::this_thread::get_id()) {
            worker.detach();
        } else {
            worker.join();
        }
    }
}

void ThreadPoolQueue::async(std::function<void()> work) {
    auto self = std::static_pointer_cast<ThreadPoolQueue>(shared_from_this());
    {
        std::lock_guard lock(state_->mutex);
        state_->tasks.push_back(Task{std::move(self), std::move(work)});
    }
    state_->wake.notify_one();
}

void ThreadPoolQueue::workerLoop(const std::shared_ptr<State>& state, std::string threadName) {
    if (!threadName.empty()) setCurrentThreadName(std::move(threadName));
    for (;;) {
        Task task;
        {
            std::unique_lock lock(state->mutex);
            state->wake.wait(lock, [&] { return state->stopping || !state->tasks.empty(); });
            if (state->tasks.empty()) return;
            task = std::move(state->tasks.front());
            state->tasks.pop_front();
        }
        task.queue->perform(task.work);
        // Dropping the task may release the queue itself; only `state` is used after this.
    }
}

}  // namespace platform::dispatch
