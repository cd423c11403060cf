#include "platform/foundation/Locale.hpp"

#include "platform/Services.hpp"

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <cctype>
#include <cstring>

namespace platform::foundation {

namespace {
bool isIsoCountryCode(const std::string& code) {
    for (const char* const* known = icu::Locale::getISOCountries(); *known != nullptr; ++known) {
        if (code == *known) return true;
    }
    return false;
}
}  // namespace

std::shared_ptr<const Locale> Locale::current() {
    return Services::current().locale();
}

std::shared_ptr<const Locale> Locale::fromEnvironment() {
    return std::make_shared<const Locale>(icu::Locale::getDefault().getName());
}

std::optional<std::string> Locale::localizedCountryName(std::string_view countryCode) const {
    std::string code;
    for (const char c : countryCode) {
        if (!std::isalpha(static_cast<unsigned char>(c))) return std::nullopt;
        code += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (code.size() != 2 || !isIsoCountryCode(code)) return std::nullopt;
    icu::UnicodeString name;
    icu::Locale("", code.c_str()).getDisplayCountry(icu::Locale(identifier_.c_str()), name);
    if (name.isEmpty()) return std::nullopt;
    std::string text;
    name.toUTF8String(text);
    return text;
}

}  // namespace platform::foundation
