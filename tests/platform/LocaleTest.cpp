#include "platform/Services.hpp"
#include "platform/foundation/Locale.hpp"

#include <gtest/gtest.h>

using platform::foundation::Locale;

namespace {

TEST(Locale, NamesCountriesInItsOwnLanguage) {
    EXPECT_EQ(Locale("en_US").localizedCountryName("DE"), "Germany");
    EXPECT_EQ(Locale("de_DE").localizedCountryName("DE"), "Deutschland");
    EXPECT_EQ(Locale("fr_FR").localizedCountryName("US"), "États-Unis");
    EXPECT_EQ(Locale("en_US").localizedCountryName("gb"), "United Kingdom");
}

TEST(Locale, CodesThatNameNoCountryHaveNoName) {
    for (const std::string code : {"", "XX", "ZZ", "D", "DEU", "1E", "D-"}) {
        EXPECT_FALSE(Locale("en_US").localizedCountryName(code)) << code;
    }
}

TEST(Locale, TheCurrentLocaleIsTheInstalledOne) {
    platform::ScopedServices scope(platform::Services{.localeOverride = std::make_shared<const Locale>("de_DE")});
    EXPECT_EQ(Locale::current()->localeIdentifier(), "de_DE");
}

}  // namespace
