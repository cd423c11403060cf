#include "app/RequestQueue.hpp"

#include <algorithm>
#include <ranges>

namespace corvantis {

std::shared_ptr<RequestQueue> RequestQueue::make() {
    return std::shared_ptr<RequestQueue>(new RequestQueue());
}

std::shared_ptr<RequestQueue> RequestQueue::mainQueue() {
    static const auto queue = make();
    return queue;
}

void RequestQueue::addOperation(std::shared_ptr<RQOperation> operation) {
    if (!allowDuplicateRequests) {
        // A cancelled operation leaves the list at once, so walk a copy of it.
        const auto queued = operations_;
        for (const auto& other : std::views::reverse(queued)) {
            if (*other->request() == *operation->request()) other->cancel();
        }
    }
    if (operation->isFinished()) return;
    auto position = operations_.end();
    if (queueMode != firstInFirstOut) {
        position = std::ranges::find_if(operations_, [](const auto& queued) { return !queued->isExecuting(); });
    }
    operations_.insert(position, operation);
    operation->addExecutingObserver(this, [queue = weak_from_this()](RQOperation& changed, bool isExecuting) {
        if (const auto self = queue.lock()) self->operationChangedExecuting(changed, isExecuting);
    });
    dequeueOperations();
}

void RequestQueue::addRequest(RQOperation::Request request, RQOperation::CompletionHandler completionHandler) {
    auto operation = RQOperation::operationWithRequest(std::move(request));
    operation->completionHandler = std::move(completionHandler);
    addOperation(std::move(operation));
}

void RequestQueue::cancelRequest(const RQOperation::Request& request) {
    const auto queued = operations_;
    for (const auto& operation : std::views::reverse(queued)) {
        if (operation->request() == request) operation->cancel();
    }
}

void RequestQueue::cancelAllRequests() {
    const auto queued = std::exchange(operations_, {});
    for (const auto& operation : queued) operation->cancel();
}

void RequestQueue::setSuspended(bool suspended) {
    suspended_ = suspended;
    dequeueOperations();
}

void RequestQueue::dequeueOperations() {
    if (suspended_) return;
    const std::size_t limit = maxConcurrentRequestCount == 0 ? unlimitedRequestCount : maxConcurrentRequestCount;
    // Starting one may finish it at once and change the list: start from a copy.
    const auto queued = operations_;
    const std::size_t count = std::min(queued.size(), limit);
    for (std::size_t index = 0; index < count; ++index) queued[index]->start();
}

std::vector<RQOperation::Request> RequestQueue::requests() const {
    std::vector<RQOperation::Request> requests;
    for (const auto& operation : operations_) requests.push_back(operation->request());
    return requests;
}

void RequestQueue::operationChangedExecuting(RQOperation& operation, bool isExecuting) {
    if (isExecuting) return;
    operation.removeExecutingObserver(this);
    std::erase_if(operations_, [&](const auto& queued) { return queued.get() == &operation; });
    dequeueOperations();
}

}  // namespace corvantis
