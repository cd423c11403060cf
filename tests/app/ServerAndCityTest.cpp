#include "app/Server.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/foundation/Locale.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::City;
using corvantis::Server;
using nlohmann::json;

namespace {

platform::Services withLocale(const std::string& identifier) {
    platform::Services services;
    services.localeOverride = std::make_shared<const platform::foundation::Locale>(identifier);
    return services;
}

TEST(Server, BuildsACountryGroupWithItsCitiesInOrder) {
    platform::ScopedServices english(withLocale("en_US"));
    const json dictionary{{"country", "DE"},
                          {"cities",
                           {{{"name", "Frankfurt"}, {"domain", "de-fra.test"}, {"address", "198.51.100.10"}},
                            {{"name", "Berlin"}, {"domain", "de-ber.test"}}}}};
    const Server server(dictionary);
    EXPECT_EQ(server.countryCode, "DE");
    EXPECT_EQ(server.image, "DE");
    EXPECT_EQ(server.country, "Germany");
    EXPECT_FALSE(server.expend);
    ASSERT_EQ(server.cities.size(), 2u);
    EXPECT_EQ(server.cities[0]->name, "Frankfurt");
    EXPECT_EQ(server.cities[0]->address, "198.51.100.10");
    EXPECT_EQ(server.cities[1]->domain, "de-ber.test");
}

TEST(Server, NamesTheCountryInTheUsersLanguage) {
    platform::ScopedServices german(withLocale("de_DE"));
    EXPECT_EQ(Server(json{{"country", "DE"}}).country, "Deutschland");
    EXPECT_EQ(Server::getCountryName("FR"), "Frankreich");
}

TEST(Server, AnUnknownCodeHasNoCountryButKeepsItsCode) {
    const Server server(json{{"country", "XX"}});
    EXPECT_FALSE(server.country);
    EXPECT_EQ(server.countryCode, "XX");
    EXPECT_EQ(server.image, "XX");
}

TEST(Server, MissingCitiesGiveAnEmptyList) {
    EXPECT_TRUE(Server(json{{"country", "DE"}}).cities.empty());
    EXPECT_TRUE(Server(json{{"country", "DE"}, {"cities", "none"}}).cities.empty());
}

TEST(Server, BuildsOneGroupPerDictionaryAndSkipsOtherElements) {
    const auto servers = Server::modelsFromDictionaryArray(json::array({{{"country", "DE"}}, 5, {{"country", "FR"}}}));
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0]->countryCode, "DE");
    EXPECT_EQ(servers[1]->countryCode, "FR");
    EXPECT_TRUE(Server::modelsFromDictionaryArray(json::array()).empty());
    EXPECT_TRUE(Server::modelsFromDictionaryArray(json()).empty());
}

TEST(City, ConvertsLoadAndRecommendationThroughTheirNumericValue) {
    const std::vector<std::tuple<json, double, bool>> cases{
        {json::object(), 0.0, false},
        {{{"serverload", 42.5}, {"recommended", 1}}, 42.5, true},
        {{{"serverload", "42.5"}, {"recommended", "1"}}, 42.5, true},
        {{{"serverload", "n/a"}, {"recommended", 0}}, 0.0, false},
        {{{"recommended", 2}}, 0.0, false},
        {{{"recommended", "2"}}, 0.0, false},
        {{{"recommended", true}}, 0.0, true},
    };
    for (const auto& [dictionary, load, recommended] : cases) {
        const City city(dictionary);
        EXPECT_DOUBLE_EQ(city.serverload, load) << dictionary;
        EXPECT_EQ(city.isRecommended, recommended) << dictionary;
    }
}

TEST(City, TextFieldsKeepTextsTurnNumbersIntoTextAndDropEverythingElse) {
    const City city(json{{"name", "Paris"},
                         {"domain", "fr-par.test"},
                         {"openvpn_tcp", 443},
                         {"openvpn_udp", "1194"},
                         {"address", json::array({"198.51.100.20"})},
                         {"status", nullptr}});
    EXPECT_EQ(city.name, "Paris");
    EXPECT_EQ(city.domain, "fr-par.test");
    EXPECT_EQ(city.openvpnTcpPort, "443");
    EXPECT_EQ(city.openvpnUdpPort, "1194");
    EXPECT_FALSE(city.address);
    EXPECT_FALSE(city.status);
    EXPECT_EQ(City(json{{"name", 12.5}}).name, "12.5");
    EXPECT_FALSE(City(json{{"name", true}}).name);
}

TEST(City, FieldsTheListSetsStayEmptyUntilSet) {
    const City city(json{{"name", "Paris"}, {"shortName", "FR - Paris"}, {"countryCode", "FR"}, {"isFavourite", true}});
    EXPECT_FALSE(city.shortName);
    EXPECT_FALSE(city.countryCode);
    EXPECT_FALSE(city.isFavourite);
    const City plain;
    EXPECT_FALSE(plain.name);
    EXPECT_DOUBLE_EQ(plain.serverload, 0.0);
    EXPECT_FALSE(plain.isRecommended);
}

}  // namespace
