#include "platform/foundation/CurlURLSession.hpp"

#include "platform/dispatch/ThreadName.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "platform/foundation/URLError.hpp"
#include "platform/foundation/Url.hpp"

#include <curl/curl.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <ifaddrs.h>
#include <limits>
#include <net/if.h>
#include <netinet/in.h>

namespace platform::foundation {

namespace {
constexpr long maximumRedirects = 16;
constexpr const char* userAgent = "CorvantisVPN";
constexpr const char* loopbackHosts = "localhost,127.0.0.1,::1";

bool isLoopbackHost(const std::string& host) {
    return host == "localhost" || host == "::1" || host.starts_with("127.");
}

// Some interface other than loopback is up and has an address.
bool networkAvailable() {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return true;  // unknown: do not claim "offline"
    bool found = false;
    for (const ifaddrs* entry = list; entry != nullptr && !found; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
        const bool up = (entry->ifa_flags & IFF_UP) != 0 && (entry->ifa_flags & IFF_RUNNING) != 0;
        const auto family = entry->ifa_addr->sa_family;
        found = up && (family == AF_INET || family == AF_INET6);
    }
    ::freeifaddrs(list);
    return found;
}

// The proxy exceptions of the environment plus this machine: loopback never goes through a proxy.
std::string noProxyList() {
    for (const char* name : {"no_proxy", "NO_PROXY"}) {
        if (const char* value = std::getenv(name); value != nullptr && *value != '\0') {
            return std::string(value) + "," + loopbackHosts;
        }
    }
    return loopbackHosts;
}

std::string trimmed(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string_view::npos) return {};
    const auto end = text.find_last_not_of(" \t\r\n");
    return std::string(text.substr(begin, end - begin + 1));
}

void initialiseLibcurl() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
}  // namespace

// One request on its way: the libcurl handle and everything its callbacks fill in. After
// `start` only the transfer thread touches it, except `completed`.
class CurlURLSession::Transfer {
public:
    // Either `completion` gets the whole reply at the end, or `delegate` follows the transfer;
    // both hear from `queue`.
    Transfer(URLRequest request, CompletionHandler completion, std::shared_ptr<URLSessionDataDelegate> delegate,
             dispatch::DispatchQueuePtr queue, std::size_t maximumResponseSize)
        : request_(std::move(request)),
          completion_(std::move(completion)),
          delegate_(std::move(delegate)),
          queue_(std::move(queue)),
          maximumResponseSize_(maximumResponseSize) {}
    ~Transfer() {
        if (easy_ != nullptr) curl_easy_cleanup(easy_);
        curl_slist_free_all(headers_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    // Makes the libcurl handle; an error when the request cannot be sent at all.
    std::optional<DomainError> prepare();
    CURL* easy() const { return easy_; }

    // True for exactly one caller: the one that delivers the completion.
    bool claimCompletion() { return !completed_.exchange(true); }
    bool isCompleted() const { return completed_; }

    // Posts the completion: the reply data, or `error`; the response head when one arrived.
    void deliver(std::optional<DomainError> error) {
        if (delegate_) {
            announceResponse();
            queue_->async(
                [delegate = delegate_, error = std::move(error)]() mutable { delegate->didCompleteWithError(std::move(error)); });
            return;
        }
        std::optional<std::string> data;
        if (!error) data = std::move(body_);
        std::optional<HTTPURLResponse> response;
        if (statusCode_ > 0) response = HTTPURLResponse{effectiveUrl(), statusCode_, std::move(responseHeaders_)};
        queue_->async(
            [completion = std::move(completion_), data = std::move(data), response = std::move(response),
             error = std::move(error)]() mutable { completion(std::move(data), std::move(response), std::move(error)); });
    }

    // The URL error for the libcurl result `code`, none for success.
    std::optional<DomainError> errorFor(CURLcode code) const {
        if (code == CURLE_OK) return std::nullopt;
        if (tooLarge_) return URLError::make(URLError::dataLengthExceedsMaximum);
        if (idleTooLong_) return URLError::make(URLError::timedOut);
        const bool unreachable = code == CURLE_COULDNT_RESOLVE_HOST || code == CURLE_COULDNT_CONNECT;
        return errorForTransferResult(code, !unreachable || isLoopbackHost(host_) || networkAvailable());
    }

private:
    static size_t receiveBody(char* data, size_t size, size_t count, void* self);
    static size_t receiveHeader(char* data, size_t size, size_t count, void* self);
    static int checkProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded);
    void noteActivity() { lastActivity_ = std::chrono::steady_clock::now(); }
    // Tells the delegate about the final response head, once: heads of redirects and interim
    // replies are replaced before any body byte arrives.
    void announceResponse() {
        if (responseAnnounced_ || statusCode_ <= 0) return;
        responseAnnounced_ = true;
        queue_->async([delegate = delegate_, response = HTTPURLResponse{effectiveUrl(), statusCode_, responseHeaders_}] {
            delegate->didReceiveResponse(response);
        });
    }
    void setMethodAndBody();
    std::string effectiveUrl() const {
        char* url = nullptr;
        if (curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &url) == CURLE_OK && url != nullptr) return url;
        return request_.url;
    }

    URLRequest request_;
    CompletionHandler completion_;
    const std::shared_ptr<URLSessionDataDelegate> delegate_;
    const dispatch::DispatchQueuePtr queue_;
    const std::size_t maximumResponseSize_;
    std::size_t received_ = 0;
    bool responseAnnounced_ = false;
    std::atomic<bool> completed_{false};
    CURL* easy_ = nullptr;
    curl_slist* headers_ = nullptr;
    std::string host_;
    std::string noProxy_;
    std::string body_;
    bool tooLarge_ = false;
    bool idleTooLong_ = false;
    std::chrono::steady_clock::time_point lastActivity_;
    curl_off_t uploaded_ = 0;
    int statusCode_ = 0;
    std::vector<std::pair<std::string, std::string>> responseHeaders_;
};

std::optional<DomainError> CurlURLSession::Transfer::prepare() {
    const auto url = Url::fromString(request_.url);
    if (!url || !url->host() || url->host()->empty()) return URLError::make(URLError::badURL);
    const auto scheme = url->scheme();
    host_ = *url->host();
    if (scheme != "https" && scheme != "http") return URLError::make(URLError::unsupportedURL);
    const bool plainLoopback = scheme == "http" && isLoopbackHost(host_);
    if (scheme == "http" && !plainLoopback) return URLError::make(URLError::appTransportSecurityRequiresSecureConnection);

    easy_ = curl_easy_init();
    if (easy_ == nullptr) return URLError::make(URLError::unknown);
    noProxy_ = noProxyList();
    const auto timeout = std::chrono::duration<double>(request_.timeoutInterval).count();
    curl_easy_setopt(easy_, CURLOPT_PRIVATE, this);
    curl_easy_setopt(easy_, CURLOPT_URL, request_.url.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, plainLoopback ? "http,https" : "https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, maximumRedirects);
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_NOPROXY, noProxy_.c_str());
    // An idle limit, not a total one: connecting may take the whole interval, and so may any
    // silence afterwards; every byte that moves starts the interval again.
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::ceil(timeout * 1000)));
    if (request_.timeoutIntervalForResource) {
        const auto total = std::chrono::duration<double>(*request_.timeoutIntervalForResource).count();
        curl_easy_setopt(easy_, CURLOPT_TIMEOUT_MS, static_cast<long>(std::ceil(total * 1000)));
    }
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &Transfer::checkProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    noteActivity();
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy_, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, userAgent);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Transfer::receiveBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Transfer::receiveHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    setMethodAndBody();

    for (const auto& [name, value] : request_.allHTTPHeaderFields()) {
        // "Name;" is libcurl's way to send a field with an empty value.
        const auto line = value.empty() ? name + ";" : name + ": " + value;
        headers_ = curl_slist_append(headers_, line.c_str());
    }
    headers_ = curl_slist_append(headers_, "Expect:");  // send bodies at once, no 100-continue round trip
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers_);
    return std::nullopt;
}

void CurlURLSession::Transfer::setMethodAndBody() {
    const auto& method = request_.httpMethod;
    if (method == "GET" && !request_.httpBody) {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
        return;
    }
    if (method == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
        return;
    }
    if (method != "POST") curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, method.c_str());
    const std::string& body = request_.httpBody ? *request_.httpBody : std::string();
    if (method == "POST" || request_.httpBody) {
        curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
        curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, body.c_str());
    }
}

int CurlURLSession::Transfer::checkProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(self);
    if (uploaded != transfer.uploaded_) {
        // A redirect starts the count again; only progress is reported.
        if (transfer.delegate_ && uploaded > transfer.uploaded_) {
            const auto expected = static_cast<long long>(transfer.request_.httpBody ? transfer.request_.httpBody->size() : 0);
            transfer.queue_->async([delegate = transfer.delegate_, sent = uploaded - transfer.uploaded_, total = uploaded,
                                    expected] { delegate->didSendBodyData(sent, total, expected); });
        }
        transfer.uploaded_ = uploaded;
        transfer.noteActivity();
    }
    transfer.idleTooLong_ = std::chrono::steady_clock::now() - transfer.lastActivity_ >= transfer.request_.timeoutInterval;
    return transfer.idleTooLong_ ? 1 : 0;  // non-zero ends the transfer
}

size_t CurlURLSession::Transfer::receiveBody(char* data, size_t size, size_t count, void* self) {
    auto& transfer = *static_cast<Transfer*>(self);
    transfer.noteActivity();
    const size_t length = size * count;
    if (transfer.received_ + length > transfer.maximumResponseSize_) {
        transfer.tooLarge_ = true;
        return 0;  // ends the transfer with a write error
    }
    transfer.received_ += length;
    if (!transfer.delegate_) {
        transfer.body_.append(data, length);
        return length;
    }
    transfer.announceResponse();
    transfer.queue_->async([delegate = transfer.delegate_, piece = std::string(data, length)]() mutable {
        delegate->didReceiveData(std::move(piece));
    });
    return length;
}

size_t CurlURLSession::Transfer::receiveHeader(char* data, size_t size, size_t count, void* self) {
    auto& transfer = *static_cast<Transfer*>(self);
    transfer.noteActivity();
    const size_t length = size * count;
    const std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
        // A new response head (after a redirect or an interim reply) replaces the previous one.
        transfer.responseHeaders_.clear();
        const auto blank = line.find(' ');
        if (blank != std::string_view::npos) transfer.statusCode_ = std::atoi(std::string(line.substr(blank + 1, 3)).c_str());
    } else if (const auto colon = line.find(':'); colon != std::string_view::npos) {
        transfer.responseHeaders_.emplace_back(trimmed(line.substr(0, colon)), trimmed(line.substr(colon + 1)));
    }
    return length;
}

class CurlURLSession::Task final : public URLSessionDataTask {
public:
    Task(std::shared_ptr<CurlURLSession> session, std::shared_ptr<Transfer> transfer)
        : session_(std::move(session)), transfer_(std::move(transfer)) {}

    void resume() override {
        if (!resumed_.exchange(true)) session_->start(transfer_);
    }
    void cancel() override { session_->cancel(transfer_); }

private:
    const std::shared_ptr<CurlURLSession> session_;
    const std::shared_ptr<Transfer> transfer_;
    std::atomic<bool> resumed_{false};
};

std::shared_ptr<CurlURLSession> CurlURLSession::make(Configuration configuration) {
    return std::shared_ptr<CurlURLSession>(new CurlURLSession(configuration));
}

std::shared_ptr<CurlURLSession> CurlURLSession::processSession() {
    static auto* session = new std::shared_ptr<CurlURLSession>(make());
    return *session;
}

CurlURLSession::CurlURLSession(Configuration configuration)
    : configuration_(configuration), delegateQueue_(dispatch::ThreadPoolQueue::serial("com.corvantis.URLSession.delegate")) {
    initialiseLibcurl();
    multi_ = curl_multi_init();
    thread_ = std::thread([this] { run(); });
}

CurlURLSession::~CurlURLSession() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
    thread_.join();
    curl_multi_cleanup(static_cast<CURLM*>(multi_));
}

std::shared_ptr<URLSessionDataTask> CurlURLSession::dataTask(URLRequest request, CompletionHandler completion) {
    const auto maximum = maximumResponseSizeFor(request);
    auto transfer = std::make_shared<Transfer>(std::move(request), std::move(completion), nullptr, delegateQueue_, maximum);
    return std::make_shared<Task>(shared_from_this(), std::move(transfer));
}

std::shared_ptr<URLSessionDataTask> CurlURLSession::dataTask(URLRequest request,
                                                             std::shared_ptr<URLSessionDataDelegate> delegate) {
    const auto maximum = maximumResponseSizeFor(request);
    auto transfer = std::make_shared<Transfer>(std::move(request), nullptr, std::move(delegate), delegateQueue_, maximum);
    return std::make_shared<Task>(shared_from_this(), std::move(transfer));
}

std::size_t CurlURLSession::maximumResponseSizeFor(const URLRequest& request) const {
    return std::min(request.maximumResponseSize.value_or(configuration_.maximumResponseSize), configuration_.maximumResponseSize);
}

void CurlURLSession::complete(const std::shared_ptr<Transfer>& transfer, std::optional<DomainError> error) {
    if (transfer->claimCompletion()) transfer->deliver(std::move(error));
}

void CurlURLSession::start(const std::shared_ptr<Transfer>& transfer) {
    if (transfer->isCompleted()) return;  // cancelled before it was resumed
    if (auto refused = transfer->prepare()) {
        complete(transfer, std::move(refused));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        pendingStarts_.push_back(transfer);
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void CurlURLSession::cancel(const std::shared_ptr<Transfer>& transfer) {
    {
        std::lock_guard lock(mutex_);
        pendingCancels_.push_back(transfer);
    }
    curl_multi_wakeup(static_cast<CURLM*>(multi_));
}

void CurlURLSession::admitPending() {
    std::vector<std::shared_ptr<Transfer>> starts;
    std::vector<std::shared_ptr<Transfer>> cancels;
    {
        std::lock_guard lock(mutex_);
        starts.swap(pendingStarts_);
        cancels.swap(pendingCancels_);
    }
    auto* multi = static_cast<CURLM*>(multi_);
    for (auto& transfer : starts) {
        curl_multi_add_handle(multi, transfer->easy());
        running_.push_back(std::move(transfer));
    }
    for (const auto& transfer : cancels) {
        if (const auto found = std::ranges::find(running_, transfer); found != running_.end()) {
            curl_multi_remove_handle(multi, transfer->easy());
            running_.erase(found);
        }
        complete(transfer, URLError::make(URLError::cancelled));
    }
}

void CurlURLSession::finishDone() {
    auto* multi = static_cast<CURLM*>(multi_);
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
        if (message->msg != CURLMSG_DONE) continue;
        const auto found =
            std::ranges::find_if(running_, [&](const auto& transfer) { return transfer->easy() == message->easy_handle; });
        if (found == running_.end()) continue;
        const auto transfer = *found;
        const CURLcode result = message->data.result;
        running_.erase(found);
        curl_multi_remove_handle(multi, transfer->easy());
        complete(transfer, transfer->errorFor(result));
    }
}

void CurlURLSession::run() {
    dispatch::setCurrentThreadName("com.corvantis.URLSession");
    auto* multi = static_cast<CURLM*>(multi_);
    for (;;) {
        admitPending();
        {
            std::lock_guard lock(mutex_);
            if (stopping_) break;
        }
        int active = 0;
        curl_multi_perform(multi, &active);
        finishDone();
        // Without transfers only a wake-up (a new task, a cancel, the end) has anything to say:
        // an idle application must not wake for nothing.
        long due = -1;
        curl_multi_timeout(multi, &due);
        const int wait = active == 0 ? std::numeric_limits<int>::max() : static_cast<int>(due < 0 ? 1000 : std::min(due, 1000L));
        curl_multi_poll(multi, nullptr, 0, wait, nullptr);
    }
    for (const auto& transfer : running_) {
        curl_multi_remove_handle(multi, transfer->easy());
        complete(transfer, URLError::make(URLError::cancelled));
    }
    running_.clear();
}

DomainError CurlURLSession::errorForTransferResult(int curlCode, bool networkAvailable) {
    using enum URLError::Code;
    const auto make = [](URLError::Code code) { return URLError::make(code); };
    switch (static_cast<CURLcode>(curlCode)) {
        case CURLE_UNSUPPORTED_PROTOCOL: return make(unsupportedURL);
        case CURLE_URL_MALFORMAT: return make(badURL);
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_RESOLVE_HOST: return make(networkAvailable ? cannotFindHost : notConnectedToInternet);
        case CURLE_COULDNT_CONNECT: return make(networkAvailable ? cannotConnectToHost : notConnectedToInternet);
        case CURLE_OPERATION_TIMEDOUT: return make(timedOut);
        case CURLE_GOT_NOTHING:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_PARTIAL_FILE:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM: return make(networkConnectionLost);
        case CURLE_TOO_MANY_REDIRECTS: return make(httpTooManyRedirects);
        case CURLE_FILESIZE_EXCEEDED: return make(dataLengthExceedsMaximum);
        case CURLE_PEER_FAILED_VERIFICATION: return make(serverCertificateUntrusted);
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_ENGINE_NOTFOUND:
        case CURLE_SSL_ENGINE_SETFAILED:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_SHUTDOWN_FAILED:
        case CURLE_SSL_CRL_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED: return make(secureConnectionFailed);
        case CURLE_ABORTED_BY_CALLBACK: return make(cancelled);
        default: return make(unknown);
    }
}

}  // namespace platform::foundation
