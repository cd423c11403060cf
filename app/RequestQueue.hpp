#pragma once

#include "app/RQOperation.hpp"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvantis {

// A list of request operations of which at most `maxConcurrentRequestCount` run at a time,
// the running ones at the front; new ones join at the back (first in, first out) or right
// behind the running ones (last in, first out). Main queue only: its operations finish there.
class RequestQueue : public std::enable_shared_from_this<RequestQueue> {
public:
    static constexpr std::int32_t firstInFirstOut = 0;
    // Any mode but 0 is last in, first out.
    static constexpr std::int32_t lastInFirstOut = 1;
    // What a limit of 0 ("no limit") stands for.
    static constexpr unsigned unlimitedRequestCount = 2147483647;

    static std::shared_ptr<RequestQueue> make();
    // The process's shared queue, made on first use.
    static std::shared_ptr<RequestQueue> mainQueue();

    RequestQueue(const RequestQueue&) = delete;
    RequestQueue& operator=(const RequestQueue&) = delete;

    // Unless duplicates are allowed, first cancels the queued operations whose request equals
    // this one's; then queues it and starts what the limit allows. An operation that has
    // already finished (cancelled before it was added) is not queued.
    void addOperation(std::shared_ptr<RQOperation> operation);
    void addRequest(RQOperation::Request request, RQOperation::CompletionHandler completionHandler);
    // Cancels the operations that run this very request object.
    void cancelRequest(const RQOperation::Request& request);
    // Empties the list, then cancels every operation that was in it.
    void cancelAllRequests();
    // Starts the first operations of the list, as many as the limit allows, unless suspended.
    void dequeueOperations();

    bool isSuspended() const { return suspended_; }
    void setSuspended(bool suspended);

    const std::vector<std::shared_ptr<RQOperation>>& operations() const { return operations_; }
    std::size_t requestCount() const { return operations_.size(); }
    std::vector<RQOperation::Request> requests() const;

    bool allowDuplicateRequests = false;
    std::int32_t queueMode = firstInFirstOut;
    // Takes effect at the next add, completion or resumption.
    unsigned maxConcurrentRequestCount = 2;

private:
    RequestQueue() = default;
    void operationChangedExecuting(RQOperation& operation, bool isExecuting);

    bool suspended_ = false;
    std::vector<std::shared_ptr<RQOperation>> operations_;
};

}  // namespace corvantis
