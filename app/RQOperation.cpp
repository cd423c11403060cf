#include "app/RQOperation.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/URLError.hpp"

#include <algorithm>
#include <chrono>

namespace corvantis {

namespace {
namespace URLError = platform::foundation::URLError;
using platform::foundation::DomainError;
using platform::foundation::HTTPURLResponse;
using platform::foundation::URLConnection;

constexpr int firstErrorStatus = 400;
constexpr const char* httpErrorKey = "The server returned a %i error";
// The body buffer is sized from the announced length only up to this much: the announcement
// comes from the server and may be anything.
constexpr long long largestReservation = 1 << 20;

float fractionOf(long long done, long long expected) {
    return expected > 0 ? static_cast<float>(done) / static_cast<float>(expected) : 0.0F;
}

std::string httpErrorDescription(int status) {
    auto text = platform::foundation::Bundle::main()->localizedString(httpErrorKey, "");
    if (const auto at = text.find("%i"); at != std::string::npos) text.replace(at, 2, std::to_string(status));
    return text;
}
}  // namespace

std::shared_ptr<RQOperation> RQOperation::operationWithRequest(Request request) {
    std::shared_ptr<RQOperation> operation(new RQOperation(std::move(request)));
    operation->connection_ = URLConnection::make(*operation->request_, operation);
    return operation;
}

RQOperation::RQOperation(Request request) : request_(std::move(request)) {}

const std::set<long>& RQOperation::defaultAutoRetryErrorCodes() {
    static const std::set<long> codes{
        URLError::timedOut,        URLError::cannotFindHost,         URLError::cannotConnectToHost,
        URLError::dnsLookupFailed, URLError::notConnectedToInternet, URLError::networkConnectionLost};
    return codes;
}

bool RQOperation::isExecuting() const {
    std::lock_guard lock(mutex_);
    return executing_;
}

bool RQOperation::isFinished() const {
    std::lock_guard lock(mutex_);
    return finished_;
}

bool RQOperation::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

std::shared_ptr<URLConnection> RQOperation::connection() const {
    std::lock_guard lock(mutex_);
    return connection_;
}

std::optional<HTTPURLResponse> RQOperation::responseReceived() const {
    std::lock_guard lock(mutex_);
    return responseReceived_;
}

std::optional<std::string> RQOperation::accumulatedData() const {
    std::lock_guard lock(mutex_);
    return accumulatedData_;
}

const std::set<long>& RQOperation::autoRetryErrorCodes() const {
    std::lock_guard lock(mutex_);
    return autoRetryErrorCodes_ ? *autoRetryErrorCodes_ : defaultAutoRetryErrorCodes();
}

void RQOperation::setAutoRetryErrorCodes(std::set<long> codes) {
    std::lock_guard lock(mutex_);
    autoRetryErrorCodes_ = std::move(codes);
}

void RQOperation::start() {
    std::lock_guard lock(mutex_);
    if (executing_ || finished_ || cancelled_) return;
    executing_ = true;
    connection_->scheduleInQueue(platform::dispatch::DispatchQueue::main());
    connection_->start();
    notifyExecuting();
}

void RQOperation::cancel() {
    std::lock_guard lock(mutex_);
    if (cancelled_) return;
    cancelled_ = true;
    // A finished operation has had its one completion already.
    if (finished_) return;
    connection_->cancel();
    connectionDidFailWithError(*connection_, URLError::make(URLError::cancelled));
}

void RQOperation::finish() {
    std::lock_guard lock(mutex_);
    if (finished_ || !(executing_ || cancelled_)) return;
    executing_ = false;
    finished_ = true;
    notifyExecuting();
}

void RQOperation::addExecutingObserver(const void* observer, ExecutingObserver handler) {
    std::lock_guard lock(mutex_);
    executingObservers_.emplace_back(observer, std::move(handler));
}

void RQOperation::removeExecutingObserver(const void* observer) {
    std::lock_guard lock(mutex_);
    std::erase_if(executingObservers_, [observer](const auto& entry) { return entry.first == observer; });
}

void RQOperation::notifyExecuting() {
    // An observer may stop observing while it is told, or let go of the last reference to this.
    const auto keepAlive = shared_from_this();
    const auto observers = executingObservers_;
    for (const auto& [observer, handler] : observers) handler(*this, executing_);
}

void RQOperation::connectionDidReceiveResponse(URLConnection&, const HTTPURLResponse& response) {
    std::lock_guard lock(mutex_);
    responseReceived_ = response;
}

void RQOperation::connectionDidReceiveData(URLConnection&, const std::string& data) {
    std::lock_guard lock(mutex_);
    const long long expected = std::max(0LL, responseReceived_ ? responseReceived_->expectedContentLength() : 0);
    if (!accumulatedData_) {
        accumulatedData_.emplace();
        accumulatedData_->reserve(static_cast<std::size_t>(std::min(expected, largestReservation)));
    }
    accumulatedData_->append(data);
    if (downloadProgressHandler) {
        const auto received = static_cast<long long>(accumulatedData_->size());
        downloadProgressHandler(received, expected, fractionOf(received, expected));
    }
}

void RQOperation::connectionDidSendBodyData(URLConnection&, long long, long long totalBytesWritten,
                                            long long totalBytesExpectedToWrite) {
    std::lock_guard lock(mutex_);
    if (uploadProgressHandler) {
        const long long expected = std::max(0LL, totalBytesExpectedToWrite);
        uploadProgressHandler(totalBytesWritten, expected, fractionOf(totalBytesWritten, expected));
    }
}

void RQOperation::connectionDidFailWithError(URLConnection&, const DomainError& error) {
    std::lock_guard lock(mutex_);
    // A cancelled operation ends here whatever codes it retries.
    if (autoRetry && !cancelled_ && autoRetryErrorCodes().contains(error.code)) {
        retry();
        return;
    }
    finish();
    if (completionHandler) completionHandler(responseReceived_, accumulatedData_, error);
}

void RQOperation::retry() {
    // The new transfer starts afresh: nothing of the failed one is kept.
    responseReceived_.reset();
    accumulatedData_.reset();
    connection_ = URLConnection::make(*request_, weak_from_this());
    const auto delay = std::chrono::duration_cast<platform::dispatch::Duration>(std::chrono::duration<double>(autoRetryDelay));
    platform::dispatch::DispatchQueue::main()->asyncAfter(delay, [connection = connection_] { connection->start(); });
}

void RQOperation::connectionDidFinishLoading(URLConnection&) {
    std::lock_guard lock(mutex_);
    finish();
    if (completionHandler) completionHandler(responseReceived_, accumulatedData_, httpError());
}

std::optional<DomainError> RQOperation::httpError() const {
    if (!responseReceived_ || responseReceived_->statusCode < firstErrorStatus) return std::nullopt;
    const int status = responseReceived_->statusCode;
    return DomainError{httpResponseErrorDomain, status, httpErrorDescription(status)};
}

void RQOperation::connectionDidReceiveAuthenticationChallenge(URLConnection&,
                                                              const platform::foundation::URLAuthenticationChallenge& challenge) {
    std::lock_guard lock(mutex_);
    if (authenticationChallengeHandler) {
        authenticationChallengeHandler(challenge);
    } else if (challenge.sender) {
        challenge.sender->continueWithoutCredentialForAuthenticationChallenge(challenge);
    }
}

}  // namespace corvantis
