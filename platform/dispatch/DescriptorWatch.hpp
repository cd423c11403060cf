#pragma once

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::dispatch {

// Runs a handler on a queue whenever a descriptor has something to read, as a read source of
// the run loop would: a small thread waits on the descriptor, hands the handler to the queue and
// waits again only once the handler has run, so that one burst of input means one call. The
// handler must read what is there. Stops (and joins the thread) when destroyed; destroy it on a
// thread other than the waiting one, normally the queue's own.
class DescriptorWatch {
public:
    DescriptorWatch(int descriptor, std::function<void()> handler, DispatchQueuePtr queue = DispatchQueue::main());
    ~DescriptorWatch();
    DescriptorWatch(const DescriptorWatch&) = delete;
    DescriptorWatch& operator=(const DescriptorWatch&) = delete;

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable handled;
        bool pending = false;
        bool stopped = false;
        std::function<void()> handler;
    };

    void wait();

    const int descriptor_;
    DispatchQueuePtr queue_;
    std::shared_ptr<Shared> shared_;
    foundation::FileDescriptor wakeup_;  // an eventfd that ends the wait
    std::thread thread_;
};

}  // namespace platform::dispatch
