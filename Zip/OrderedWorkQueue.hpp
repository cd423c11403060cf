#pragma once

#include "platform/dispatch/ThreadPoolQueue.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace corvantis::zip {

inline unsigned processorCount() {
    return std::max(1u, std::thread::hardware_concurrency());
}

// How many threads an archive operation over `bytes` of data uses: one per processor, but only
// the caller's for small work, where handing pieces to workers costs more than it saves.
inline unsigned threadsFor(std::uint64_t bytes) {
    constexpr std::uint64_t smallWork = std::uint64_t{1} << 20;
    return bytes < smallWork ? 1 : processorCount();
}

// The workers that every archive operation shares, one per processor: started by the first
// operation that needs them and kept, so later ones start no threads. Never destroyed: an
// operation may still run while static objects are torn down. No work on them waits for other
// work on them, so operations on several threads share them safely.
inline const std::shared_ptr<platform::dispatch::ThreadPoolQueue>& sharedWorkers() {
    static const auto* workers = new std::shared_ptr<platform::dispatch::ThreadPoolQueue>(
        platform::dispatch::ThreadPoolQueue::concurrent("com.corvantis.zip", processorCount()));
    return *workers;
}

// Runs pieces of work on the shared workers and hands their results back in the order the work
// came in. At most `window` pieces are in flight: the caller checks `full()` and takes the oldest
// result before it submits more, so memory stays bounded. With one thread the work runs at once
// on the caller's thread.
//
// Used from one thread only. A piece of work touches only what it captured and its own result
// slot, which is filled under the lock; it must not throw (a throwing piece gives `Result{}`).
// Destruction waits for the pieces already running and skips the rest, so work may capture
// references to whatever outlives the queue.
template <class Result>
class OrderedWorkQueue {
public:
    OrderedWorkQueue(unsigned threads, std::size_t window) : window_(threads > 1 ? std::max<std::size_t>(window, 1) : 1) {
        if (threads > 1) workers_ = sharedWorkers();
    }
    ~OrderedWorkQueue() {
        std::unique_lock lock(shared_->mutex);
        shared_->abandoned = true;
        shared_->finished.wait(lock, [this] {
            for (const auto& slot : slots_) {
                if (!slot->ready) return false;
            }
            return true;
        });
    }
    OrderedWorkQueue(const OrderedWorkQueue&) = delete;
    OrderedWorkQueue& operator=(const OrderedWorkQueue&) = delete;

    bool full() const { return slots_.size() >= window_; }
    bool empty() const { return slots_.empty(); }

    void submit(std::function<Result()> work) {
        auto slot = std::make_shared<Slot>();
        slots_.push_back(slot);
        if (!workers_) {
            slot->result = perform(work);
            slot->ready = true;
            return;
        }
        workers_->async([shared = shared_, slot, work = std::move(work)] {
            bool abandoned = false;
            {
                std::lock_guard lock(shared->mutex);
                abandoned = shared->abandoned;
            }
            Result result = abandoned ? Result{} : perform(work);
            {
                std::lock_guard lock(shared->mutex);
                slot->result = std::move(result);
                slot->ready = true;
            }
            shared->finished.notify_all();
        });
    }

    // The oldest piece's result, waiting for it if need be. Not to be called when empty.
    Result takeOldest() {
        const auto slot = slots_.front();
        slots_.pop_front();
        std::unique_lock lock(shared_->mutex);
        shared_->finished.wait(lock, [&] { return slot->ready; });
        return std::move(slot->result);
    }

private:
    struct Slot {
        bool ready = false;
        Result result;
    };
    struct Shared {
        std::mutex mutex;
        std::condition_variable finished;
        bool abandoned = false;
    };

    static Result perform(const std::function<Result()>& work) noexcept {
        try {
            return work();
        } catch (...) {
            return Result{};
        }
    }

    std::size_t window_;
    std::shared_ptr<Shared> shared_ = std::make_shared<Shared>();
    std::deque<std::shared_ptr<Slot>> slots_;
    std::shared_ptr<platform::dispatch::ThreadPoolQueue> workers_;
};

}  // namespace corvantis::zip
