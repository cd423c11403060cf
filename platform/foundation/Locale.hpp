#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::foundation {

// A language and region setting ("en_US", "de_DE") that names things in its own language.
class Locale {
public:
    explicit Locale(std::string identifier) : identifier_(std::move(identifier)) {}

    // The user's locale: the installed platform services' one, else the one the environment
    // names (LC_ALL, LC_MESSAGES, LANG).
    static std::shared_ptr<const Locale> current();
    static std::shared_ptr<const Locale> fromEnvironment();

    const std::string& localeIdentifier() const { return identifier_; }

    // The name of the country with this ISO 3166 two-letter code in this locale's language
    // ("DE" gives "Germany" in English, "Deutschland" in German); none for a code that names no country.
    std::optional<std::string> localizedCountryName(std::string_view countryCode) const;

private:
    std::string identifier_;
};

}  // namespace platform::foundation
