#include "app/CrashReportMasking.hpp"

#include "app/ApiService.hpp"
#include "app/Base64.hpp"
#include "app/HeldSecrets.hpp"
#include "app/SecretMembers.hpp"
#include "app/UserSettings.hpp"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <functional>
#include <set>
#include <string_view>

namespace corvantis {

namespace {
using platform::crashreporting::Event;

constexpr const char* bodyKey = "request.httpBody";
constexpr std::string_view mask = "********";
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

// The bearer tokens a text quotes, and the secrets its reply members hold, read from the raw
// text: a body that does not parse hides nothing, and none is parsed again here.
void collectSecrets(const std::string& text, std::set<std::string>& found) {
    for (auto at = text.find(bearer); at != std::string::npos; at = text.find(bearer, at + 1)) {
        const auto start = at + bearer.size();
        auto end = start;
        while (end < text.size() && isTokenCharacter(text[end])) ++end;
        if (end > start) found.insert(text.substr(start, end - start));
    }
    SecretMembers::collect(text, found);
}

// The texts under a secret member's name in a tree of values, at any depth.
void collectSecrets(const nlohmann::json& value, std::set<std::string>& found) {
    if (value.is_object()) {
        for (const auto& [key, member] : value.items()) {
            if (member.is_string() && std::ranges::find(SecretMembers::names, key) != SecretMembers::names.end()) {
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

std::string percentEncoded(std::string_view text) {
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || std::string_view("-._~").find(c) != std::string_view::npos) {
            encoded += c;
        } else {
            encoded += {'%', hex[byte >> 4], hex[byte & 0xF]};
        }
    }
    return encoded;
}

// Each secret as it is, as JSON writes it inside a text (escaped, non-ASCII as \u escapes, "/"
// as "\/" the way some servers send it), URL-encoded and in Base64, longest first so that a
// secret holding another is masked whole.
std::vector<std::string> writtenForms(const std::set<std::string>& secrets) {
    std::set<std::string> forms;
    for (const auto& secret : secrets) {
        if (secret.empty()) continue;
        forms.insert(secret);
        forms.insert(percentEncoded(secret));
        forms.insert(Base64::encode(secret));
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

// A text of the report, cut to the report's bound before anything else reads it, so that a
// reply of megabytes costs no more to mask than one of kilobytes.
struct CutText {
    std::string* text;
    std::size_t fullSize;
    bool wasCut;

    explicit CutText(std::string* cut) : text(cut), fullSize(cut->size()), wasCut(fullSize > longestReportedText) {
        if (!wasCut) return;
        auto end = longestReportedText;
        while (end > 0 && (static_cast<unsigned char>((*text)[end]) & 0xC0) == 0x80) --end;
        text->resize(end);
    }

    // The start of a secret that the cut left at the end goes too: the longest end of the text
    // that begins one of the forms.
    void maskCutSecret(const std::vector<std::string>& forms) const {
        const std::string_view kept(*text);
        std::size_t longest = 0;
        for (const std::string_view form : forms) {
            const auto from = kept.size() >= form.size() ? kept.size() - form.size() + 1 : 0;
            for (auto at = kept.find(form.front(), from); at != std::string_view::npos; at = kept.find(form.front(), at + 1)) {
                if (form.starts_with(kept.substr(at))) {
                    longest = std::max(longest, kept.size() - at);
                    break;  // the earliest start is the longest
                }
            }
        }
        if (longest > 0) text->replace(text->size() - longest, longest, mask);
    }

    void markCut() const { *text += cutMarker + std::to_string(fullSize) + " bytes]"; }
};

std::vector<CutText> cutTexts(const EventParts& parts) {
    std::vector<CutText> cut;
    for (auto* text : parts.texts) cut.emplace_back(text);
    for (auto* tree : parts.trees) forEachText(*tree, [&](std::string& text) { cut.emplace_back(&text); });
    return cut;
}
}  // namespace

platform::crashreporting::Event maskCredentials(platform::crashreporting::Event event) {
    const std::string password = ApiService::password;
    maskRequestBody(event, password);

    const auto parts = partsOf(event);
    const auto texts = cutTexts(parts);
    std::set<std::string> secrets{password};
    for (auto& held : HeldSecrets::all()) secrets.insert(std::move(held));
    for (const auto& cut : texts) collectSecrets(*cut.text, secrets);
    for (const auto* tree : parts.trees) collectSecrets(*tree, secrets);

    const auto forms = writtenForms(secrets);
    for (const auto& cut : texts) {
        SecretMembers::mask(*cut.text, mask);
        for (const auto& form : forms) replaceAll(*cut.text, form);
        if (!cut.wasCut) continue;
        cut.maskCutSecret(forms);
        cut.markCut();
    }
    return event;
}

}  // namespace corvantis
