#pragma once

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/URLSession.hpp"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace platform::foundation {

// The URL session over libcurl. One thread of its own drives every transfer; completions and
// delegate events run on a serial queue of the session, in the order they happen.
//
// What every transfer gets: the request's time-out as the longest silence while connecting or
// receiving; redirects followed within HTTP(S); no cookies sent or kept; peer and host
// verification always on; plain HTTP only to this machine (loopback), any other plain-HTTP
// address is refused as the platform's transport security does; replies larger than the
// configured maximum, or than the request's own when that is smaller, are refused rather than
// held in memory.
class CurlURLSession final : public URLSession, public std::enable_shared_from_this<CurlURLSession> {
public:
    struct Configuration {
        std::size_t maximumResponseSize = 64 * 1024 * 1024;
    };

    static std::shared_ptr<CurlURLSession> make(Configuration configuration);
    static std::shared_ptr<CurlURLSession> make() { return make(Configuration{}); }
    // The process's own session, alive for the whole run.
    static std::shared_ptr<CurlURLSession> processSession();

    // Cancels what is still running (each completion reports the cancellation) and ends the thread.
    ~CurlURLSession() override;
    CurlURLSession(const CurlURLSession&) = delete;
    CurlURLSession& operator=(const CurlURLSession&) = delete;

    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request, CompletionHandler completion) override;
    // Follows the transfer as it goes: each piece of body sent or received as libcurl moves it.
    std::shared_ptr<URLSessionDataTask> dataTask(URLRequest request, std::shared_ptr<URLSessionDataDelegate> delegate) override;

    // The URL error for a failed libcurl transfer. `networkAvailable` tells an unreachable host
    // from a computer that has no network at all.
    static DomainError errorForTransferResult(int curlCode, bool networkAvailable);

private:
    class Transfer;
    class Task;

    explicit CurlURLSession(Configuration configuration);
    std::size_t maximumResponseSizeFor(const URLRequest& request) const;
    void start(const std::shared_ptr<Transfer>& transfer);
    void cancel(const std::shared_ptr<Transfer>& transfer);
    void complete(const std::shared_ptr<Transfer>& transfer, std::optional<DomainError> error);
    void run();
    void admitPending();
    void finishDone();

    const Configuration configuration_;
    const dispatch::DispatchQueuePtr delegateQueue_;
    void* multi_ = nullptr;  // CURLM*, used only by the transfer thread after construction

    std::mutex mutex_;
    std::vector<std::shared_ptr<Transfer>> pendingStarts_;
    std::vector<std::shared_ptr<Transfer>> pendingCancels_;
    bool stopping_ = false;

    std::vector<std::shared_ptr<Transfer>> running_;  // transfer thread only
    std::thread thread_;
};

}  // namespace platform::foundation
