#include "app/CrashReportMasking.hpp"

#include "app/ApiService.hpp"
#include "app/UserSettings.hpp"

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

std::string plainText(const nlohmann::json& extras) {
    const auto found = extras.find(bodyKey);
    if (found == extras.end() || found->is_null()) return "nil";
    return found->is_string() ? found->get<std::string>() : found->dump();
}
}  // namespace

platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event) {
    const std::string password = ApiService::password;
    if (password.empty()) return event;
    if (!event.extras.is_object() || event.extras.empty()) return event;
    auto body = plainText(event.extras);
    replaceAll(body, password);
    replaceAll(body, UserSettings::username().value_or(""));
    event.extras[bodyKey] = std::move(body);
    return event;
}

}  // namespace corvantis
