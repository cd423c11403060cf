#include "HelperService/CorvantisHelper/RouteTable.hpp"

namespace corvantis::helper {

std::string Ipv4Route::text() const {
    const std::string via = " via " + gateway.text();
    if (prefixLength == 0) return "default" + via;
    if (prefixLength == 32) return destination.text() + via;
    return destination.text() + "/" + std::to_string(prefixLength) + via;
}

}  // namespace corvantis::helper
