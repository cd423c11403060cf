#include "app/IPAPI.hpp"

#include "app/PublicIPRequest.hpp"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>

namespace corvantis::IPAPI {

namespace {

constexpr std::array allKeys{Result::Key::status,    Result::Key::message, Result::Key::country,  Result::Key::countryCode,
                             Result::Key::ipAddress, Result::Key::city,    Result::Key::timezone, Result::Key::isp};

// The reply's value under `key`, following the dots of its name into nested objects.
const nlohmann::json* valueOf(const nlohmann::json& reply, Result::Key key) {
    const nlohmann::json* value = &reply;
    const auto name = Result::rawValue(key);
    for (std::size_t start = 0; start <= name.size();) {
        const auto end = std::min(name.find('.', start), name.size());
        if (!value->is_object()) return nullptr;
        const auto found = value->find(name.substr(start, end - start));
        if (found == value->end()) return nullptr;
        value = &*found;
        start = end + 1;
    }
    return value;
}

std::optional<std::string> text(const nlohmann::json& reply, Result::Key key) {
    const auto* value = valueOf(reply, key);
    if (key == Result::Key::status && value != nullptr && value->is_boolean()) {
        return value->get<bool>() ? "success" : "fail";
    }
    if (value == nullptr || !value->is_string()) return std::nullopt;
    return value->get<std::string>();
}

std::optional<std::string>& member(Result& result, Result::Key key) {
    switch (key) {
        case Result::Key::status: return result.status;
        case Result::Key::message: return result.message;
        case Result::Key::country: return result.country;
        case Result::Key::countryCode: return result.countryCode;
        case Result::Key::ipAddress: return result.ipAddress;
        case Result::Key::city: return result.city;
        case Result::Key::timezone: return result.timezone;
        case Result::Key::isp: return result.isp;
    }
    return result.status;
}

}  // namespace

std::string_view Result::rawValue(Key key) {
    switch (key) {
        case Key::status: return "success";
        case Key::message: return "message";
        case Key::country: return "country";
        case Key::countryCode: return "country_code";
        case Key::ipAddress: return "ip";
        case Key::city: return "city";
        case Key::timezone: return "timezone.id";
        case Key::isp: return "connection.isp";
    }
    return {};
}

Service& Service::defaultService() {
    static Service service;
    return service;
}

std::string Service::url() {
    return PublicIPRequest::configuredUrl("CORVANTIS_IPAPI_URL", builtInUrl);
}

std::shared_ptr<platform::foundation::URLSessionDataTask> Service::fetch(const std::optional<std::string>& query,
                                                                         const std::vector<Result::Key>& fields,
                                                                         const std::string& language, Completion completion) {
    std::vector<Result::Key> keys = fields;
    if (keys.empty()) keys.assign(allKeys.begin(), allKeys.end());
    std::string list;
    for (const auto key : keys) list += (list.empty() ? "" : ",") + std::string(Result::rawValue(key));
    const std::string target = url() + query.value_or("") + "?fields=" + list + "&lang=" + language;
    return PublicIPRequest::get(
        target, [keys, completion = std::move(completion)](platform::foundation::Expected<nlohmann::json> reply) {
            if (!reply) return completion(std::nullopt, reply.error());
            Result result;
            for (const auto key : keys) member(result, key) = text(reply.value(), key);
            // The service says it failed, with its reason, also when that key was not asked for.
            if (text(reply.value(), Result::Key::status) == "fail") {
                return completion(std::nullopt,
                                  platform::foundation::Error{0, text(reply.value(), Result::Key::message).value_or("fail")});
            }
            const bool wantsAddress = std::ranges::find(keys, Result::Key::ipAddress) != keys.end();
            if (wantsAddress && !(result.ipAddress && PublicIPRequest::isAddress(*result.ipAddress))) {
                return completion(std::nullopt, platform::foundation::Error{0, "The reply holds no address"});
            }
            completion(std::move(result), std::nullopt);
        });
}

}  // namespace corvantis::IPAPI
