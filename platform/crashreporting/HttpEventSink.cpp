#include "platform/crashreporting/HttpEventSink.hpp"

#include "platform/crashreporting/EventPayload.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/URLSession.hpp"

#include <condition_variable>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>

namespace platform::crashreporting {

// What the deliveries share with the sink; they may end after the sink is gone.
struct HttpEventSink::State {
    std::mutex mutex;
    std::condition_variable idle;
    std::map<std::uint64_t, std::shared_ptr<foundation::URLSessionDataTask>> travelling;
    std::uint64_t nextDelivery = 0;
    bool failureReported = false;
    // Set while the sink cancels what travels: those ends are no failures of the service.
    bool closing = false;

    void finished(std::uint64_t delivery) {
        std::lock_guard lock(mutex);
        travelling.erase(delivery);
        if (travelling.empty()) idle.notify_all();
    }

    // Only the first failure is written: a dead service must not flood the console.
    void failed(const std::string& why) {
        {
            std::lock_guard lock(mutex);
            if (failureReported || closing) return;
            failureReported = true;
        }
        foundation::consoleLog("Crash reports cannot be delivered: " + why);
    }
};

HttpEventSink::HttpEventSink(Dsn dsn, std::string clientName, bool debug, std::shared_ptr<foundation::URLSession> session)
    : dsn_(std::move(dsn)),
      clientName_(std::move(clientName)),
      debug_(debug),
      session_(std::move(session)),
      state_(std::make_shared<State>()) {}

HttpEventSink::~HttpEventSink() {
    std::map<std::uint64_t, std::shared_ptr<foundation::URLSessionDataTask>> travelling;
    {
        std::lock_guard lock(state_->mutex);
        state_->closing = true;
        travelling.swap(state_->travelling);
    }
    for (const auto& [delivery, task] : travelling) task->cancel();
}

void HttpEventSink::send(Event event) {
    const auto eventId = newEventId();
    foundation::URLRequest request;
    request.url = dsn_.storeUrl;
    request.httpMethod = "POST";
    request.timeoutInterval = deliveryTimeout;
    request.setValue("application/json", "Content-Type");
    request.setValue("Sentry sentry_version=7, sentry_client=" + clientName_ + ", sentry_key=" + dsn_.publicKey, "X-Sentry-Auth");
    request.httpBody = eventPayload(event, eventId, clientName_).dump();

    std::unique_lock lock(state_->mutex);
    if (state_->travelling.size() >= maximumInFlight) {
        lock.unlock();
        state_->failed("too many reports are waiting for the service; this one is dropped");
        return;
    }
    const auto delivery = state_->nextDelivery++;
    const bool debug = debug_;
    auto task = session_->dataTask(
        std::move(request), [state = std::weak_ptr<State>(state_), delivery, eventId, debug, url = dsn_.storeUrl](
                                std::optional<std::string>, std::optional<foundation::HTTPURLResponse> response,
                                std::optional<foundation::DomainError> error) {
            const auto shared = state.lock();
            if (!shared) return;
            if (error || !response || response->statusCode / 100 != 2) {
                shared->failed(error ? url + ": " + error->localizedDescription
                                     : url + " answered " + std::to_string(response ? response->statusCode : 0));
            } else if (debug) {
                foundation::consoleLog("Crash report " + eventId + " delivered");
            }
            shared->finished(delivery);
        });
    state_->travelling.emplace(delivery, task);
    lock.unlock();
    task->resume();
}

bool HttpEventSink::flush(dispatch::Duration timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->idle.wait_for(lock, timeout, [&] { return state_->travelling.empty(); });
}

}  // namespace platform::crashreporting
