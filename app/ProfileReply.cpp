#include "app/ProfileReply.hpp"

#include "app/JsonValue.hpp"
#include "platform/foundation/JSONSerialization.hpp"

#include <simdjson.h>

#include <charconv>
#include <string>
#include <unordered_map>

namespace corvantis {

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;

void setDigits(std::optional<std::string>& text, auto number) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
    text.emplace(digits, end);
}

// The value the general reader makes of `value`. Objects keep the last of equal keys, as it
// does; the parser's depth limit bounds the recursion.
nlohmann::json converted(element value) {
    switch (value.type()) {
        case element_type::OBJECT: {
            nlohmann::json result = nlohmann::json::object();
            const object fields = value.get_object().value_unsafe();
            for (const auto field : fields) result[std::string(field.key)] = converted(field.value);
            return result;
        }
        case element_type::ARRAY: {
            nlohmann::json result = nlohmann::json::array();
            const simdjson::dom::array items = value.get_array().value_unsafe();
            for (const auto item : items) result.push_back(converted(item));
            return result;
        }
        case element_type::STRING: return std::string(value.get_string().value_unsafe());
        // The general reader keeps a number without a sign as unsigned.
        case element_type::INT64: {
            const auto number = value.get_int64().value_unsafe();
            return number >= 0 ? nlohmann::json(static_cast<std::uint64_t>(number)) : nlohmann::json(number);
        }
        case element_type::UINT64: return value.get_uint64().value_unsafe();
        case element_type::DOUBLE: return value.get_double().value_unsafe();
        case element_type::BOOL: return value.get_bool().value_unsafe();
        case element_type::NULL_VALUE: return nullptr;
    }
    return nullptr;
}

// `JsonValue::textValue` of the value the general reader would make, when there is one, made
// right in `text`: a catalogue has tens of thousands of these.
void setText(std::optional<std::string>& text, element value) {
    switch (value.type()) {
        case element_type::STRING: text.emplace(value.get_string().value_unsafe()); return;
        case element_type::INT64: setDigits(text, value.get_int64().value_unsafe()); return;
        case element_type::UINT64: setDigits(text, value.get_uint64().value_unsafe()); return;
        case element_type::DOUBLE: text = JsonValue::floatText(value.get_double().value_unsafe()); return;
        default: return;
    }
}

// `JsonValue::doubleValue` of the value the general reader would make.
double numberOf(element value) {
    switch (value.type()) {
        case element_type::BOOL: return value.get_bool().value_unsafe() ? 1.0 : 0.0;
        case element_type::INT64: return static_cast<double>(value.get_int64().value_unsafe());
        case element_type::UINT64: return static_cast<double>(value.get_uint64().value_unsafe());
        case element_type::DOUBLE: return value.get_double().value_unsafe();
        case element_type::STRING: return JsonValue::leadingDouble(value.get_string().value_unsafe());
        default: return 0.0;
    }
}

// The members of a server object that a city is made of; the last of equal keys counts.
struct ServerFields {
    std::optional<element> serverstatus, country, city, name, address, serverload, tcpPort, udpPort;

    explicit ServerFields(object server) {
        // Read through the iterator: the range form copies every member into a key-value pair
        // first, and taking the value back out of that copy was the costliest step here.
        for (auto field = server.begin(); field != server.end(); ++field) {
            if (auto* slot = slotOf(field.key())) *slot = field.value();
        }
    }

    // Left out as the grouping leaves a server out: switched off (a status that reads as the
    // integer 0), or without a text country, city or host name.
    bool listed() const {
        if (serverstatus) {
            std::optional<std::string> status;
            setText(status, *serverstatus);
            if (status && JsonValue::decimalInteger(*status) == 0) return false;
        }
        return country && country->is_string() && city && city->is_string() && name && name->is_string();
    }

    // Where the member named `key` goes; none for members no city is made of. Told apart by
    // length first, since every server has many members and this runs for each of them.
    std::optional<element>* slotOf(std::string_view key) {
        switch (key.size()) {
            case 4: return key == "city" ? &city : key == "name" ? &name : nullptr;
            case 7: return key == "country" ? &country : key == "address" ? &address : nullptr;
            case 10: return key == "serverload" ? &serverload : nullptr;
            case 12: return key == "serverstatus" ? &serverstatus : nullptr;
            case 16: return key == "openvpn_port_tcp" ? &tcpPort : key == "openvpn_port_udp" ? &udpPort : nullptr;
            default: return nullptr;
        }
    }

    std::shared_ptr<City> makeCity() const {
        auto made = std::make_shared<City>();
        made->name.emplace(city->get_string().value_unsafe());
        if (address) setText(made->address, *address);
        made->domain.emplace(name->get_string().value_unsafe());
        if (serverload) made->serverload = numberOf(*serverload);
        if (tcpPort) setText(made->openvpnTcpPort, *tcpPort);
        if (udpPort) setText(made->openvpnUdpPort, *udpPort);
        return made;
    }
};

// Groups in the order their country first appears among the listed servers, each group's
// cities in the order of their servers; countries compare as exact texts.
std::vector<std::shared_ptr<Server>> countryGroupsOf(simdjson::dom::array servers) {
    std::vector<std::pair<std::string_view, std::vector<std::shared_ptr<City>>>> groups;
    std::unordered_map<std::string_view, std::size_t> groupOfCountry;
    for (const auto server : servers) {
        if (!server.is_object()) continue;
        const ServerFields fields(server.get_object().value_unsafe());
        if (!fields.listed()) continue;
        const auto country = fields.country->get_string().value_unsafe();
        const auto [found, isNew] = groupOfCountry.try_emplace(country, groups.size());
        if (isNew) groups.emplace_back(country, std::vector<std::shared_ptr<City>>{});
        groups[found->second].second.push_back(fields.makeCity());
    }
    std::vector<std::shared_ptr<Server>> models;
    models.reserve(groups.size());
    for (auto& [country, cities] : groups) models.push_back(std::make_shared<Server>(std::string(country), std::move(cities)));
    return models;
}

// `parent` converted without its members named `key`, and the last of those members.
std::pair<nlohmann::json, std::optional<element>> convertedWithout(object parent, std::string_view key) {
    nlohmann::json result = nlohmann::json::object();
    std::optional<element> last;
    for (const auto field : parent) {
        if (field.key == key) {
            last = field.value;
        } else {
            result[std::string(field.key)] = converted(field.value);
        }
    }
    return {std::move(result), last};
}

}  // namespace

std::optional<ProfileReply> ProfileReply::read(std::string_view body) {
    simdjson::dom::parser parser;
    if (parser.allocate(body.size(), platform::foundation::JSONSerialization::maximumNestingDepth) != simdjson::SUCCESS) {
        return std::nullopt;
    }
    const auto parsed = parser.parse(body.data(), body.size());
    if (parsed.error() != simdjson::SUCCESS || !parsed.value_unsafe().is_object()) return std::nullopt;

    ProfileReply reply;
    auto [json, data] = convertedWithout(parsed.value_unsafe().get_object().value_unsafe(), "data");
    reply.json = std::move(json);
    if (!data) return reply;
    if (!data->is_object()) {
        reply.json["data"] = converted(*data);
        return reply;
    }
    auto [dataJson, servers] = convertedWithout(data->get_object().value_unsafe(), "vpn_servers");
    if (servers && servers->is_array()) {
        reply.servers = countryGroupsOf(servers->get_array().value_unsafe());
    } else if (servers) {
        dataJson["vpn_servers"] = converted(*servers);
    }
    reply.json["data"] = std::move(dataJson);
    return reply;
}

ApiReply::BodyReader ProfileReply::readerKeepingServers(std::shared_ptr<std::optional<Servers>> into) {
    return [into = std::move(into)](std::string_view body) -> std::optional<nlohmann::json> {
        auto reply = read(body);
        if (!reply) return std::nullopt;
        *into = std::move(reply->servers);
        return std::move(reply->json);
    };
}

}  // namespace corvantis
