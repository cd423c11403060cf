#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/foundation/Expected.hpp"
#include "testbed/backend/BackendConfiguration.hpp"
#include "testbed/backend/RecordedRequest.hpp"

#include <nlohmann/json.hpp>

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace corvantis::testbed {

// The service's backend on loopback: OAuth password and device grants, device registration,
// profile, product list and OpenVPN configurations, with the headers and body encodings the
// real service expects. Beside it the two public-address services, which answer with the
// caller's address: GET "/ipify" gives {"ip": …}, GET "/ipwho.is/[address]?fields=…" gives
// {"ip": …, "success": true} with the fields asked for. Tests run it in-process and read its
// request log; failure modes make it answer the way a broken or busy service does.
class TestBackend {
public:
    enum class FailureMode {
        none,
        maintenance,    // {"status": "maintenance", "message": …}, HTTP 503
        htmlErrorBody,  // an HTML error page, HTTP 502
        malformedJson,  // a reply cut off in the middle of its JSON, HTTP 200
    };

    // A reply given once, instead of the endpoint's own, to the next request for a path.
    struct CannedReply {
        int status = 200;
        std::string contentType = "application/json";
        std::string body;
        // When set, the body goes out one byte at a time with this pause before each: a slow
        // reply that is never silent for long.
        platform::dispatch::Duration pauseBetweenBytes{};
        // Header fields sent besides the content type.
        std::vector<std::pair<std::string, std::string>> headers{};
        // When set, the connection is closed after this many bytes of the announced body: a
        // connection lost in the middle of a reply.
        std::optional<std::size_t> cutAfterBytes{};
    };

    enum class Transport {
        http,
        // HTTPS with a throwaway self-signed certificate that no client trusts.
        httpsUntrusted,
    };

    explicit TestBackend(BackendConfiguration configuration = BackendConfiguration::demo());
    ~TestBackend();
    TestBackend(const TestBackend&) = delete;
    TestBackend& operator=(const TestBackend&) = delete;

    static constexpr const char* ipifyPath = "/ipify";
    static constexpr const char* ipWhoisPath = "/ipwho.is/";

    // Listens on `host` (loopback unless told otherwise); port 0 takes a free one.
    platform::foundation::Expected<void> start(int port = 0, Transport transport = Transport::http,
                                               std::string host = "127.0.0.1");
    void stop();
    int port() const { return port_; }
    // "http://127.0.0.1:<port>/" (or https): the root that request paths are appended to.
    std::string url() const;

    void setFailureMode(FailureMode mode);
    // Every reply waits this long before it is sent (stopping the backend cuts the wait short).
    void setReplyDelay(platform::dispatch::Duration delay);
    void enqueueReply(const std::string& path, CannedReply reply);

    // A device id the backend knows, as if this computer had registered before.
    std::string registerDevice();
    bool knowsDevice(const std::string& deviceId) const;
    // Every device registered so far becomes unknown ("Unregistered device").
    void forgetDevices();

    std::vector<RecordedRequest> requests() const;
    void clearRequests();

    // The crash reports received on the crash-reporting store endpoint
    // ("POST /api/<project>/store/" with an X-Sentry-Auth key), in arrival order.
    std::vector<nlohmann::json> crashEvents() const;

    // The reply of the profile request for `account`, as the backend sends it.
    static nlohmann::json profileOf(const BackendAccount& account);

    // Parses a failure mode's name as the command line gives it ("maintenance", "html", "malformed").
    static std::optional<FailureMode> failureModeNamed(const std::string& name);

private:
    using Reply = CannedReply;
    class Server;

    Reply respond(const RecordedRequest& request);
    Reply grantToken(const RecordedRequest& request);
    Reply registerDeviceReply(const RecordedRequest& request);
    Reply storeCrashEvent(const RecordedRequest& request);
    Reply authorised(const RecordedRequest& request, const std::function<Reply(const BackendAccount&)>& answer);
    // Waits for `delay` unless the backend stops first; false once it is stopping.
    bool pause(platform::dispatch::Duration delay);
    platform::dispatch::Duration replyDelay() const;
    const BackendAccount* accountNamed(const std::string& username) const;

    const BackendConfiguration configuration_;
    std::unique_ptr<Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::string host_ = "127.0.0.1";
    Transport transport_ = Transport::http;

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    FailureMode failureMode_ = FailureMode::none;
    platform::dispatch::Duration replyDelay_{};
    std::map<std::string, std::vector<CannedReply>> cannedReplies_;
    std::set<std::string> devices_;
    std::map<std::string, std::string> tokens_;  // access token → user name
    unsigned long long nextDevice_ = 1;
    unsigned long long nextToken_ = 1;
    std::vector<RecordedRequest> requests_;
    std::vector<nlohmann::json> crashEvents_;
};

}  // namespace corvantis::testbed
