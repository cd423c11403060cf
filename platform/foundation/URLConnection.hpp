#pragma once

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/URLAuthenticationChallenge.hpp"
#include "platform/foundation/URLConnectionDelegate.hpp"
#include "platform/foundation/URLRequest.hpp"
#include "platform/foundation/URLSession.hpp"

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace platform::foundation {

// One request run over the URL session in force, reporting to a delegate as it goes. It is
// made without starting; `start` sends the request, and the delegate hears every step on the
// queue the connection is scheduled on (the main queue, the application's run loop, unless
// another is set before the start).
//
// The delegate is held weakly until the start and strongly while the transfer runs, as the
// platform's connection keeps its delegate alive while loading. A server that refuses the
// request with HTTP Basic authentication raises a challenge instead of a response; TLS trust
// is never a challenge here, because the session verifies every peer itself.
class URLConnection final : public URLAuthenticationChallengeSender, public std::enable_shared_from_this<URLConnection> {
public:
    static std::shared_ptr<URLConnection> make(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate);

    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    const URLRequest& originalRequest() const { return request_; }

    // Where the delegate hears from the connection; takes effect only before the start.
    void scheduleInQueue(dispatch::DispatchQueuePtr queue);
    // Sends the request; a second start, or a start after `cancel`, does nothing.
    void start();
    // Stops the transfer; the delegate hears nothing more from this connection.
    void cancel();

    void useCredential(const URLCredential& credential, const URLAuthenticationChallenge& challenge) override;
    void continueWithoutCredentialForAuthenticationChallenge(const URLAuthenticationChallenge& challenge) override;
    void cancelAuthenticationChallenge(const URLAuthenticationChallenge& challenge) override;

private:
    class SessionEvents;
    // A refusal held back while its challenge waits for an answer.
    struct HeldRefusal {
        HTTPURLResponse response;
        std::string data;
    };

    URLConnection(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate);

    dispatch::DispatchQueuePtr scheduledQueue();
    void send(URLRequest request);
    // The delegate while the transfer runs; none once it has ended or was cancelled.
    std::shared_ptr<URLConnectionDelegate> loadingDelegate();
    // Lets go of the delegate once the transfer has ended.
    void end();
    void onSentBodyData(long long sent, long long total, long long expected);
    void onResponse(const HTTPURLResponse& response);
    void onData(const std::string& data);
    void onComplete(const std::optional<DomainError>& error);
    void fail(const DomainError& error);
    URLAuthenticationChallenge challengeFor(const HTTPURLResponse& refusal);

    const URLRequest request_;
    const std::weak_ptr<URLConnectionDelegate> delegate_;

    std::mutex mutex_;
    dispatch::DispatchQueuePtr queue_;
    std::shared_ptr<URLConnectionDelegate> loading_;
    std::shared_ptr<URLSessionDataTask> task_;
    bool started_ = false;
    std::atomic<bool> cancelled_{false};

    // Touched only on the scheduled queue.
    std::optional<HeldRefusal> held_;
    long failureCount_ = 0;
};

}  // namespace platform::foundation
