#include "app/AppDelegate.hpp"

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "platform/Services.hpp"
#include "platform/foundation/UnicodeNormalization.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <algorithm>
#include <deque>
#include <string_view>

namespace corvantis {

namespace {
constexpr const char* findGatewayCommand = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";
constexpr const char* gatewayKey = "gateway";

std::shared_ptr<AppDelegate>& holder() {
    static std::shared_ptr<AppDelegate> delegate;
    return delegate;
}

// A group without a country name (a code the locale does not know) is named by its code.
std::shared_ptr<City> listedCity(const Server& server, const City& city, const platform::foundation::UserDefaults& defaults) {
    auto listed = std::make_shared<City>();
    const auto code = server.countryCode.value_or("");
    const auto cityName = city.name.value_or("");
    listed->name = server.country.value_or(code) + " - " + cityName;
    listed->shortName = code + " - " + cityName;
    listed->countryCode = server.countryCode;
    listed->address = city.address;
    listed->domain = city.domain;
    listed->openvpnTcpPort = city.openvpnTcpPort;
    listed->openvpnUdpPort = city.openvpnUdpPort;
    listed->isFavourite = city.domain && defaults.string(*city.domain).has_value();
    return listed;
}

// Sorts by name as text without locale: Unicode scalar values after canonical composition,
// upper case before lower case. Stable, so sorting once at the end orders the list as sorting
// after every append would.
void sortByName(std::vector<std::shared_ptr<City>>& cities) {
    using Keyed = std::pair<std::string_view, std::shared_ptr<City>>;
    std::vector<Keyed> keyed;
    keyed.reserve(cities.size());
    // Composed forms of the names that are not plain ASCII (a deque keeps the views valid).
    std::deque<std::string> composed;
    for (auto& city : cities) {
        const std::string_view name = *city->name;  // every listed city has one
        const bool ascii = std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (!ascii) composed.push_back(platform::foundation::precomposedStringWithCanonicalMapping(name));
        keyed.emplace_back(ascii ? name : std::string_view(composed.back()), std::move(city));
    }
    // In valid UTF-8 the byte order is the order of the scalar values.
    std::ranges::stable_sort(keyed, std::less<>{}, &Keyed::first);
    for (std::size_t index = 0; index < keyed.size(); ++index) cities[index] = std::move(keyed[index].second);
}
}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::shared() {
    return holder();
}

void AppDelegate::setShared(std::shared_ptr<AppDelegate> delegate) {
    holder() = std::move(delegate);
}

void AppDelegate::getGateway() {
    const auto helper = HelperService::shared();
    if (!helper) return;
    helper->runCommand(findGatewayCommand, [delegate = weak_from_this()](std::optional<std::string> reply) {
        platform::Services::current().mainQueue()->async([delegate, reply = std::move(reply)]() mutable {
            if (const auto self = delegate.lock()) self->takeGateway(std::move(reply));
        });
    });
}

void AppDelegate::takeGateway(std::optional<std::string> reply) {
    if (reply) std::erase(*reply, '\n');
    gateway = std::move(reply);
    const auto defaults = platform::foundation::UserDefaults::standard();
    const bool usable = gateway && !gateway->empty() && gateway->find("tun") == std::string::npos;
    if (usable) {
        if (const auto stored = defaults->set(*gateway, gatewayKey); !stored) {
            logger->error([&] { return "The gateway could not be saved: " + stored.error().message; });
        }
        return;
    }
    // A tunnel's route or no answer: the last usable gateway stands in.
    const auto stored = defaults->string(gatewayKey);
    gateway = stored && !stored->empty() ? stored : std::nullopt;
}

void AppDelegate::initServers(const std::vector<std::shared_ptr<Server>>& serversArray) {
    getGateway();
    const auto defaults = platform::foundation::UserDefaults::standard();
    std::vector<std::shared_ptr<City>> cities;
    for (const auto& server : serversArray) {
        for (const auto& city : server->cities) cities.push_back(listedCity(*server, *city, *defaults));
    }
    sortByName(cities);
    allCities = std::move(cities);
}

}  // namespace corvantis
