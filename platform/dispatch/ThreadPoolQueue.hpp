#pragma once

#include "platform/dispatch/DispatchQueue.hpp"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::dispatch {

// A queue served by worker threads of its own: one thread makes a serial queue that runs its
// work in submission order; several make a concurrent pool. Pending work keeps the queue alive.
class ThreadPoolQueue final : public DispatchQueue {
public:
    static std::shared_ptr<ThreadPoolQueue> serial(std::string label = {});
    static std::shared_ptr<ThreadPoolQueue> concurrent(std::string label, unsigned threads = 0);

    ~ThreadPoolQueue() override;

    using DispatchQueue::async;
    void async(std::function<void()> work) override;

private:
    struct Task {
        std::shared_ptr<ThreadPoolQueue> queue;
        std::function<void()> work;
    };
    struct State {
        std::mutex mutex;
        std::condition_variable wake;
        std::deque<Task> tasks;
        bool stopping = false;
    };

    ThreadPoolQueue(std::string label, unsigned threads);
    static void workerLoop(const std::shared_ptr<State>& state, std::string threadName);

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::vector<std::thread> workers_;
};

}  // namespace platform::dispatch
