#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/foundation/HTTPURLResponse.hpp"
#include "platform/foundation/URLAuthenticationChallenge.hpp"
#include "platform/foundation/URLConnection.hpp"
#include "platform/foundation/URLConnectionDelegate.hpp"
#include "platform/foundation/URLRequest.hpp"

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace corvantis {

// One URL request run as an asynchronous operation over a URL connection: it collects the
// response and the body, reports progress, answers authentication challenges, retries failed
// transfers after a delay when asked to, and ends with one call of its completion handler.
// `start`, `cancel` and `finish` run under the operation's own lock; the connection's events
// arrive on the main queue. Set the handlers and retry settings before the start.
class RQOperation final : public platform::foundation::URLConnectionDelegate, public std::enable_shared_from_this<RQOperation> {
public:
    using Request = std::shared_ptr<const platform::foundation::URLRequest>;
    // The last response, the body received so far, and the error the transfer ended with.
    using CompletionHandler = std::function<void(const std::optional<platform::foundation::HTTPURLResponse>& response,
                                                 const std::optional<std::string>& data,
                                                 const std::optional<platform::foundation::DomainError>& error)>;
    // Bytes moved so far, bytes expected (0 when unknown) and their quotient (0 when unknown).
    using ProgressHandler = std::function<void(long long bytes, long long expectedBytes, float fraction)>;
    using AuthenticationChallengeHandler = std::function<void(const platform::foundation::URLAuthenticationChallenge&)>;
    // Hears every change of `isExecuting`, with its new value.
    using ExecutingObserver = std::function<void(RQOperation& operation, bool isExecuting)>;

    static constexpr const char* httpResponseErrorDomain = "HTTPResponseErrorDomain";

    // An idle operation with a connection for `request` that is made but not started.
    static std::shared_ptr<RQOperation> operationWithRequest(Request request);

    // The codes retried when an operation has no set of its own: time-out, host not found,
    // cannot connect, DNS failure, offline, connection lost.
    static const std::set<long>& defaultAutoRetryErrorCodes();

    const Request& request() const { return request_; }
    bool isConcurrent() const { return true; }
    bool isExecuting() const;
    bool isFinished() const;
    bool isCancelled() const;
    std::shared_ptr<platform::foundation::URLConnection> connection() const;
    std::optional<platform::foundation::HTTPURLResponse> responseReceived() const;
    std::optional<std::string> accumulatedData() const;

    const std::set<long>& autoRetryErrorCodes() const;
    void setAutoRetryErrorCodes(std::set<long> codes);

    // Starts the transfer; does nothing while executing, once finished, or after a cancel.
    void start();
    // Stops the operation once: the completion handler runs at once, on this thread, with the
    // cancellation error. An operation that had not started is finished all the same, so that
    // a queue drops it; one that has finished only notes the cancel.
    void cancel();
    // Marks a running (or cancelled) operation finished; does nothing the second time.
    void finish();

    void addExecutingObserver(const void* observer, ExecutingObserver handler);
    void removeExecutingObserver(const void* observer);

    CompletionHandler completionHandler;
    ProgressHandler uploadProgressHandler;
    ProgressHandler downloadProgressHandler;
    AuthenticationChallengeHandler authenticationChallengeHandler;
    // Seconds between a failure and the retry.
    double autoRetryDelay = 5.0;
    bool autoRetry = false;

    void connectionDidReceiveResponse(platform::foundation::URLConnection& connection,
                                      const platform::foundation::HTTPURLResponse& response) override;
    void connectionDidReceiveData(platform::foundation::URLConnection& connection, const std::string& data) override;
    void connectionDidSendBodyData(platform::foundation::URLConnection& connection, long long bytesWritten,
                                   long long totalBytesWritten, long long totalBytesExpectedToWrite) override;
    void connectionDidFailWithError(platform::foundation::URLConnection& connection,
                                    const platform::foundation::DomainError& error) override;
    void connectionDidFinishLoading(platform::foundation::URLConnection& connection) override;
    void connectionDidReceiveAuthenticationChallenge(platform::foundation::URLConnection& connection,
                                                     const platform::foundation::URLAuthenticationChallenge& challenge) override;

private:
    explicit RQOperation(Request request);
    void retry();
    void notifyExecuting();
    std::optional<platform::foundation::DomainError> httpError() const;

    const Request request_;
    mutable std::recursive_mutex mutex_;
    std::shared_ptr<platform::foundation::URLConnection> connection_;
    std::optional<std::set<long>> autoRetryErrorCodes_;
    bool executing_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    std::optional<platform::foundation::HTTPURLResponse> responseReceived_;
    std::optional<std::string> accumulatedData_;
    std::vector<std::pair<const void*, ExecutingObserver>> executingObservers_;
};

}  // namespace corvantis
