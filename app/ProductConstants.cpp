#include "app/ProductConstants.hpp"

#include <cstdlib>

namespace corvantis::product {

namespace {
std::string configured(const char* variable, std::string_view builtIn) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? std::string(value) : std::string(builtIn);
}
}  // namespace

std::string supportEmail() {
    return configured("CORVANTIS_SUPPORT_EMAIL", defaultSupportEmail);
}

std::string supportSite() {
    std::string site = configured("CORVANTIS_SUPPORT_SITE", defaultSupportSite);
    while (site.ends_with('/')) site.pop_back();
    return site;
}

}  // namespace corvantis::product
