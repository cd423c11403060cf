#pragma once

#include "app/ApiReply.hpp"
#include "app/ApiServiceError.hpp"
#include "app/SharedText.hpp"
#include "platform/dispatch/Clock.hpp"

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

// The client of the service's HTTPS backend: static members only. Every request goes through
// one private transport that delivers its result exactly once, on the main queue.
class ApiService {
public:
    ApiService() = delete;

    enum class HttpMethod { POST, GET, DEL, PUT };
    enum class ContentType { formData, formUrlencloded };
    enum class DocumentType { privacyPolicy, termsOfUse };

    // Form fields in body order; each record maps "name" and "value" to texts.
    using FormParameters = std::vector<std::map<std::string, std::string>>;
    using Headers = std::map<std::string, std::string>;
    using Finish = std::function<void(bool success, const std::string& message, const nlohmann::json& jsonData)>;
    using ProductsResult =
        std::function<void(bool success, const std::string& message, const std::optional<std::vector<nlohmann::json>>& products)>;
    using OpenVpnConfigsResult =
        std::function<void(bool success, const std::string& message, const std::optional<std::string>& tcpConfig,
                           const std::optional<std::string>& udpConfig)>;
    using LoginResult =
        std::function<void(bool success, bool isEmailConfirmed, bool isVpnActive, bool isDnsActive, const std::string& message)>;

    static constexpr const char* clientId = "7e0b3a9c51d24f86b2c9e4a07d6f1b35";
    // The boundary of multipart bodies (37 characters).
    static constexpr const char* formDataBoundary = "----WebKitFormBoundary7MA4YWxkTrZu0gW";

    // The service's web site root, ending in "/": the build's HTTPS address, or the one
    // `CORVANTIS_API_URL` names (the local test backend).
    static std::string apiUrl();

    // Access token of the last successful password grant; never cleared.
    static inline std::optional<std::string> token;
    // Password of the last login attempt, kept only so that crash reports can mask it (read on
    // the URL session's threads, hence locked).
    static inline SharedText password;
    static inline std::optional<std::string> savedTcpConfig;
    static inline std::optional<std::string> savedUdpConfig;

    // What one request may take: how long the whole exchange may last (a backend that sends a
    // byte now and then never falls silent for the 60 s that end a request otherwise), and how
    // large its reply may be. Past either it fails as a time-out or a lost reply does.
    struct RequestBounds {
        platform::dispatch::Duration deadline;
        std::size_t maximumReplySize;
    };
    // Every reply but the profile's is small: a token, a device id, a few products, two OpenVPN
    // configurations of some kilobytes, or a proxy's error page.
    static inline RequestBounds requestBounds{std::chrono::seconds(90), std::size_t{1} << 20};
    // The profile carries the whole server catalogue: 100,000 servers, the most the service
    // lists, come to 17.5 MB (175 bytes each); twice that leaves room for longer names and more
    // fields. Its deadline allows that much over a slow line without compression.
    static inline RequestBounds profileBounds{std::chrono::minutes(4), std::size_t{32} << 20};

    // The user's text for a failure; the prefix names the failing operation and does not change it.
    static std::string errorMessage(std::string_view prefix, const ApiServiceError& error);

    // Registers this computer with the backend: `result(success, message, deviceId)`, on the main queue.
    static void registerDevice(std::function<void(bool, const std::string&, const std::string&)> result);
    // Asks the backend whether it knows `deviceId`: `result(success, message)`, on the main queue.
    static void validateDevice(const std::string& deviceId, std::function<void(bool, const std::string&)> result);

    // The products on sale (objects as the backend sends them), after the device check. On the main queue.
    static void getProducts(const std::string& token, ProductsResult result);
    // The TCP and UDP OpenVPN configuration texts (Base64), after the device check. Once both
    // are cached, the answer comes at once, on the caller's thread, and nothing is sent.
    static void getOpenVpnConfigs(OpenVpnConfigsResult result);
    // Signs in with the password grant, then loads products and profile. On the main queue.
    static void checkLoginData(const std::string& username, const std::string& password, LoginResult result);

private:
    friend class ApiServiceTestAccess;

    using UserDataResult =
        std::function<void(bool success, bool isVpnActive, bool isDnsActive, bool isEmailConfirmed, const std::string& message)>;

    // Loads the account behind `token`: device check, products, profile. On the main queue.
    static void getUserData(const std::string& token, UserDataResult result);

    static std::string getPostString(const FormParameters& params, ContentType contentType);
    static void callRequest(const std::string& url, HttpMethod httpMethod, const Headers& headers,
                            std::optional<ContentType> contentType, const std::optional<FormParameters>& params, Finish finish,
                            const RequestBounds& bounds = requestBounds, ApiReply::BodyReader reader = nullptr);
};

std::string_view rawValue(ApiService::HttpMethod value);
std::string_view rawValue(ApiService::ContentType value);
std::string_view rawValue(ApiService::DocumentType value);

}  // namespace corvantis
