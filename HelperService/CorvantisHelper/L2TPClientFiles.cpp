#include "HelperService/CorvantisHelper/L2TPClientFiles.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <optional>

namespace corvantis::helper {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

bool isServerName(const std::string& server) {
    const auto allowed = [](unsigned char c) { return std::isalnum(c) || c == '.' || c == '-' || c == ':'; };
    return !server.empty() && server.size() <= 253 && server.front() != '-' && std::ranges::all_of(server, allowed);
}

// A word in double quotes as pppd reads it back; none for text with control characters.
std::optional<std::string> pppQuoted(const std::string& text) {
    std::string quoted = "\"";
    for (const unsigned char c : text) {
        if (c < 0x20 || c == 0x7f) return std::nullopt;
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += static_cast<char>(c);
    }
    return quoted + "\"";
}

}  // namespace

Expected<std::string> L2TPClientFiles::xl2tpdConfiguration(const std::string& server,
                                                           const std::filesystem::path& pppOptionsFile) {
    if (!isServerName(server)) return Error{EINVAL, "The L2TP server address is not a host name or an IP address"};
    return "[lac " + std::string(lacName) + "]\n" + "lns = " + server +
           "\n"
           "pppoptfile = " +
           pppOptionsFile.string() +
           "\n"
           "length bit = yes\n"
           "autodial = no\n"
           "redial = no\n";
}

Expected<std::string> L2TPClientFiles::pppOptions(const std::string& username, const std::string& password,
                                                  const std::string& linkName) {
    const auto user = pppQuoted(username);
    const auto secret = pppQuoted(password);
    if (!user || !secret) return Error{EINVAL, "The account's user name or password holds control characters"};
    // The service takes the primary route, and the peer chooses the addresses.
    return "ipcp-accept-local\n"
           "ipcp-accept-remote\n"
           "noauth\n"
           "refuse-eap\n"
           "noccp\n"
           "defaultroute\n"
           "mtu 1280\n"
           "mru 1280\n"
           "lcp-echo-interval 30\n"
           "lcp-echo-failure 4\n"
           "linkname " +
           linkName +
           "\n"
           "user " +
           *user +
           "\n"
           "password " +
           *secret + "\n";
}

}  // namespace corvantis::helper
