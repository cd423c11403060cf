// The profile reply read in one pass must give exactly what the general reader, the country
// grouping and the record builders give: same records in the same order, same JSON for the
// rest of the reply, and no reply accepted that the general reader refuses.

#include "app/CountryGroups.hpp"
#include "app/ProfileReply.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/JSONSerialization.hpp"
#include "platform/foundation/Locale.hpp"
#include "testbed/backend/BackendConfiguration.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <random>

using corvantis::ProfileReply;
using corvantis::Server;
using nlohmann::json;

namespace {

// Every field of the groups and their cities, doubles by their bits.
json fieldsOf(const std::vector<std::shared_ptr<Server>>& servers) {
    const auto text = [](const std::optional<std::string>& value) { return value ? json(*value) : json(); };
    json groups = json::array();
    for (const auto& server : servers) {
        json cities = json::array();
        for (const auto& city : server->cities) {
            cities.push_back({text(city->name), text(city->shortName), text(city->address), text(city->domain),
                              std::bit_cast<std::uint64_t>(city->serverload), text(city->status), city->isFavourite,
                              text(city->countryCode), text(city->openvpnTcpPort), text(city->openvpnUdpPort),
                              city->isRecommended});
        }
        groups.push_back({text(server->country), text(server->countryCode), text(server->image), server->expend, cities});
    }
    return groups;
}

// Compares the one-pass reading of `body` with the general reader's; true when it read it.
bool readsAsTheGeneralReader(const std::string& body) {
    const auto read = ProfileReply::read(body);
    // The general reader's values, without the memory budget that a whole catalogue exceeds.
    auto expected = json::parse(body, nullptr, false);
    if (!read) return false;
    EXPECT_TRUE(expected.is_object()) << body;
    if (!expected.is_object()) return true;

    const auto data = expected.find("data");
    const bool listed =
        data != expected.end() && data->is_object() && data->contains("vpn_servers") && (*data)["vpn_servers"].is_array();
    EXPECT_EQ(read->servers.has_value(), listed) << body;
    if (listed) {
        const auto servers = Server::modelsFromDictionaryArray(corvantis::CountryGroups::fromServers((*data)["vpn_servers"]));
        if (read->servers) {
            EXPECT_EQ(fieldsOf(*read->servers), fieldsOf(servers)) << body;
        }
        data->erase("vpn_servers");
    }
    EXPECT_EQ(read->json.dump(), expected.dump()) << body;
    return true;
}

// Random JSON text for a profile whose servers mix every kind of value, repeated keys, switched
// off servers and escapes, the way a careless backend might send them.
class ProfileText {
public:
    explicit ProfileText(unsigned seed) : random_(seed) {}

    std::string profile() {
        std::string servers = "[";
        const auto count = pick(40);
        for (std::size_t index = 0; index < count; ++index) servers += (index ? "," : "") + server();
        servers += "]";
        std::string data = "{" + member("freeradius_pass", "\"pw\\u00e9\"") + "," + member("email_confirmed", "\"1\"") + ",";
        if (pick(10) == 0) data += member("vpn_servers", scalar()) + ",";  // an earlier list that the last one replaces
        data += member("vpn_servers", pick(12) == 0 ? scalar() : servers) + ",";
        data += member("subscriptions", R"({"7":"2026-01-02","9":"2025-03-04"})") + "," + member("categories", R"({"2":"VPN"})") +
                "}";
        std::string top = "{";
        if (pick(10) == 0) top += member("data", "[1]") + ",";
        if (pick(20) == 0) top += member("status", "\"ok\"") + ",";
        return top + member("data", pick(15) == 0 ? scalar() : data) + " , " + member("login", "\"a\\\"b\"") + "}";
    }

private:
    std::size_t pick(std::size_t below) { return std::uniform_int_distribution<std::size_t>(0, below - 1)(random_); }

    static std::string member(const std::string& key, const std::string& value) { return "\"" + key + "\" : " + value; }

    std::string scalar() {
        static const std::vector<std::string> values{"\"0\"",
                                                     "\"1\"",
                                                     "\"2\"",
                                                     "\"x\"",
                                                     "\"\"",
                                                     "\" 0\"",
                                                     "\"+0\"",
                                                     "\"-0\"",
                                                     "\"0.0\"",
                                                     "\"42.5\"",
                                                     "\"nan\"",
                                                     "0",
                                                     "1",
                                                     "-0",
                                                     "-7",
                                                     "0.0",
                                                     "-0.0",
                                                     "12.5",
                                                     "1e2",
                                                     "1E-3",
                                                     "443",
                                                     "18446744073709551615",
                                                     "9223372036854775808",
                                                     "true",
                                                     "false",
                                                     "null",
                                                     "[]",
                                                     "[\"DE\"]",
                                                     "{}",
                                                     "{\"a\":1}",
                                                     "\"DE\"",
                                                     "\"FR\"",
                                                     "\"de\"",
                                                     "\"\\u00c5land\"",
                                                     "\"D\\u0045\""};
        return values[pick(values.size())];
    }

    std::string server() {
        if (pick(15) == 0) return scalar();
        static const std::vector<std::string> keys{
            "serverstatus",     "country",          "city",   "name",        "address", "serverload",
            "openvpn_port_tcp", "openvpn_port_udp", "status", "recommended", "other"};
        std::string text = "{";
        bool first = true;
        const auto add = [&](const std::string& key, const std::string& value) {
            text += (first ? "" : ",") + member(key, value);
            first = false;
        };
        if (pick(4) != 0) {  // mostly well-formed servers, so that many are listed
            add("serverstatus", pick(5) == 0 ? "\"0\"" : "\"1\"");
            add("country", pick(2) ? "\"DE\"" : "\"FR\"");
            add("city", "\"City " + std::to_string(pick(5)) + "\"");
            add("name", "\"host-" + std::to_string(pick(50)) + ".test\"");
        }
        for (std::size_t extra = pick(6); extra > 0; --extra) add(keys[pick(keys.size())], scalar());
        return text + "}";
    }

    std::mt19937 random_;
};

class ProfileReplyTest : public ::testing::Test {
protected:
    platform::Services english() {
        platform::Services services;
        services.localeOverride = std::make_shared<const platform::foundation::Locale>("en_US");
        return services;
    }
    platform::ScopedServices scope{english()};
};

TEST_F(ProfileReplyTest, GeneratedProfilesReadAsTheGeneralReaderAndGroupingReadThem) {
    ProfileText generator(20261209);
    std::size_t read = 0;
    for (int index = 0; index < 400; ++index) {
        const auto body = generator.profile();
        read += readsAsTheGeneralReader(body) ? 1 : 0;
        if (HasFailure()) break;
    }
    EXPECT_GT(read, 390u) << "the one-pass reading left too many plain profiles to the general reader";
}

TEST_F(ProfileReplyTest, TheTestBackendsCatalogueReadsTheSame) {
    using corvantis::testbed::BackendConfiguration;
    const auto configuration = BackendConfiguration::withCatalogue(2000, BackendConfiguration::largestCountryCount);
    EXPECT_TRUE(readsAsTheGeneralReader(corvantis::testbed::TestBackend::profileOf(configuration.accounts.front()).dump()));
    EXPECT_TRUE(readsAsTheGeneralReader(
        corvantis::testbed::TestBackend::profileOf(BackendConfiguration::demo().accounts.front()).dump()));
}

TEST_F(ProfileReplyTest, BodiesItDoesNotVouchForAreLeftToTheGeneralReader) {
    const auto nested = [](std::size_t depth) {
        return "{\"data\":" + std::string(depth - 1, '[') + std::string(depth - 1, ']') + "}";
    };
    using platform::foundation::JSONSerialization::maximumNestingDepth;
    // The general reader accepts these and reads them its own way.
    for (const std::string_view body :
         {"\xEF\xBB\xBF{\"data\":{}}", "{\"data\":{\"vpn_servers\":[{\"serverload\":18446744073709551616}]}}", "[{\"data\":{}}]",
          "\"data\""}) {
        EXPECT_FALSE(ProfileReply::read(body)) << body;
        EXPECT_TRUE(platform::foundation::JSONSerialization::jsonObject(body)) << body;
    }
    // Neither reader accepts these.
    for (const std::string& body :
         {std::string(""), std::string("{\"data\":{}} x"), std::string("{\"data\":\"\\udc00\"}"),
          std::string("{\"data\":\"\\ud800\"}"), std::string("{\"data\":\"\xC3\"}"), std::string("{\"data\":1e400}"),
          std::string("{\"data\":[1,]}"), nested(maximumNestingDepth + 1)}) {
        EXPECT_FALSE(ProfileReply::read(body)) << body;
        EXPECT_FALSE(platform::foundation::JSONSerialization::jsonObject(body)) << body;
    }
    EXPECT_TRUE(readsAsTheGeneralReader(nested(maximumNestingDepth)));
}

}  // namespace
