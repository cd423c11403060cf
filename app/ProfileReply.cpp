#include "app/ProfileReply.hpp"

#include "app/JsonValue.hpp"
#include "platform/foundation/JSONSerialization.hpp"

#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <string>
#include <unordered_map>

namespace corvantis {

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;
using simdjson::dom::object;
using platform::foundation::JSONSerialization::MemoryBudget;

void setDigits(std::optional<std::string>& text, auto number) {
    char digits[24];
    const auto [end, error] = std::to_chars(digits, digits + sizeof digits, number);
    text.emplace(digits, end);
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

// Walks the members of the reply's outer objects without building their values, so that the
// catalogue can be read apart from the rest. It need not judge the text: the general reader
// reads all of it but the catalogue, and the parser every server.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    std::size_t position() const { return at_; }

    // Whether the next character after white space is `c`.
    bool at(char c) {
        while (at_ < text_.size() && isSpace(text_[at_])) ++at_;
        return at_ < text_.size() && text_[at_] == c;
    }

    // Calls `member(key)` for each member of the object that begins here, with the cursor at
    // the member's value, which `member` moves past.
    template <class Member>
    bool members(MemoryBudget& budget, Member member) {
        if (!consume('{')) return false;
        if (consume('}')) return true;
        do {
            const auto key = nextKey(budget);
            if (!key || !consume(':') || !member(*key)) return false;
        } while (consume(','));
        return consume('}');
    }

    // Calls `element(text)` for the text of each element of the array that begins here.
    template <class Element>
    bool elements(Element element) {
        if (!consume('[')) return false;
        if (consume(']')) return true;
        do {
            const auto text = nextValue();
            if (!text || !element(*text)) return false;
        } while (consume(','));
        return consume(']');
    }

    bool skipValue() { return nextValue().has_value(); }

private:
    static bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

    bool consume(char c) {
        if (!at(c)) return false;
        ++at_;
        return true;
    }

    // The text of the value that begins here, moving past it; none when no value can begin here.
    std::optional<std::string_view> nextValue() {
        if (at('"')) {
            const auto begin = at_;
            if (!skipString()) return std::nullopt;
            return text_.substr(begin, at_ - begin);
        }
        if (at_ >= text_.size()) return std::nullopt;
        const auto begin = at_;
        const char first = text_[at_];
        if (first == '{' || first == '[') {
            std::size_t depth = 0;
            while (at_ < text_.size()) {
                const char c = text_[at_];
                if (c == '"') {
                    if (!skipString()) return std::nullopt;
                    continue;
                }
                ++at_;
                if (c == '{' || c == '[') {
                    ++depth;
                } else if ((c == '}' || c == ']') && --depth == 0) {
                    return text_.substr(begin, at_ - begin);
                }
            }
            return std::nullopt;
        }
        if (first != '-' && (first < '0' || first > '9') && first != 't' && first != 'f' && first != 'n') return std::nullopt;
        while (at_ < text_.size() && !isSpace(text_[at_]) && text_[at_] != ',' && text_[at_] != '}' && text_[at_] != ']') ++at_;
        return text_.substr(begin, at_ - begin);
    }

    // Moves past the text that begins here: to the next quote, unless an escape comes first.
    // Searched for rather than stepped through, since texts are most of a catalogue.
    bool skipString() {
        ++at_;
        auto quote = text_.find('"', at_);
        while (quote != std::string_view::npos) {
            const auto escape = text_.substr(0, quote).find('\\', at_);
            if (escape == std::string_view::npos) {
                at_ = quote + 1;
                return true;
            }
            at_ = escape + 2;
            // Only an escaped quote sends the search on; each part of the text is searched once.
            if (at_ > quote) quote = text_.find('"', at_);
        }
        return false;
    }

    // The key that begins here, unescaped as the general reader would.
    std::optional<std::string> nextKey(MemoryBudget& budget) {
        if (!at('"')) return std::nullopt;
        const auto text = nextValue();
        if (!text) return std::nullopt;
        if (text->find('\\') == std::string_view::npos) return std::string(text->substr(1, text->size() - 2));
        auto key = platform::foundation::JSONSerialization::jsonObject(*text, budget);
        if (!key || !key.value().is_string()) return std::nullopt;
        return key.value().get<std::string>();
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

// Reads the catalogue server by server into country groups, in the order their country first
// appears among the listed servers, each group's cities in the order of their servers;
// countries compare as exact texts. Every record is charged to the reply's budget as it is
// made, so that a catalogue of tiny servers (a few bytes each, yet a record of hundreds) stops
// there.
class CatalogueReader {
public:
    explicit CatalogueReader(MemoryBudget& budget) : budget_(budget) {}

    // False when the server does not parse or its record would pass the budget.
    bool add(std::string_view text) {
        if (text.size() > parser_.capacity() && !grow(text.size())) return false;
        std::copy(text.begin(), text.end(), padded_.begin());
        const auto parsed = parser_.parse(padded_.data(), text.size(), false);
        if (parsed.error() != simdjson::SUCCESS) return false;
        if (!parsed.value_unsafe().is_object()) return true;
        const ServerFields fields(parsed.value_unsafe().get_object().value_unsafe());
        if (!fields.listed()) return true;
        std::string country(fields.country->get_string().value_unsafe());
        const auto [found, isNew] = groupOfCountry_.try_emplace(country, groups_.size());
        if (isNew) {
            if (!budget_.take(groupBytes(country.size()))) return false;
            groups_.emplace_back(std::move(country), std::vector<std::shared_ptr<City>>{});
        }
        auto city = fields.makeCity();
        if (!budget_.take(cityBytes(*city))) return false;
        groups_[found->second].second.push_back(std::move(city));
        return true;
    }

    std::vector<std::shared_ptr<Server>> groups() && {
        std::vector<std::shared_ptr<Server>> models;
        models.reserve(groups_.size());
        for (auto& [country, cities] : groups_) models.push_back(std::make_shared<Server>(std::move(country), std::move(cities)));
        return models;
    }

private:
    // The servers lie three levels inside the reply: its object, "data" and the array.
    static constexpr std::size_t serverDepth = platform::foundation::JSONSerialization::maximumNestingDepth - 3;

    // The parser reserves about fourteen bytes for every byte it can take (its index, tape and
    // texts), and the text is copied beside it with the padding the parser reads past its end.
    bool grow(std::size_t length) {
        const auto capacity = std::max({length, 2 * parser_.capacity(), std::size_t{4096}});
        if (!budget_.take(16 * capacity + 16 * serverDepth)) return false;
        padded_.assign(capacity + simdjson::SIMDJSON_PADDING, ' ');
        return parser_.allocate(capacity, serverDepth) == simdjson::SUCCESS;
    }

    static std::size_t text(const std::optional<std::string>& value) {
        return value ? MemoryBudget::characters(value->size()) : 0;
    }

    // The record, its texts, and its place in the group's list (which grows by doubling).
    static std::size_t cityBytes(const City& city) {
        return MemoryBudget::block(sizeof(City) + 16) + text(city.name) + text(city.address) + text(city.domain) +
               text(city.openvpnTcpPort) + text(city.openvpnUdpPort) + 3 * sizeof(std::shared_ptr<City>);
    }

    // The group, its country's code, image and name, and its places in the lookup and the lists.
    static std::size_t groupBytes(std::size_t countryLength) {
        return MemoryBudget::block(sizeof(Server) + 16) + 3 * MemoryBudget::characters(countryLength) + MemoryBudget::block(64) +
               MemoryBudget::block(sizeof(std::pair<const std::string, std::size_t>) + 16) + 16 +
               3 * sizeof(std::pair<std::string, std::vector<std::shared_ptr<City>>>) + 3 * sizeof(std::shared_ptr<Server>);
    }

    MemoryBudget& budget_;
    simdjson::dom::parser parser_;
    std::vector<char> padded_;
    std::vector<std::pair<std::string, std::vector<std::shared_ptr<City>>>> groups_;
    std::unordered_map<std::string, std::size_t> groupOfCountry_;
};

// Where the catalogue lay in the reply, and its groups.
struct Catalogue {
    std::size_t begin;
    std::size_t end;
    ProfileReply::Servers servers;
};

}  // namespace

std::optional<ProfileReply> ProfileReply::read(std::string_view body) {
    using platform::foundation::JSONSerialization::jsonObject;
    MemoryBudget budget(platform::foundation::JSONSerialization::memoryBudget(body.size()));
    // The last "vpn_servers" array of the last "data" object counts, as the last of equal keys does.
    std::optional<Catalogue> catalogue;
    Cursor cursor(body);
    const bool walked = cursor.members(budget, [&](const std::string& key) {
        if (key != "data") return cursor.skipValue();
        catalogue.reset();
        if (!cursor.at('{')) return cursor.skipValue();
        return cursor.members(budget, [&](const std::string& key) {
            if (key != "vpn_servers") return cursor.skipValue();
            catalogue.reset();
            if (!cursor.at('[')) return cursor.skipValue();
            const auto begin = cursor.position();
            CatalogueReader reader(budget);
            if (!cursor.elements([&](std::string_view server) { return reader.add(server); })) return false;
            catalogue = Catalogue{begin, cursor.position(), std::move(reader).groups()};
            return true;
        });
    });
    if (!walked) return std::nullopt;

    // The rest of the reply, the catalogue's place held by a null, goes to the general reader.
    std::string rest;
    if (catalogue) {
        const auto size = body.size() - (catalogue->end - catalogue->begin) + 4;
        if (!budget.take(MemoryBudget::block(size + 1))) return std::nullopt;
        rest.reserve(size);
        rest.append(body.substr(0, catalogue->begin)).append("null").append(body.substr(catalogue->end));
    }
    auto parsed = jsonObject(catalogue ? std::string_view(rest) : body, budget);
    if (!parsed || !parsed.value().is_object()) return std::nullopt;
    ProfileReply reply{std::move(parsed.value()), std::nullopt};
    if (catalogue) {
        const auto data = reply.json.find("data");
        if (data == reply.json.end() || !data->is_object() || data->erase("vpn_servers") != 1) return std::nullopt;
        reply.servers = std::move(catalogue->servers);
    }
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
