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

    // The session in force: the installed platform services' one, else the process's own.
    static std::shared_ptr<URLSession> shared();
};

}  // namespace platform::foundation
