#include "app/ApiService.hpp"

#include "app/ApiReply.hpp"
#include "app/ApiRequestInfo.hpp"
#include "app/ErrorString.hpp"
#include "app/HeldSecrets.hpp"
#include "app/JsonValue.hpp"
#include "app/ProfileParser.hpp"
#include "app/ProfileReply.hpp"
#include "app/UserSettings.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/URLSession.hpp"

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <variant>

namespace corvantis {

namespace {
constexpr const char* productionApiUrl = "https://www.corvantisvpn.com/";
constexpr const char* crlf = "\r\n";
// What crash reports show in place of a password.
constexpr const char* maskedPassword = "FILTERED";

// Percent-encodes every byte outside the unreserved characters A–Z a–z 0–9 - . _ ~.
std::string formEscaped(std::string_view value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                                c == '.' || c == '_' || c == '~';
        if (unreserved) {
            escaped += ch;
        } else {
            escaped += '%';
            escaped += digits[c >> 4];
            escaped += digits[c & 0xF];
        }
    }
    return escaped;
}

// The same fields with the value of any "password" field replaced, for crash reports.
ApiService::FormParameters maskedPasswords(ApiService::FormParameters params) {
    for (auto& record : params) {
        const auto name = record.find("name");
        const auto value = record.find("value");
        if (name != record.end() && name->second == "password" && value != record.end()) value->second = maskedPassword;
    }
    return params;
}

// Deletes every "<…>" with at least one character between the brackets, left to right.
std::string withoutMarkup(const std::string& text) {
    std::string result;
    std::size_t position = 0;
    while (position < text.size()) {
        const auto open = text.find('<', position);
        const auto close = open == std::string::npos ? std::string::npos : text.find('>', open + 1);
        if (close == std::string::npos) break;
        if (close == open + 1) {
            result.append(text, position, close - position);  // "<>" is no tag
            position = close;
            continue;
        }
        result.append(text, position, open - position);
        position = close + 1;
    }
    result.append(text, std::min(position, text.size()));
    return result;
}

std::string replacingAll(std::string text, std::string_view what, std::string_view with) {
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
        text.replace(at, what.size(), with);
    }
    return text;
}

// The result of one request, shared by its completion and its delivery.
struct RequestState {
    ApiRequestInfo info;
    bool success = false;
    std::string message;
    nlohmann::json jsonData = nlohmann::json::object();
};

constexpr const char* loginScope = "me.fullprofile me.subscriptions me.servers available-products servers-config";

// The header fields of a read from the account's area.
ApiService::Headers authorisedHeaders(const std::string& token, const std::string& deviceId) {
    return {{"Authorization", "Bearer " + token}, {"cache-control", "no-cache"}, {"AMEMBER-DEVICE-ID", deviceId}};
}

// The reply's "data" when it is an array of objects.
std::optional<std::vector<nlohmann::json>> productsIn(const nlohmann::json& jsonData) {
    const auto* data = JsonValue::member(jsonData, "data");
    if (data == nullptr || !data->is_array()) return std::nullopt;
    std::vector<nlohmann::json> products;
    for (const auto& product : *data) {
        if (!product.is_object()) return std::nullopt;
        products.push_back(product);
    }
    return products;
}

struct OpenVpnConfigs {
    std::string tcp;
    std::string udp;
};

std::variant<OpenVpnConfigs, ApiServiceError> openVpnConfigsIn(bool success, const std::string& message,
                                                               const nlohmann::json& jsonData) {
    if (!success) return ApiServiceError::error(message);
    const auto* data = JsonValue::member(jsonData, "data");
    if (data == nullptr || !data->is_object()) return ApiServiceError::jsonError("data");
    auto tcp = JsonValue::stringMember(*data, "tcp_server_config");
    if (!tcp) return ApiServiceError::jsonError("tcp_server_config");
    auto udp = JsonValue::stringMember(*data, "udp_server_config");
    if (!udp) return ApiServiceError::jsonError("udp_server_config");
    return OpenVpnConfigs{std::move(*tcp), std::move(*udp)};
}
}  // namespace

std::string_view rawValue(ApiService::HttpMethod value) {
    switch (value) {
        case ApiService::HttpMethod::POST: return "POST";
        case ApiService::HttpMethod::GET: return "GET";
        case ApiService::HttpMethod::DEL: return "DELETE";
        case ApiService::HttpMethod::PUT: return "PUT";
    }
    return {};
}

std::string_view rawValue(ApiService::ContentType value) {
    switch (value) {
        case ApiService::ContentType::formData: return "multipart/form-data; boundary=----WebKitFormBoundary7MA4YWxkTrZu0gW";
        case ApiService::ContentType::formUrlencloded: return "application/x-www-form-urlencoded";
    }
    return {};
}

std::string_view rawValue(ApiService::DocumentType value) {
    return value == ApiService::DocumentType::privacyPolicy ? "privacy-policy" : "terms-of-use";
}

std::string ApiService::apiUrl() {
    const char* configured = std::getenv("CORVANTIS_API_URL");
    if (configured == nullptr || *configured == '\0') return productionApiUrl;
    std::string url = configured;
    if (!url.ends_with('/')) url += '/';
    return url;
}

std::string ApiService::errorMessage(std::string_view /*prefix*/, const ApiServiceError& error) {
    switch (error.kind) {
        case ApiServiceError::Kind::errorAsIs: return error.text;
        case ApiServiceError::Kind::error: {
            const auto& message = error.text;
            if (message.find('<') != std::string::npos) return withoutMarkup(replacingAll(message, "<br />", " "));
            if (message.find("The user credentials were incorrect") != std::string::npos) {
                return "Login failed: invalid username or password";
            }
            if (message.find("Unregistered device") != std::string::npos) return "Unregistered device";
            return std::string(rawValue(ErrorString::checkInternet));
        }
        case ApiServiceError::Kind::jsonError: return std::string(rawValue(ErrorString::maintenance));
        case ApiServiceError::Kind::dataError: return std::string(rawValue(ErrorString::checkInternet));
    }
    return std::string(rawValue(ErrorString::checkInternet));
}

std::string ApiService::getPostString(const FormParameters& params, ContentType contentType) {
    std::string body;
    for (const auto& record : params) {
        const auto name = record.find("name");
        const auto value = record.find("value");
        // A record without a name or a value ends the body where it stands.
        if (name == record.end() || value == record.end()) return body;
        if (contentType == ContentType::formData) {
            body += std::string("--") + formDataBoundary + crlf;
            body += "Content-Disposition: form-data; name=\"" + name->second + "\"" + crlf;
            body += crlf;
            body += value->second + crlf;
        } else {
            body += name->second + "=" + formEscaped(value->second) + "&";
        }
    }
    if (contentType == ContentType::formData) {
        body += std::string("--") + formDataBoundary + "--" + crlf;
    } else {
        body += "undefined=";
    }
    return body;
}

void ApiService::callRequest(const std::string& url, HttpMethod httpMethod, const Headers& headers,
                             std::optional<ContentType> contentType, const std::optional<FormParameters>& params, Finish finish,
                             const RequestBounds& bounds, ApiReply::BodyReader reader) {
    const auto& services = platform::Services::current();
    auto state = std::make_shared<RequestState>();
    state->info.set("url", url);

    platform::foundation::URLRequest request;
    request.url = url;
    request.httpMethod = std::string(rawValue(httpMethod));
    request.timeoutIntervalForResource = bounds.deadline;
    request.maximumResponseSize = bounds.maximumReplySize;
    for (const auto& [field, value] : headers) request.setValue(value, field);
    if (contentType) request.setValue(std::string(rawValue(*contentType)), "Content-Type");
    request.setValue("application/json", "Accept");

    std::optional<std::string> reportedBody;
    if (params && contentType) {
        request.httpBody = getPostString(*params, *contentType);
        reportedBody = getPostString(maskedPasswords(*params), *contentType);
        state->info.set("httpBody", *reportedBody);
    }
    nlohmann::json sentHeaders = nlohmann::json::object();
    for (const auto& [field, value] : request.allHTTPHeaderFields()) sentHeaders[field] = value;
    state->info.setRendering("headers", sentHeaders);
    state->info.set("request.dateTime",
                    platform::foundation::DateFormatter("yyyy-MM-dd hh:mm:ss").string(services.clock()->wallNow()));

    auto mainQueue = services.mainQueue();
    auto reporter = services.crashReporter();
    auto deliver = [state, mainQueue, finish = std::move(finish)] {
        mainQueue->async([state, finish] { finish(state->success, state->message, state->jsonData); });
    };
    auto fail = [state, reporter, deliver](const ApiServiceError& error) {
        state->info.setRendering("result.jsonData", state->jsonData);
        reporter->configureScope(
            [&](platform::crashreporting::Scope& scope) { scope.setContextValue(state->info.context(), "API request"); });
        state->message = errorMessage("", error);
        deliver();
    };

    auto task = services.urlSession()->dataTask(
        std::move(request), [state, url, reportedBody, reporter, deliver, fail, reader = std::move(reader)](
                                std::optional<std::string> data, std::optional<platform::foundation::HTTPURLResponse> response,
                                std::optional<platform::foundation::DomainError> error) {
            if (!data) {
                state->info.set("request.object", url);
                if (reportedBody) state->info.set("request.httpBody", *reportedBody);
                if (response) state->info.set("response", response->description());
                const bool timedOut = error && error->localizedDescription.find("timed out") != std::string::npos;
                if (!timedOut) reporter->captureMessage("API call request data object is incorrect");
                fail(ApiServiceError::dataError(std::move(error)));
                return;
            }
            auto reply = ApiReply::classify(*data, state->info, reader);
            state->jsonData = std::move(reply.jsonData);
            if (reply.failure) {
                fail(*reply.failure);
                return;
            }
            state->success = true;
            deliver();
        });
    task->resume();
}

void ApiService::registerDevice(std::function<void(bool, const std::string&, const std::string&)> result) {
    const auto now = platform::Services::current().clock()->wallNow();
    const std::string description = "macos_" + platform::foundation::DateFormatter("MMddyy_hmm").string(now);
    const FormParameters params{{{"name", "client_id"}, {"value", clientId}}, {{"name", "description"}, {"value", description}}};
    callRequest(apiUrl() + "account/oauth/register-device", HttpMethod::POST, {{"cache-control", "no-cache"}},
                ContentType::formUrlencloded, params,
                [result = std::move(result)](bool success, const std::string& message, const nlohmann::json& jsonData) {
                    std::optional<ApiServiceError> failure;
                    std::optional<std::string> deviceId;
                    if (!success) {
                        failure = ApiServiceError::errorAsIs(message);
                    } else if (const auto* data = JsonValue::member(jsonData, "data"); data != nullptr) {
                        deviceId = JsonValue::stringMember(*data, "amember_device_id");
                    }
                    if (!failure && !deviceId) failure = ApiServiceError::jsonError("data");
                    if (failure) {
                        result(false, errorMessage("registerDevice", *failure), "");
                        return;
                    }
                    result(true, "", *deviceId);
                });
}

void ApiService::validateDevice(const std::string& deviceId, std::function<void(bool, const std::string&)> result) {
    const FormParameters params{{{"name", "client_id"}, {"value", clientId}},
                                {{"name", "amember_device_id"}, {"value", deviceId}},
                                {{"name", "grant_type"}, {"value", "amember_device"}}};
    callRequest(apiUrl() + "account/oauth/token", HttpMethod::POST, {{"cache-control", "no-cache"}}, ContentType::formData,
                params, [result = std::move(result)](bool success, const std::string& message, const nlohmann::json&) {
                    if (success) {
                        result(true, "");
                    } else {
                        result(false, errorMessage("validateDevice", ApiServiceError::errorAsIs(message)));
                    }
                });
}

void ApiService::getProducts(const std::string& token, ProductsResult result) {
    UserSettings::getDeviceId(
        [token, result = std::move(result)](bool success, const std::string& message, const std::string& deviceId) {
            if (!success) {
                result(false, message, std::nullopt);
                return;
            }
            callRequest(apiUrl() + "account/api2/available-products?categories=2", HttpMethod::GET,
                        authorisedHeaders(token, deviceId), std::nullopt, std::nullopt,
                        [result](bool success, const std::string& message, const nlohmann::json& jsonData) {
                            if (!success) {
                                result(false, errorMessage("getProducts", ApiServiceError::errorAsIs(message)), std::nullopt);
                                return;
                            }
                            auto products = productsIn(jsonData);
                            if (!products) {
                                result(false, errorMessage("getProducts", ApiServiceError::jsonError("data")), std::nullopt);
                                return;
                            }
                            result(true, "", products);
                        });
        });
}

void ApiService::getOpenVpnConfigs(OpenVpnConfigsResult result) {
    if (savedTcpConfig && savedUdpConfig) {
        platform::foundation::consolePrint("Using saved OpenVPN config");
        result(true, "", savedTcpConfig, savedUdpConfig);
        return;
    }
    platform::foundation::consolePrint("Fetching OpenVPN config");
    UserSettings::getDeviceId(
        [result = std::move(result)](bool success, const std::string& message, const std::string& deviceId) {
            if (!success) {
                result(false, message, std::nullopt, std::nullopt);
                return;
            }
            const Headers headers{{"Authorization", "Bearer " + token.value_or("")}, {"AMEMBER-DEVICE-ID", deviceId}};
            callRequest(apiUrl() + "account/api2/servers/config", HttpMethod::GET, headers, std::nullopt, std::nullopt,
                        [result](bool success, const std::string& message, const nlohmann::json& jsonData) {
                            auto configs = openVpnConfigsIn(success, message, jsonData);
                            if (const auto* failure = std::get_if<ApiServiceError>(&configs)) {
                                result(false, errorMessage("getOpenVpnConfigs", *failure), std::nullopt, std::nullopt);
                                return;
                            }
                            auto& texts = std::get<OpenVpnConfigs>(configs);
                            savedTcpConfig = texts.tcp;
                            savedUdpConfig = texts.udp;
                            HeldSecrets::remember(texts.tcp);
                            HeldSecrets::remember(texts.udp);
                            result(true, "", texts.tcp, texts.udp);
                        });
        });
}

void ApiService::checkLoginData(const std::string& username, const std::string& password, LoginResult result) {
    UserSettings::setUsername(username);
    ApiService::password = password;
    const FormParameters params{{{"name", "client_id"}, {"value", clientId}},
                                {{"name", "grant_type"}, {"value", "password"}},
                                {{"name", "username"}, {"value", username}},
                                {{"name", "password"}, {"value", password}},
                                {{"name", "scope"}, {"value", loginScope}}};
    callRequest(
        apiUrl() + "account/oauth/token", HttpMethod::POST, {{"cache-control", "no-cache"}}, ContentType::formData, params,
        [username, password, result = std::move(result)](bool success, const std::string& message,
                                                         const nlohmann::json& jsonData) {
            const auto accessToken = JsonValue::stringMember(jsonData, "access_token");
            if (!success || !accessToken) {
                const auto failure = success ? ApiServiceError::jsonError("access_token") : ApiServiceError::errorAsIs(message);
                result(false, false, false, false, errorMessage("checkLoginData", failure));
                return;
            }
            UserSettings::setUsername(username);
            UserSettings::setPassword(password);
            UserSettings::setEmail(username);
            token = *accessToken;
            HeldSecrets::remember(*accessToken);
            getUserData(*accessToken, [result](bool success, bool isVpnActive, bool isDnsActive, bool isEmailConfirmed,
                                               const std::string& message) {
                result(success, isEmailConfirmed, isVpnActive, isDnsActive, message);
            });
        });
}

void ApiService::getUserData(const std::string& token, UserDataResult result) {
    // Each load decides the plan afresh: an earlier account's plan never carries over.
    UserSettings::setPlan(std::nullopt);
    const auto deliver = [result](const UserDataRecord& record) {
        result(record.success, record.isVpnActive, record.isDnsActive, record.isEmailConfirmed, record.message);
    };
    UserSettings::getDeviceId([token, deliver](bool success, const std::string& message, const std::string& deviceId) {
        if (!success) {
            deliver(UserDataRecord{.message = message});
            return;
        }
        getProducts(token,
                    [headers = authorisedHeaders(token, deviceId), deviceId, deliver](
                        bool success, const std::string& message, const std::optional<std::vector<nlohmann::json>>& products) {
                        if (!success) {
                            deliver(UserDataRecord{.message = errorMessage("getUserData", ApiServiceError::error(message))});
                            return;
                        }
                        // The server catalogue is read straight into records on the URL session's thread.
                        auto servers = std::make_shared<std::optional<ProfileReply::Servers>>();
                        callRequest(
                            apiUrl() + "account/api2/me", HttpMethod::GET, headers, std::nullopt, std::nullopt,
                            [parser = ProfileParser(deviceId, products.value_or(std::vector<nlohmann::json>{})), deliver,
                             servers](bool success, const std::string& message, const nlohmann::json& jsonData) {
                                deliver(parser.parse(success, message, jsonData, std::move(*servers)));
                            },
                            profileBounds, ProfileReply::readerKeepingServers(servers));
                    });
    });
}

}  // namespace corvantis
