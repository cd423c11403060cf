#include "platform/crashreporting/Dsn.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace platform::crashreporting {

namespace {
foundation::Expected<Dsn> invalid(std::string_view text, const std::string& why) {
    return foundation::Error{EINVAL, "The crash-reporting DSN \"" + std::string(text) + "\" " + why};
}

bool allDigits(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](unsigned char c) { return std::isdigit(c) != 0; });
}
}  // namespace

foundation::Expected<Dsn> Dsn::parse(std::string_view text) {
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string_view::npos) return invalid(text, "has no scheme");
    const auto scheme = text.substr(0, schemeEnd);
    if (scheme != "http" && scheme != "https") return invalid(text, "must use http or https");
    auto rest = text.substr(schemeEnd + 3);
    const auto at = rest.find('@');
    const auto slash = rest.find('/');
    if (at == std::string_view::npos || (slash != std::string_view::npos && at > slash)) {
        return invalid(text, "has no public key");
    }
    Dsn dsn;
    dsn.publicKey = std::string(rest.substr(0, rest.find_first_of(":@")));  // a secret after ':' is not sent
    if (dsn.publicKey.empty()) return invalid(text, "has no public key");
    rest.remove_prefix(at + 1);
    const auto lastSlash = rest.rfind('/');
    if (lastSlash == std::string_view::npos || lastSlash == 0) return invalid(text, "has no project id");
    dsn.projectId = std::string(rest.substr(lastSlash + 1));
    if (!allDigits(dsn.projectId)) return invalid(text, "does not end in a numeric project id");
    const auto hostAndPath = rest.substr(0, lastSlash);
    if (hostAndPath.front() == '/' || hostAndPath.find_first_of("?# ") != std::string_view::npos) {
        return invalid(text, "has no usable host");
    }
    dsn.storeUrl = std::string(scheme) + "://" + std::string(hostAndPath) + "/api/" + dsn.projectId + "/store/";
    return dsn;
}

}  // namespace platform::crashreporting
