#pragma once

#include "platform/foundation/DomainError.hpp"
#include "platform/foundation/HTTPURLResponse.hpp"
#include "platform/foundation/URLRequest.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform::foundation {

// One transfer created by a session. Nothing is sent before `resume`.
class URLSessionDataTask {
public:
    virtual ~URLSessionDataTask() = default;
    // Starts the transfer; later calls do nothing.
    virtual void resume() = 0;
    // Stops the transfer; its completion reports `URLError::cancelled` unless it has already run.
    virtual void cancel() = 0;
};

// Follows one transfer as it happens. The events of a task come one at a time, in order, on a
// queue of the session: body pieces sent, the response head (once, before any body data), body
// pieces received, and last the completion.
class URLSessionDataDelegate {
public:
    virtual ~URLSessionDataDelegate() = default;

    virtual void didSendBodyData(long long bytesSent, long long totalBytesSent, long long totalBytesExpectedToSend) = 0;
    virtual void didReceiveResponse(const HTTPURLResponse& response) = 0;
    virtual void didReceiveData(std::string data) = 0;
    // The transfer ended: with `error` when it failed, else after the whole body.
    virtual void didCompleteWithError(std::optional<DomainError> error) = 0;
};

// Runs HTTP(S) requests in the background.
class URLSession {
public:
    // Exactly one of two shapes: reply data (possibly empty) with the response, or no data with
    // the transport error (and the response, when one had arrived).
    using CompletionHandler = std::function<void(std::optional<std::string> data, std::optional<HTTPURLResponse> response,
                                                 std::optional<DomainError> error)>;

    virtual ~URLSession() = default;

    // A task for `request`; `completion` runs once, on a queue of the session (never the caller's thread).
    virtual std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request, CompletionHandler completion) = 0;
    // A task that reports to `delegate` as the transfer goes. A session that cannot follow a
    // transfer piece by piece reports it whole when it ends: the body sent, the head, the body.
    virtual std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request, std::shared_ptr<URLSessionDataDelegate> delegate);

    // The session in force: the installed platform services' one, else the process's own.
    static std::shared_ptr<URLSession> shared();
};

}  // namespace platform::foundation
