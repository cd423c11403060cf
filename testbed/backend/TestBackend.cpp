#include "testbed/backend/TestBackend.hpp"

#include "platform/foundation/Base64.hpp"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <openssl/evp.h>
#include <openssl/x509.h>

namespace corvantis::testbed {

namespace {
constexpr const char* multipartType = "multipart/form-data";
constexpr const char* urlEncodedType = "application/x-www-form-urlencoded";
constexpr const char* tokenPath = "/account/oauth/token";
constexpr const char* registerPath = "/account/oauth/register-device";
constexpr const char* profilePath = "/account/api2/me";
constexpr const char* productsPath = "/account/api2/available-products";
constexpr const char* configPath = "/account/api2/servers/config";
constexpr const char* parkedContentType = "X-Testbed-Content-Type";
constexpr const char* parkedAcceptEncoding = "X-Testbed-Accept-Encoding";

nlohmann::json oauthError(const std::string& error, const std::string& message) {
    return {{"error", error}, {"message", message}};
}

std::string bearerToken(const RecordedRequest& request) {
    const auto header = request.header("Authorization").value_or("");
    constexpr std::string_view prefix = "Bearer ";
    return header.starts_with(prefix) ? header.substr(prefix.size()) : std::string();
}

// The value of `name` in the request's query; none when it has none.
std::optional<std::string> queryValue(const RecordedRequest& request, const std::string& name) {
    const auto query = request.target.find('?');
    if (query == std::string::npos) return std::nullopt;
    const std::string text = "&" + request.target.substr(query + 1);
    const auto at = text.find("&" + name + "=");
    if (at == std::string::npos) return std::nullopt;
    const auto start = at + name.size() + 2;
    return text.substr(start, text.find('&', start) - start);
}

// The public-address services: each answers with the caller's address as this side sees it,
// in its own shape.
std::optional<TestBackend::CannedReply> publicAddressReply(const RecordedRequest& request) {
    if (request.method != "GET") return std::nullopt;
    if (request.path == TestBackend::ipifyPath) {
        return TestBackend::CannedReply{200, "application/json", nlohmann::json{{"ip", request.remoteAddress}}.dump()};
    }
    if (!request.path.starts_with(TestBackend::ipWhoisPath)) return std::nullopt;
    const auto asked = request.path.substr(std::string_view(TestBackend::ipWhoisPath).size());
    nlohmann::json all{{"ip", asked.empty() ? request.remoteAddress : asked}, {"success", true}};
    const auto fields = queryValue(request, "fields");
    if (!fields) return TestBackend::CannedReply{200, "application/json", all.dump()};
    nlohmann::json chosen = nlohmann::json::object();
    for (std::size_t start = 0; start <= fields->size();) {
        const auto end = std::min(fields->find(',', start), fields->size());
        const auto key = fields->substr(start, end - start);
        if (all.contains(key)) chosen[key] = all[key];
        start = end + 1;
    }
    return TestBackend::CannedReply{200, "application/json", chosen.dump()};
}

RecordedRequest recorded(const httplib::Request& request) {
    RecordedRequest entry;
    entry.method = request.method;
    entry.path = request.path;
    entry.target = request.target;
    for (const auto& [name, value] : request.headers) {
        // httplib adds the peer's address as a header of its own; it was not sent.
        if (name == parkedContentType) {
            entry.headers.emplace_back("Content-Type", value);
        } else if (name == parkedAcceptEncoding) {
            entry.headers.emplace_back("Accept-Encoding", value);
        } else if (name == "Accept-Encoding") {
            continue;  // the backend's own choice among what the client accepts
        } else if (name != "REMOTE_ADDR" && name != "REMOTE_PORT" && name != "LOCAL_ADDR" && name != "LOCAL_PORT") {
            entry.headers.emplace_back(name, value);
        }
    }
    entry.body = request.body;
    entry.remoteAddress = request.remote_addr;
    const auto contentType = entry.header("Content-Type").value_or("");
    std::optional<FormFields> form;
    if (contentType.starts_with(multipartType)) form = FormBody::parseMultipart(contentType, entry.body);
    if (contentType == urlEncodedType) form = FormBody::parseUrlEncoded(entry.body);
    if (form) entry.form = std::move(*form);
    return entry;
}
}  // namespace

// A throwaway key and a certificate for 127.0.0.1 signed by that key itself.
class SelfSignedIdentity {
public:
    SelfSignedIdentity() : key_(EVP_EC_gen("prime256v1")), certificate_(X509_new()) {
        X509_set_version(certificate_, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(certificate_), 1);
        X509_gmtime_adj(X509_getm_notBefore(certificate_), -3600);
        X509_gmtime_adj(X509_getm_notAfter(certificate_), 24 * 3600);
        X509_set_pubkey(certificate_, key_);
        X509_NAME* name = X509_get_subject_name(certificate_);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(certificate_, name);
        X509_sign(certificate_, key_, EVP_sha256());
    }
    ~SelfSignedIdentity() {
        X509_free(certificate_);
        EVP_PKEY_free(key_);
    }
    SelfSignedIdentity(const SelfSignedIdentity&) = delete;
    SelfSignedIdentity& operator=(const SelfSignedIdentity&) = delete;

    // The server takes its own references to both.
    std::unique_ptr<httplib::Server> server() const { return std::make_unique<httplib::SSLServer>(certificate_, key_); }

private:
    EVP_PKEY* key_;
    X509* certificate_;
};

class TestBackend::Server {
public:
    explicit Server(Transport transport)
        : http(transport == Transport::http ? std::make_unique<httplib::Server>() : SelfSignedIdentity().server()) {}
    std::unique_ptr<httplib::Server> http;
};

TestBackend::TestBackend(BackendConfiguration configuration) : configuration_(std::move(configuration)) {}

TestBackend::~TestBackend() {
    stop();
}

platform::foundation::Expected<void> TestBackend::start(int port, Transport transport, std::string host) {
    transport_ = transport;
    host_ = std::move(host);
    server_ = std::make_unique<Server>(transport);
    auto& http = *server_->http;
    // One request per connection: a connection kept open by a client would hold up `stop`.
    http.set_keep_alive_max_count(1);
    // A reply's head and body go out in separate writes; without this the body waits for the
    // client's delayed acknowledgement of the head.
    http.set_tcp_nodelay(true);
    auto serve = [this](const httplib::Request& request, httplib::Response& response) {
        auto entry = recorded(request);
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(entry);
        }
        const Reply reply = respond(entry);
        pause(replyDelay());
        response.status = reply.status;
        // The service keeps a session cookie; a client must neither send nor keep it.
        response.set_header("Set-Cookie", "PHPSESSID=testbed" + std::to_string(reply.status) + "; path=/");
        for (const auto& [name, value] : reply.headers) response.set_header(name, value);
        if (reply.cutAfterBytes) {
            response.set_content_provider(reply.body.size(), reply.contentType,
                                          [reply](size_t offset, size_t length, httplib::DataSink& sink) {
                                              const auto cut = std::min(*reply.cutAfterBytes, reply.body.size());
                                              if (offset >= cut) return false;  // closes the connection
                                              sink.write(reply.body.data() + offset, std::min(length, cut - offset));
                                              return true;
                                          });
            return;
        }
        if (reply.pauseBetweenBytes == platform::dispatch::Duration::zero()) {
            response.set_content(reply.body, reply.contentType.c_str());
            return;
        }
        response.set_chunked_content_provider(reply.contentType, [this, reply](size_t offset, httplib::DataSink& sink) {
            if (offset < reply.body.size() && pause(reply.pauseBetweenBytes)) {
                sink.write(reply.body.data() + offset, 1);
            } else {
                sink.done();
            }
            return true;
        });
    };
    // httplib would take a multipart body apart itself and drop its bytes; the backend reads
    // bodies on its own, so the content type is parked under a private name until then. The
    // accepted encodings are parked too: httplib would pick Brotli at its slowest setting,
    // which takes seconds for a large profile, so the backend offers gzip at most, as web
    // servers commonly do.
    http.set_pre_routing_handler([](const httplib::Request& request, httplib::Response&) {
        auto& headers = const_cast<httplib::Headers&>(request.headers);
        const auto park = [&](const char* name, const char* parked) {
            const auto found = headers.find(name);
            if (found == headers.end()) return std::string();
            auto value = found->second;
            headers.erase(found);
            headers.emplace(parked, value);
            return value;
        };
        park("Content-Type", parkedContentType);
        if (park("Accept-Encoding", parkedAcceptEncoding).find("gzip") != std::string::npos)
            headers.emplace("Accept-Encoding", "gzip");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    http.Get(".*", serve);
    http.Post(".*", serve);
    port_ = port == 0 ? http.bind_to_any_port(host_) : (http.bind_to_port(host_, port) ? port : -1);
    if (port_ <= 0) {
        server_.reset();
        return platform::foundation::Error{EADDRINUSE, "The test backend cannot listen on " + host_ + ":" + std::to_string(port)};
    }
    {
        std::lock_guard lock(mutex_);
        stopping_ = false;
    }
    thread_ = std::thread([this] { server_->http->listen_after_bind(); });
    while (!http.is_running()) std::this_thread::yield();
    return {};
}

void TestBackend::stop() {
    if (!server_) return;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    server_->http->stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
}

std::string TestBackend::url() const {
    return std::string(transport_ == Transport::http ? "http" : "https") + "://" + host_ + ":" + std::to_string(port_) + "/";
}

void TestBackend::setFailureMode(FailureMode mode) {
    std::lock_guard lock(mutex_);
    failureMode_ = mode;
}

void TestBackend::setReplyDelay(platform::dispatch::Duration delay) {
    std::lock_guard lock(mutex_);
    replyDelay_ = delay;
}

void TestBackend::enqueueReply(const std::string& path, CannedReply reply) {
    std::lock_guard lock(mutex_);
    cannedReplies_[path].push_back(std::move(reply));
}

std::string TestBackend::registerDevice() {
    std::lock_guard lock(mutex_);
    const std::string id = "dev-" + std::to_string(nextDevice_++);
    devices_.insert(id);
    return id;
}

bool TestBackend::knowsDevice(const std::string& deviceId) const {
    std::lock_guard lock(mutex_);
    return devices_.contains(deviceId);
}

void TestBackend::forgetDevices() {
    std::lock_guard lock(mutex_);
    devices_.clear();
}

std::vector<RecordedRequest> TestBackend::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void TestBackend::clearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

std::optional<TestBackend::FailureMode> TestBackend::failureModeNamed(const std::string& name) {
    if (name == "none") return FailureMode::none;
    if (name == "maintenance") return FailureMode::maintenance;
    if (name == "html") return FailureMode::htmlErrorBody;
    if (name == "malformed") return FailureMode::malformedJson;
    return std::nullopt;
}

platform::dispatch::Duration TestBackend::replyDelay() const {
    std::lock_guard lock(mutex_);
    return replyDelay_;
}

bool TestBackend::pause(platform::dispatch::Duration delay) {
    std::unique_lock lock(mutex_);
    return !stopped_.wait_for(lock, delay, [&] { return stopping_; });
}

const BackendAccount* TestBackend::accountNamed(const std::string& username) const {
    for (const auto& account : configuration_.accounts) {
        if (account.username == username) return &account;
    }
    return nullptr;
}

TestBackend::Reply TestBackend::respond(const RecordedRequest& request) {
    {
        std::lock_guard lock(mutex_);
        if (auto canned = cannedReplies_.find(request.path); canned != cannedReplies_.end() && !canned->second.empty()) {
            CannedReply reply = std::move(canned->second.front());
            canned->second.erase(canned->second.begin());
            return reply;
        }
        switch (failureMode_) {
            case FailureMode::maintenance:
                return Reply{503, "application/json",
                             nlohmann::json{{"status", "maintenance"},
                                            {"message", "Corvantis VPN is down for scheduled maintenance until 14:00 UTC"}}
                                 .dump()};
            case FailureMode::htmlErrorBody:
                return Reply{502, "text/html",
                             "<html><head><title>502 Bad Gateway</title></head><body><h1>Bad Gateway</h1>"
                             "<p>The upstream server is not answering.</p></body></html>"};
            case FailureMode::malformedJson: return Reply{200, "application/json", R"({"data": {"amember_device_id": )"};
            case FailureMode::none: break;
        }
    }
    if (auto reply = publicAddressReply(request)) return *reply;
    if (request.method == "POST" && request.path == tokenPath) return grantToken(request);
    if (request.method == "POST" && request.path == registerPath) return registerDeviceReply(request);
    if (request.method == "POST" && request.path.starts_with("/api/") && request.path.ends_with("/store/")) {
        return storeCrashEvent(request);
    }
    if (request.method == "GET" && request.path == profilePath) {
        return authorised(request, [](const BackendAccount& account) {
            return Reply{200, "application/json", profileOf(account).dump()};
        });
    }
    if (request.method == "GET" && request.path == productsPath) {
        return authorised(request, [this](const BackendAccount&) {
            nlohmann::json products = nlohmann::json::array();
            for (const auto& product : configuration_.products) {
                products.push_back({{"product_id", product.productId}, {"title", product.title}});
            }
            return Reply{200, "application/json", nlohmann::json{{"data", products}}.dump()};
        });
    }
    if (request.method == "GET" && request.path == configPath) {
        return authorised(request, [this](const BackendAccount&) {
            const nlohmann::json data{{"tcp_server_config", platform::foundation::Base64::encode(configuration_.tcpConfig)},
                                      {"udp_server_config", platform::foundation::Base64::encode(configuration_.udpConfig)}};
            return Reply{200, "application/json", nlohmann::json{{"data", data}}.dump()};
        });
    }
    return Reply{404, "application/json",
                 oauthError("not_found", "No such endpoint: " + request.method + " " + request.path).dump()};
}

TestBackend::Reply TestBackend::storeCrashEvent(const RecordedRequest& request) {
    if (request.header("X-Sentry-Auth").value_or("").find("sentry_key=") == std::string::npos) {
        return Reply{401, "application/json", nlohmann::json{{"detail", "missing authorization information"}}.dump()};
    }
    auto event = nlohmann::json::parse(request.body, nullptr, false);
    if (!event.is_object()) return Reply{400, "application/json", nlohmann::json{{"detail", "invalid event"}}.dump()};
    const auto id = event.value("event_id", std::string());
    {
        std::lock_guard lock(mutex_);
        crashEvents_.push_back(std::move(event));
    }
    return Reply{200, "application/json", nlohmann::json{{"id", id}}.dump()};
}

std::vector<nlohmann::json> TestBackend::crashEvents() const {
    std::lock_guard lock(mutex_);
    return crashEvents_;
}

TestBackend::Reply TestBackend::grantToken(const RecordedRequest& request) {
    const auto contentType = request.header("Content-Type").value_or("");
    if (!contentType.starts_with(multipartType) || request.form.empty()) {
        return Reply{400, "application/json", oauthError("invalid_request", "The request body is not a multipart form").dump()};
    }
    if (FormBody::value(request.form, "client_id") != configuration_.clientId) {
        return Reply{401, "application/json", oauthError("invalid_client", "Client authentication failed").dump()};
    }
    const auto grant = FormBody::value(request.form, "grant_type").value_or("");
    std::string username;
    if (grant == "password") {
        const auto* account = accountNamed(FormBody::value(request.form, "username").value_or(""));
        if (account == nullptr || FormBody::value(request.form, "password") != account->password) {
            return Reply{400, "application/json", oauthError("invalid_grant", "The user credentials were incorrect.").dump()};
        }
        username = account->username;
    } else if (grant == "amember_device") {
        if (!knowsDevice(FormBody::value(request.form, "amember_device_id").value_or(""))) {
            return Reply{400, "application/json", oauthError("invalid_grant", "Unregistered device").dump()};
        }
    } else {
        return Reply{400, "application/json",
                     oauthError("unsupported_grant_type", "The authorization grant type is not supported").dump()};
    }
    std::lock_guard lock(mutex_);
    const std::string token = "token-" + std::to_string(nextToken_++);
    tokens_[token] = username;
    return Reply{200, "application/json",
                 nlohmann::json{{"access_token", token}, {"token_type", "Bearer"}, {"expires_in", 3600}}.dump()};
}

TestBackend::Reply TestBackend::registerDeviceReply(const RecordedRequest& request) {
    if (request.header("Content-Type") != urlEncodedType || request.form.empty()) {
        return Reply{400, "application/json", oauthError("invalid_request", "The request body is not URL-encoded").dump()};
    }
    if (FormBody::value(request.form, "client_id") != configuration_.clientId) {
        return Reply{401, "application/json", oauthError("invalid_client", "Client authentication failed").dump()};
    }
    const auto description = FormBody::value(request.form, "description");
    if (!description || description->empty()) {
        return Reply{400, "application/json", oauthError("invalid_request", "A device description is required").dump()};
    }
    const std::string id = registerDevice();
    return Reply{200, "application/json",
                 nlohmann::json{{"data", {{"amember_device_id", id}, {"description", *description}}}}.dump()};
}

TestBackend::Reply TestBackend::authorised(const RecordedRequest& request,
                                           const std::function<Reply(const BackendAccount&)>& answer) {
    const BackendAccount* account = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (const auto found = tokens_.find(bearerToken(request)); found != tokens_.end()) account = accountNamed(found->second);
    }
    if (account == nullptr) {
        return Reply{401, "application/json", oauthError("invalid_token", "The access token provided is invalid").dump()};
    }
    if (!knowsDevice(request.header("AMEMBER-DEVICE-ID").value_or(""))) {
        return Reply{400, "application/json", oauthError("invalid_grant", "Unregistered device").dump()};
    }
    return answer(*account);
}

nlohmann::json TestBackend::profileOf(const BackendAccount& account) {
    nlohmann::json servers = nlohmann::json::array();
    for (const auto& server : account.servers) {
        servers.push_back({{"serverstatus", server.serverstatus},
                           {"country", server.country},
                           {"city", server.city},
                           {"name", server.name},
                           {"address", server.address},
                           {"serverload", server.serverload},
                           {"openvpn_port_tcp", server.openvpnTcpPort},
                           {"openvpn_port_udp", server.openvpnUdpPort}});
    }
    nlohmann::json categories = nlohmann::json::object();
    for (const auto& category : account.categories) categories[category] = category == "2" ? "VPN" : "DNS";
    nlohmann::json subscriptions = nlohmann::json::object();
    for (const auto& [product, date] : account.subscriptions) subscriptions[product] = date;
    return {{"data",
             {{"login", account.username},
              {"email", account.username},
              {"freeradius_pass", account.vpnPassword},
              {"email_confirmed", account.emailConfirmed},
              {"vpn_servers", servers},
              {"subscriptions", subscriptions},
              {"categories", categories}}}};
}

}  // namespace corvantis::testbed
