#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace platform::dispatch {

// A block of work that can be cancelled until it begins.
class WorkItem {
public:
    explicit WorkItem(std::function<void()> block) : block_(std::move(block)) {}

    static std::shared_ptr<WorkItem> make(std::function<void()> block) { return std::make_shared<WorkItem>(std::move(block)); }

    // Runs the block unless the item was cancelled first.
    void perform() {
        if (!cancelled_.load(std::memory_order_acquire)) block_();
    }
    // Stops an item that has not begun; one that is running finishes.
    void cancel() { cancelled_.store(true, std::memory_order_release); }
    bool isCancelled() const { return cancelled_.load(std::memory_order_acquire); }

private:
    std::function<void()> block_;
    std::atomic<bool> cancelled_{false};
};

using WorkItemPtr = std::shared_ptr<WorkItem>;

}  // namespace platform::dispatch
