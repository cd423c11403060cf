#include "app/Ipify.hpp"

#include "app/PublicIPRequest.hpp"

#include <nlohmann/json.hpp>

namespace corvantis {

std::string Ipify::url() {
    return PublicIPRequest::configuredUrl("CORVANTIS_IPIFY_URL", builtInUrl);
}

void Ipify::getPublicIPAddress(std::function<void(platform::foundation::Expected<std::string>)> completion) {
    PublicIPRequest::get(url(), [completion = std::move(completion)](platform::foundation::Expected<nlohmann::json> reply) {
        if (!reply) return completion(reply.error());
        const auto ip = reply.value().find("ip");
        if (ip == reply.value().end() || !ip->is_string() || !PublicIPRequest::isAddress(ip->get<std::string>())) {
            return completion(platform::foundation::Error{0, "The reply holds no address"});
        }
        completion(ip->get<std::string>());
    });
}

}  // namespace corvantis
