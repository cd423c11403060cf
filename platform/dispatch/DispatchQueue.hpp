#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/WorkItem.hpp"

#include <functional>
#include <memory>
#include <string>

namespace platform::dispatch {

// A place to run work: the main queue, a global pool or a serial queue of one's own.
class DispatchQueue : public std::enable_shared_from_this<DispatchQueue> {
public:
    static constexpr const char* mainLabel = "com.apple.main-thread";
    static constexpr const char* globalLabel = "com.apple.root.default-qos";

    explicit DispatchQueue(std::string label) : label_(std::move(label)) {}
    virtual ~DispatchQueue() = default;
    DispatchQueue(const DispatchQueue&) = delete;
    DispatchQueue& operator=(const DispatchQueue&) = delete;

    const std::string& label() const { return label_; }

    // Submits work and returns at once; safe from any thread.
    virtual void async(std::function<void()> work) = 0;
    void async(WorkItemPtr item);
    // Submits work once `delay` has passed on the current clock.
    void asyncAfter(Duration delay, std::function<void()> work);
    void asyncAfter(Duration delay, WorkItemPtr item);
    // Runs work on the queue and waits for it; runs it inline when called from this queue's own work.
    void sync(const std::function<void()>& work);

    // Whether the calling thread is running work of this queue right now.
    bool isCurrent() const;

    // The application's main queue, from the installed platform services.
    static std::shared_ptr<DispatchQueue> main();
    // The process-wide pool for background work.
    static std::shared_ptr<DispatchQueue> global();

protected:
    // Runs one unit of work with this queue marked as current on the calling thread.
    void perform(const std::function<void()>& work) const;

private:
    const std::string label_;
};

using DispatchQueuePtr = std::shared_ptr<DispatchQueue>;

}  // namespace platform::dispatch
