#include "platform/foundation/URLConnection.hpp"

#include "platform/Services.hpp"
#include "platform/foundation/Base64.hpp"
#include "platform/foundation/URLError.hpp"
#include "platform/foundation/Url.hpp"

#include <algorithm>
#include <cctype>

namespace platform::foundation {

namespace {
constexpr int unauthorizedStatus = 401;

bool startsWithWord(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) return false;
    const bool same = std::ranges::equal(text.substr(0, word.size()), word, [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return same && (text.size() == word.size() || text[word.size()] == ' ');
}

// The realm of an HTTP Basic challenge ("" when it names none); none for any other scheme.
std::optional<std::string> basicRealm(const HTTPURLResponse& response) {
    if (response.statusCode != unauthorizedStatus) return std::nullopt;
    const auto field = response.value("WWW-Authenticate");
    if (!field || !startsWithWord(*field, "Basic")) return std::nullopt;
    constexpr std::string_view key = "realm=\"";
    const auto start = field->find(key);
    if (start == std::string::npos) return std::string();
    const auto end = field->find('"', start + key.size());
    return field->substr(start + key.size(), end == std::string::npos ? std::string::npos : end - start - key.size());
}
}  // namespace

// Carries the session's events over to the connection's queue. It keeps the connection alive
// while the transfer runs, as the run loop does for a connection scheduled on it.
class URLConnection::SessionEvents final : public URLSessionDataDelegate {
public:
    SessionEvents(std::shared_ptr<URLConnection> connection, dispatch::DispatchQueuePtr queue)
        : connection_(std::move(connection)), queue_(std::move(queue)) {}

    void didSendBodyData(long long sent, long long total, long long expected) override {
        post([=](URLConnection& connection) { connection.onSentBodyData(sent, total, expected); });
    }
    void didReceiveResponse(const HTTPURLResponse& response) override {
        post([response](URLConnection& connection) { connection.onResponse(response); });
    }
    void didReceiveData(std::string data) override {
        post([data = std::move(data)](URLConnection& connection) { connection.onData(data); });
    }
    void didCompleteWithError(std::optional<DomainError> error) override {
        post([error = std::move(error)](URLConnection& connection) { connection.onComplete(error); });
    }

private:
    void post(std::function<void(URLConnection&)> event) {
        queue_->async([connection = connection_, event = std::move(event)] {
            if (!connection->cancelled_) event(*connection);
        });
    }

    const std::shared_ptr<URLConnection> connection_;
    const dispatch::DispatchQueuePtr queue_;
};

std::shared_ptr<URLConnection> URLConnection::make(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate) {
    return std::shared_ptr<URLConnection>(new URLConnection(std::move(request), std::move(delegate)));
}

URLConnection::URLConnection(URLRequest request, std::weak_ptr<URLConnectionDelegate> delegate)
    : request_(std::move(request)), delegate_(std::move(delegate)) {}

void URLConnection::scheduleInQueue(dispatch::DispatchQueuePtr queue) {
    std::lock_guard lock(mutex_);
    if (!started_) queue_ = std::move(queue);
}

void URLConnection::start() {
    auto delegate = delegate_.lock();
    {
        std::lock_guard lock(mutex_);
        if (started_ || cancelled_) return;
        started_ = true;
        if (!queue_) queue_ = dispatch::DispatchQueue::main();
        loading_ = delegate;
    }
    // Nobody would hear about a transfer whose delegate is gone.
    if (delegate) send(request_);
}

void URLConnection::cancel() {
    if (cancelled_.exchange(true)) return;
    std::shared_ptr<URLSessionDataTask> task;
    std::shared_ptr<URLConnectionDelegate> delegate;
    dispatch::DispatchQueuePtr queue;
    {
        std::lock_guard lock(mutex_);
        task = std::move(task_);
        delegate = std::move(loading_);
        queue = queue_;
    }
    if (task) task->cancel();
    // The delegate may be the one cancelling, from inside its own member: let go of it later.
    if (delegate && queue) queue->async([delegate = std::move(delegate)] {});
}

dispatch::DispatchQueuePtr URLConnection::scheduledQueue() {
    std::lock_guard lock(mutex_);
    return queue_;
}

void URLConnection::send(URLRequest request) {
    auto events = std::make_shared<SessionEvents>(shared_from_this(), scheduledQueue());
    auto task = Services::current().urlSession()->dataTask(std::move(request), std::move(events));
    {
        std::lock_guard lock(mutex_);
        task_ = task;
    }
    if (cancelled_) {
        task->cancel();
        return;
    }
    task->resume();
}

std::shared_ptr<URLConnectionDelegate> URLConnection::loadingDelegate() {
    std::lock_guard lock(mutex_);
    return loading_;
}

void URLConnection::end() {
    std::lock_guard lock(mutex_);
    loading_.reset();
    task_.reset();
}

void URLConnection::onSentBodyData(long long sent, long long total, long long expected) {
    if (const auto delegate = loadingDelegate()) delegate->connectionDidSendBodyData(*this, sent, total, expected);
}

void URLConnection::onResponse(const HTTPURLResponse& response) {
    if (basicRealm(response)) {
        held_ = HeldRefusal{response, {}};
        return;
    }
    if (const auto delegate = loadingDelegate()) delegate->connectionDidReceiveResponse(*this, response);
}

void URLConnection::onData(const std::string& data) {
    if (held_) {
        held_->data += data;
        return;
    }
    if (const auto delegate = loadingDelegate()) delegate->connectionDidReceiveData(*this, data);
}

void URLConnection::onComplete(const std::optional<DomainError>& error) {
    if (error) {
        held_.reset();
        fail(*error);
        return;
    }
    const auto delegate = loadingDelegate();
    if (!delegate) return;
    if (held_) {
        delegate->connectionDidReceiveAuthenticationChallenge(*this, challengeFor(held_->response));
        return;
    }
    end();
    delegate->connectionDidFinishLoading(*this);
}

void URLConnection::fail(const DomainError& error) {
    const auto delegate = loadingDelegate();
    end();
    if (delegate) delegate->connectionDidFailWithError(*this, error);
}

URLAuthenticationChallenge URLConnection::challengeFor(const HTTPURLResponse& refusal) {
    URLAuthenticationChallenge challenge;
    const auto url = Url::fromString(request_.url);
    challenge.protectionSpace.host = url ? url->host().value_or("") : "";
    challenge.protectionSpace.port = url ? url->port().value_or(url->scheme() == "https" ? 443 : 80) : 0;
    challenge.protectionSpace.protocol = url ? url->scheme() : "";
    if (const auto realm = basicRealm(refusal); realm && !realm->empty()) challenge.protectionSpace.realm = realm;
    challenge.previousFailureCount = failureCount_;
    challenge.failureResponse = refusal;
    challenge.sender = shared_from_this();
    return challenge;
}

// The answers come on any thread, often from inside the delegate's own challenge member; they
// take effect on the connection's queue, after that member has returned.
void URLConnection::useCredential(const URLCredential& credential, const URLAuthenticationChallenge&) {
    scheduledQueue()->async([self = shared_from_this(), credential] {
        if (self->cancelled_ || !self->held_) return;
        self->held_.reset();
        ++self->failureCount_;
        URLRequest request = self->request_;
        request.setValue("Basic " + Base64::encode(credential.user + ":" + credential.password), "Authorization");
        self->send(std::move(request));
    });
}

void URLConnection::continueWithoutCredentialForAuthenticationChallenge(const URLAuthenticationChallenge&) {
    scheduledQueue()->async([self = shared_from_this()] {
        if (self->cancelled_ || !self->held_) return;
        const auto refusal = std::move(*self->held_);
        self->held_.reset();
        const auto delegate = self->loadingDelegate();
        if (!delegate) return;
        delegate->connectionDidReceiveResponse(*self, refusal.response);
        if (!refusal.data.empty() && !self->cancelled_) delegate->connectionDidReceiveData(*self, refusal.data);
        if (self->cancelled_) return;
        self->end();
        delegate->connectionDidFinishLoading(*self);
    });
}

void URLConnection::cancelAuthenticationChallenge(const URLAuthenticationChallenge&) {
    scheduledQueue()->async([self = shared_from_this()] {
        if (self->cancelled_ || !self->held_) return;
        self->held_.reset();
        self->fail(URLError::make(URLError::userCancelledAuthentication));
    });
}

}  // namespace platform::foundation
