#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "app/AppDelegate.hpp"
#include "app/CountryGroups.hpp"
#include "app/Server.hpp"
#include "app/StringSlice.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/Fakes.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::City;
using corvantis::CountryGroups;
using corvantis::Server;
using nlohmann::json;
using namespace std::chrono_literals;

namespace {

constexpr const char* findGatewayCommand = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";

json server(const std::string& country, const std::string& city, const std::string& name, json status = "1") {
    return {{"serverstatus", std::move(status)}, {"country", country}, {"city", city}, {"name", name}};
}

std::vector<std::shared_ptr<Server>> groupsOf(const json& servers) {
    return Server::modelsFromDictionaryArray(CountryGroups::fromServers(servers));
}

std::vector<std::string> names(const std::vector<std::shared_ptr<City>>& cities) {
    std::vector<std::string> listed;
    for (const auto& city : cities) listed.push_back(city->name.value_or("(none)"));
    return listed;
}

class CityListTest : public ::testing::Test {
protected:
    void SetUp() override {
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(helper);
    }

    // Gives the first reply to the helper's one call.
    void answer(const std::optional<std::string>& text) {
        environment.helper->answer(0, corvantis::helper::HelperWireCodec::encodeTextReply(text));
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    std::shared_ptr<corvantis::CorvantisHelperController> helper = std::make_shared<corvantis::CorvantisHelperController>();
};

TEST(CountryGroups, CountriesStandInTheOrderTheyFirstAppearWithTheirCitiesInReplyOrder) {
    const auto groups = CountryGroups::fromServers(
        json::array({server("DE", "Frankfurt", "de-fra"), server("FR", "Paris", "fr-par"), server("DE", "Berlin", "de-ber"),
                     server("de", "Munich", "de-muc"), server("FR", "Lyon", "fr-lyo")}));
    ASSERT_EQ(groups.size(), 3u);
    const auto cityNames = [&](std::size_t group) {
        std::vector<std::string> listed;
        for (const auto& city : groups[group]["cities"]) listed.push_back(city["name"]);
        return listed;
    };
    EXPECT_EQ(groups[0]["country"], "DE");
    EXPECT_EQ(cityNames(0), (std::vector<std::string>{"Frankfurt", "Berlin"}));
    EXPECT_EQ(groups[1]["country"], "FR");
    EXPECT_EQ(cityNames(1), (std::vector<std::string>{"Paris", "Lyon"}));
    EXPECT_EQ(groups[2]["country"], "de");  // countries compare case-sensitively
}

TEST(CountryGroups, TheServerStatusDropsOnlyAZero) {
    const std::vector<std::pair<json, bool>> cases{
        {"0", false},  {"1", true},  {"2", true},   {"busy", true}, {"", true}, {"-0", false},
        {"+0", false}, {" 0", true}, {"00", false}, {0, false},     {1, true},  {nullptr, true},
    };
    for (const auto& [status, kept] : cases) {
        EXPECT_EQ(CountryGroups::cityOf(server("DE", "Berlin", "de-ber", status)).has_value(), kept) << status;
    }
    auto withoutStatus = server("DE", "Berlin", "de-ber");
    withoutStatus.erase("serverstatus");
    EXPECT_TRUE(CountryGroups::cityOf(withoutStatus));
}

TEST(CountryGroups, ServersWithoutTextCountryCityOrNameAndNonObjectsAreSkipped) {
    auto numericCity = server("DE", "Berlin", "de-ber");
    numericCity["city"] = 7;
    auto noName = server("DE", "Berlin", "de-ber");
    noName.erase("name");
    auto nullCountry = server("DE", "Berlin", "de-ber");
    nullCountry["country"] = nullptr;
    const auto groups = CountryGroups::fromServers(
        json::array({numericCity, noName, nullCountry, "de-ber", 42, server("FR", "Paris", "fr-par")}));
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0]["country"], "FR");
    EXPECT_TRUE(CountryGroups::fromServers(json::object()).empty());
}

TEST(CountryGroups, TheCityDictionaryRenamesTheServersKeysAndKeepsTheirValues) {
    auto full = server("DE", "Berlin", "de-ber.test");
    full["address"] = "198.51.100.11";
    full["serverload"] = 42.5;
    full["openvpn_port_tcp"] = 443;
    full["openvpn_port_udp"] = "1194";
    full["unused"] = true;
    EXPECT_EQ(CountryGroups::cityOf(full), (json{{"name", "Berlin"},
                                                 {"domain", "de-ber.test"},
                                                 {"address", "198.51.100.11"},
                                                 {"serverload", 42.5},
                                                 {"openvpn_tcp", 443},
                                                 {"openvpn_udp", "1194"}}));
    EXPECT_EQ(CountryGroups::cityOf(server("DE", "Berlin", "de-ber.test")),
              (json{{"name", "Berlin"}, {"domain", "de-ber.test"}}));
}

TEST_F(CityListTest, CitiesAreNamedByCountryAndCityAndCarryTheirServersValues) {
    auto berlin = server("DE", "Berlin", "de-ber.test");
    berlin["address"] = "198.51.100.11";
    berlin["openvpn_port_tcp"] = 8443;
    berlin["openvpn_port_udp"] = 1195;
    berlin["serverload"] = 40;
    delegate->initServers(groupsOf(json::array({berlin})));
    ASSERT_TRUE(delegate->allCities);
    ASSERT_EQ(delegate->allCities->size(), 1u);
    const auto& city = *delegate->allCities->front();
    EXPECT_EQ(city.name, "Germany - Berlin");
    EXPECT_EQ(city.shortName, "DE - Berlin");
    EXPECT_EQ(city.countryCode, "DE");
    EXPECT_EQ(city.address, "198.51.100.11");
    EXPECT_EQ(city.domain, "de-ber.test");
    EXPECT_EQ(city.openvpnTcpPort, "8443");
    EXPECT_EQ(city.openvpnUdpPort, "1195");
    EXPECT_EQ(city.serverload, 0.0);  // not carried over
    EXPECT_FALSE(city.isFavourite);
}

TEST_F(CityListTest, ARecordHeldOutsideTheGroupsIsLeftAsItIs) {
    auto groups = groupsOf(json::array({server("DE", "Berlin", "de-ber")}));
    const auto kept = groups.front()->cities.front();
    groups.front()->cities.push_back(kept);  // the same record twice
    delegate->initServers(std::move(groups));
    EXPECT_EQ(kept->name, "Berlin");
    EXPECT_FALSE(kept->shortName);
    EXPECT_EQ(names(*delegate->allCities), (std::vector<std::string>{"Germany - Berlin", "Germany - Berlin"}));
}

TEST_F(CityListTest, TheListIsSortedByNameAsTextWithEqualNamesInServerOrder) {
    delegate->initServers(groupsOf(json::array({
        server("SE", "\u00c5re", "se-are-1"), server("US", "New York", "us-nyc-1"), server("DE", "berlin", "de-ber-low"),
        server("DE", "Berlin", "de-ber-1"), server("AX", "Mariehamn", "ax-mar"), server("DE", "Berlin", "de-ber-2"),
        server("SE", "A\u030are", "se-are-2"),  // decomposed: the same name once composed
    })));
    ASSERT_TRUE(delegate->allCities);
    EXPECT_EQ(names(*delegate->allCities),
              (std::vector<std::string>{"Germany - Berlin", "Germany - Berlin", "Germany - berlin", "Sweden - \u00c5re",
                                        "Sweden - A\u030are", "United States - New York", "\u00c5land Islands - Mariehamn"}));
    std::vector<std::string> berlinDomains;
    for (const auto& city : *delegate->allCities) {
        if (city->name == "Germany - Berlin") berlinDomains.push_back(city->domain.value_or(""));
    }
    EXPECT_EQ(berlinDomains, (std::vector<std::string>{"de-ber-1", "de-ber-2"}));
}

TEST_F(CityListTest, AShortNameSortsBeforeTheNamesThatBeginWithIt) {
    delegate->initServers(
        groupsOf(json::array({server("Q", "AB", "q-ab"), server("Q", "A", "q-a"), server("Q", "A B", "q-a-b")})));
    EXPECT_EQ(names(*delegate->allCities), (std::vector<std::string>{"Q - A", "Q - A B", "Q - AB"}));
}

TEST_F(CityListTest, FavouritesAreTheDomainsStoredAsTextsInTheUserDefaults) {
    ASSERT_TRUE(environment.defaults->set("true", "de-ber.test"));
    ASSERT_TRUE(environment.defaults->set(1, "fr-par.test"));
    ASSERT_TRUE(environment.defaults->set(true, "us-nyc.test"));
    delegate->initServers(
        groupsOf(json::array({server("DE", "Berlin", "de-ber.test"), server("FR", "Paris", "fr-par.test"),
                              server("US", "New York", "us-nyc.test"), server("NL", "Amsterdam", "nl-ams.test")})));
    std::map<std::string, bool> favourites;
    for (const auto& city : *delegate->allCities) favourites[*city->domain] = city->isFavourite;
    EXPECT_EQ(favourites, (std::map<std::string, bool>{
                              {"de-ber.test", true}, {"fr-par.test", true}, {"us-nyc.test", false}, {"nl-ams.test", false}}));
}

TEST_F(CityListTest, AGroupTheLocaleCannotNameIsNamedByItsCode) {
    delegate->initServers(groupsOf(json::array({server("ZZ", "Nowhere", "zz-now"), server("DE", "Berlin", "de-ber")})));
    EXPECT_EQ(names(*delegate->allCities), (std::vector<std::string>{"Germany - Berlin", "ZZ - Nowhere"}));
}

TEST_F(CityListTest, EachRebuildReplacesTheWholeListAndAnEmptyCatalogueLeavesAnEmptyOne) {
    EXPECT_FALSE(delegate->allCities);
    delegate->initServers(groupsOf(json::array({server("DE", "Berlin", "de-ber")})));
    delegate->initServers(groupsOf(json::array({server("FR", "Paris", "fr-par")})));
    EXPECT_EQ(names(*delegate->allCities), (std::vector<std::string>{"France - Paris"}));
    delegate->initServers({});
    ASSERT_TRUE(delegate->allCities);
    EXPECT_TRUE(delegate->allCities->empty());
}

TEST_F(CityListTest, ARebuildAsksTheHelperForTheGatewayWithoutWaitingForIt) {
    delegate->initServers(groupsOf(json::array({server("DE", "Berlin", "de-ber")})));
    EXPECT_EQ(delegate->allCities->size(), 1u);
    ASSERT_EQ(environment.helper->commands(), std::vector<std::string>{findGatewayCommand});
    EXPECT_FALSE(delegate->gateway);

    answer(std::string("192.168.1.1\n"));
    environment.runMainQueue();
    EXPECT_EQ(delegate->gateway, "192.168.1.1");
    EXPECT_EQ(environment.defaults->string("gateway"), "192.168.1.1");
}

TEST_F(CityListTest, ATunnelsGatewayOrNoAnswerFallsBackToTheStoredOne) {
    const std::vector<std::tuple<std::optional<std::string>, std::optional<std::string>, std::optional<std::string>>> cases{
        // reply, stored before, gateway after
        {"utun3\n", "10.0.0.1", "10.0.0.1"},   {"", "10.0.0.1", "10.0.0.1"}, {std::nullopt, "10.0.0.1", "10.0.0.1"},
        {"utun3", std::nullopt, std::nullopt}, {"\n", "", std::nullopt},
    };
    for (const auto& [reply, stored, expected] : cases) {
        if (stored) {
            ASSERT_TRUE(environment.defaults->set(*stored, "gateway"));
        } else {
            ASSERT_TRUE(environment.defaults->removeObject("gateway"));
        }
        environment.helper->clear();
        delegate->getGateway();
        ASSERT_EQ(environment.helper->commands().size(), 1u);
        answer(reply);
        environment.runMainQueue();
        EXPECT_EQ(delegate->gateway, expected) << reply.value_or("(no reply)");
        EXPECT_EQ(environment.defaults->string("gateway"), stored) << "only a usable gateway is stored";
    }
}

TEST_F(CityListTest, AUsableGatewayBacksUpTheResolverAndNothingUsableRetriesEveryTwoSeconds) {
    using Texts = std::vector<std::string>;
    delegate->getGateway();
    answer(std::string("192.168.1.1\n"));
    environment.runMainQueue();
    EXPECT_EQ(environment.helper->selectors(), (Texts{"runCommand:withReply:", "backupResolvConf"}));

    ASSERT_TRUE(environment.defaults->set("10.0.0.1", "gateway"));
    environment.helper->clear();
    delegate->getGateway();
    answer(std::string("utun2\n"));
    environment.time.advance(5s);
    EXPECT_EQ(delegate->gateway, "10.0.0.1");
    EXPECT_EQ(environment.helper->selectors(), Texts{"runCommand:withReply:"}) << "no backup, no retry";

    ASSERT_TRUE(environment.defaults->removeObject("gateway"));
    environment.helper->clear();
    delegate->getGateway();
    answer(std::string(""));
    environment.runMainQueue();
    EXPECT_FALSE(delegate->gateway);
    EXPECT_EQ(environment.helper->selectors(), (Texts{"runCommand:withReply:", "restoreResolvConf"}));
    environment.time.advance(1999ms);
    EXPECT_EQ(environment.helper->calls().size(), 2u);
    environment.time.advance(1ms);
    EXPECT_EQ(environment.helper->commands(), (Texts{findGatewayCommand, findGatewayCommand}));
    environment.helper->answer(2, corvantis::helper::HelperWireCodec::encodeTextReply(std::string("192.168.7.1\n")));
    environment.time.advance(10s);
    EXPECT_EQ(delegate->gateway, "192.168.7.1");
    EXPECT_EQ(environment.helper->selectors().back(), "backupResolvConf");
    EXPECT_EQ(environment.helper->commands().size(), 2u) << "a usable answer ends the retries";
}

TEST_F(CityListTest, SignInsAndReleasesWithoutAnyGatewayKeepOneLookupLoopGoing) {
    // No default route and none stored: the helper finds nothing, every time it is asked.
    std::size_t answered = 0;
    const auto answerEveryLookup = [&] {
        for (const auto calls = environment.helper->calls(); answered < calls.size(); ++answered) {
            if (calls[answered].handler) {
                environment.helper->answer(answered, corvantis::helper::HelperWireCodec::encodeTextReply(std::string()));
            }
        }
        environment.runMainQueue();
    };
    for (int signIn = 0; signIn < 3; ++signIn) {
        delegate->initServers(groupsOf(json::array({server("DE", "Berlin", "de-ber")})));
        answerEveryLookup();
    }
    delegate->restoreDefaultRoute();
    answerEveryLookup();
    environment.helper->clear();
    answered = 0;
    for (int second = 0; second < 20; ++second) {
        environment.time.advance(1s);
        answerEveryLookup();
    }
    const auto selectors = environment.helper->selectors();
    EXPECT_EQ(environment.helper->commands().size(), 10u) << "one lookup every 2 s";
    EXPECT_EQ(std::count(selectors.begin(), selectors.end(), "restoreResolvConf"), 10) << testing::PrintToString(selectors);
    EXPECT_FALSE(delegate->gateway);
}

TEST(StringSlice, TheTextBetweenTheFirstOpeningAndTheNextClosing) {
    EXPECT_EQ(corvantis::slice("a[b]c", "[", "]"), "b");
    EXPECT_EQ(corvantis::slice("a[b]c", "[", ")"), std::nullopt);
    EXPECT_EQ(corvantis::slice("x:1:2", ":", ":"), "1");
    EXPECT_EQ(corvantis::slice("a[]c", "[", "]"), "");
    EXPECT_EQ(corvantis::slice("a[b]c", "", "]"), std::nullopt);
    EXPECT_EQ(corvantis::slice("a[b]c", "[", ""), std::nullopt);
    EXPECT_EQ(corvantis::slice("<A\u030a>", "<", ">"), "\u00c5") << "canonically equivalent forms match";
    EXPECT_EQ(corvantis::slice("x\u00c5y", "A\u030a", "y"), "");
}

TEST_F(CityListTest, WithoutAHelperTheListIsBuiltAllTheSame) {
    corvantis::HelperService::setShared(nullptr);
    delegate->initServers(groupsOf(json::array({server("DE", "Berlin", "de-ber")})));
    EXPECT_EQ(delegate->allCities->size(), 1u);
    EXPECT_FALSE(delegate->gateway);
}

}  // namespace
