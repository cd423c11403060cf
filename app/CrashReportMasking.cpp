#include "app/CrashReportMasking.hpp"

#include "app/ApiService.hpp"
#include "app/HeldSecrets.hpp"
#include "app/UserSettings.hpp"
#include "platform/foundation/JSONSerialization.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cctype>
#include <functional>
#include <set>
#include <string_view>

namespace corvantis {

namespace {
using platform::crashreporting::Event;

constexpr const char* bodyKey = "request.httpBody";
constexpr std::string_view mask = "********";
// The reply members under which the backend hands out secrets.
constexpr std::array<std::string_view, 6> secretMembers{"access_token",    "refresh_token",     "password",
                                                        "freeradius_pass", "tcp_server_config", "udp_server_config"};
constexpr std::string_view bearer = "Bearer ";

// Replaces every occurrence; an empty `secret` has none, so nothing loops.
void replaceAll(std::string& text, std::string_view secret) {
    if (secret.empty()) return;
    for (auto at = text.find(secret); at != std::string::npos; at = text.find(secret, at + mask.size())) {
        text.replace(at, secret.size(), mask);
    }
}

std::string plainText(const nlohmann::json& extras) {
    const auto found = extras.find(bodyKey);
    if (found == extras.end() || found->is_null()) return "nil";
    return found->is_string() ? found->get<std::string>() : found->dump();
}

// A request body that the extras carry loses the password and the user name as well.
void maskRequestBody(Event& event, const std::string& password) {
    if (password.empty() || !event.extras.is_object() || event.extras.empty()) return;
    auto body = plainText(event.extras);
    replaceAll(body, password);
    replaceAll(body, UserSettings::username().value_or(""));
    event.extras[bodyKey] = std::move(body);
}

// Where an event keeps its texts: plain ones, and trees of values with texts at any depth.
struct EventParts {
    std::vector<std::string*> texts;
    std::vector<nlohmann::json*> trees;
};

EventParts partsOf(Event& event) {
    EventParts parts{{&event.message}, {&event.contexts, &event.extras}};
    for (auto& crumb : event.breadcrumbs) {
        parts.texts.insert(parts.texts.end(), {&crumb.category, &crumb.message});
        parts.trees.push_back(&crumb.data);
    }
    if (event.user) {
        parts.texts.push_back(&event.user->userId);
        parts.trees.push_back(&event.user->data);
    }
    return parts;
}

void forEachText(nlohmann::json& value, const std::function<void(std::string&)>& visit) {
    if (value.is_string()) {
        visit(value.get_ref<std::string&>());
    } else if (value.is_structured()) {
        for (auto& item : value) forEachText(item, visit);
    }
}

bool isTokenCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::string_view("-._~+/=").find(c) != std::string_view::npos;
}

void collectSecrets(const nlohmann::json& value, std::set<std::string>& found);

// The bearer tokens a text quotes, and the secrets inside a text that is JSON (a reply body or
// the rendering of one).
void collectSecrets(const std::string& text, std::set<std::string>& found) {
    for (auto at = text.find(bearer); at != std::string::npos; at = text.find(bearer, at + 1)) {
        const auto start = at + bearer.size();
        auto end = start;
        while (end < text.size() && isTokenCharacter(text[end])) ++end;
        if (end > start) found.insert(text.substr(start, end - start));
    }
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos || (text[first] != '{' && text[first] != '[')) return;
    if (auto parsed = platform::foundation::JSONSerialization::jsonObject(text)) collectSecrets(parsed.value(), found);
}

// The texts under a secret member's name, at any depth, and what the other texts quote.
void collectSecrets(const nlohmann::json& value, std::set<std::string>& found) {
    if (value.is_string()) {
        collectSecrets(value.get_ref<const std::string&>(), found);
    } else if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            if (member.is_string() && std::ranges::find(secretMembers, key) != secretMembers.end()) {
                found.insert(member.get<std::string>());
            }
            collectSecrets(member, found);
        }
    } else if (value.is_array()) {
        for (const auto& item : value) collectSecrets(item, found);
    }
}

std::string replacingSlashes(std::string text) {
    for (auto at = text.find('/'); at != std::string::npos; at = text.find('/', at + 2)) text.replace(at, 1, "\\/");
    return text;
}

// Each secret as it is and as JSON writes it inside a text (escaped, non-ASCII as \u escapes,
// "/" as "\/" the way some servers send it), longest first so that a secret holding another
// is masked whole.
std::vector<std::string> writtenForms(const std::set<std::string>& secrets) {
    std::set<std::string> forms;
    for (const auto& secret : secrets) {
        if (secret.empty()) continue;
        forms.insert(secret);
        for (const bool asciiOnly : {false, true}) {
            const auto quoted = nlohmann::json(secret).dump(-1, ' ', asciiOnly, nlohmann::json::error_handler_t::replace);
            const auto escaped = quoted.substr(1, quoted.size() - 2);
            forms.insert(escaped);
            forms.insert(replacingSlashes(escaped));
        }
    }
    std::vector<std::string> ordered(forms.begin(), forms.end());
    std::ranges::stable_sort(ordered, std::greater{}, &std::string::size);
    return ordered;
}

// Keeps the start of a longer text, ending on a whole UTF-8 character, and says it was cut.
void bound(std::string& text) {
    if (text.size() <= longestReportedText) return;
    auto end = longestReportedText;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    const auto size = text.size();
    text.resize(end);
    text += cutMarker + std::to_string(size) + " bytes]";
}
}  // namespace

platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event) {
    const std::string password = ApiService::password;
    maskRequestBody(event, password);

    const auto parts = partsOf(event);
    std::set<std::string> secrets{password};
    for (auto& held : HeldSecrets::all()) secrets.insert(std::move(held));
    for (const auto* text : parts.texts) collectSecrets(*text, secrets);
    for (const auto* tree : parts.trees) collectSecrets(*tree, secrets);

    // Masked before they are cut, so that no cut leaves the start of a secret behind.
    const auto forms = writtenForms(secrets);
    const auto clean = [&](std::string& text) {
        for (const auto& form : forms) replaceAll(text, form);
        bound(text);
    };
    for (auto* text : parts.texts) clean(*text);
    for (auto* tree : parts.trees) forEachText(*tree, clean);
    return event;
}

}  // namespace corvantis
