#include "app/CrashReportMasking.hpp"

#include "app/ApiService.hpp"
#include "app/UserSettings.hpp"

#include <nlohmann/json.hpp>

namespace corvantis {

namespace {
constexpr const char* bodyKey = "request.httpBody";
constexpr const char* mask = "********";

// Replaces every occurrence; an empty `secret` has none, so nothing loops.
void replaceAll(std::string& text, const std::string& secret) {
    if (secret.empty()) return;
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + std::string_view(mask).size())) {
        text.replace(at, secret.size(), mask);
    }
}

// Every text inside `value`, at any depth (the values are the application's own records, a
// few levels deep).
void replaceInTexts(nlohmann::json& value, const std::string& secret) {
    if (value.is_string()) {
        replaceAll(value.get_ref<std::string&>(), secret);
    } else if (value.is_structured()) {
        for (auto& item : value) replaceInTexts(item, secret);
    }
}

std::string plainText(const nlohmann::json& extras) {
    const auto found = extras.find(bodyKey);
    if (found == extras.end() || found->is_null()) return "nil";
    return found->is_string() ? found->get<std::string>() : found->dump();
}
}  // namespace

platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event) {
    const std::string password = ApiService::password;
    if (password.empty()) return event;
    // Beyond the request body, a backend's reply or failure text may quote the password it was
    // sent, and that text lands in the message and the request's context.
    replaceAll(event.message, password);
    replaceInTexts(event.contexts, password);
    for (auto& crumb : event.breadcrumbs) {
        replaceAll(crumb.category, password);
        replaceAll(crumb.message, password);
        replaceInTexts(crumb.data, password);
    }
    if (!event.extras.is_object() || event.extras.empty()) return event;
    replaceInTexts(event.extras, password);
    auto body = plainText(event.extras);
    replaceAll(body, password);
    replaceAll(body, UserSettings::username().value_or(""));
    event.extras[bodyKey] = std::move(body);
    return event;
}

}  // namespace corvantis
