#include "HelperService/CorvantisHelper/OpenVpnProfileCheck.hpp"

#include "HelperService/CorvantisHelper/LogText.hpp"

#include <algorithm>
#include <array>

namespace corvantis::helper::OpenVpnProfileCheck {

using platform::foundation::Error;
using platform::foundation::Expected;

namespace {

// Client directives whose arguments are numbers, names, addresses or cipher lists.
constexpr auto plainDirectives = std::to_array<std::string_view>({
    "allow-compression",
    "allow-pull-fqdn",
    "auth",
    "auth-nocache",
    "auth-retry",
    "block-ipv6",
    "cipher",
    "client",
    "comp-lzo",
    "compress",
    "connect-retry",
    "connect-retry-max",
    "connect-timeout",
    "data-ciphers",
    "data-ciphers-fallback",
    "dev",
    "dev-type",
    "dhcp-option",
    "disable-dco",
    "explicit-exit-notify",
    "fast-io",
    "float",
    "fragment",
    "hand-window",
    "ifconfig-nowarn",
    "ignore-unknown-option",
    "inactive",
    "keepalive",
    "key-direction",
    "keysize",
    "link-mtu",
    "mssfix",
    "mtu-disc",
    "mute",
    "mute-replay-warnings",
    "ncp-ciphers",
    "ncp-disable",
    "nobind",
    "ns-cert-type",
    "persist-key",
    "persist-local-ip",
    "persist-remote-ip",
    "persist-tun",
    "ping",
    "ping-exit",
    "ping-restart",
    "proto",
    "pull",
    "pull-filter",
    "push-peer-info",
    "rcvbuf",
    "redirect-gateway",
    "remote",
    "remote-cert-eku",
    "remote-cert-ku",
    "remote-cert-tls",
    "remote-random",
    "reneg-bytes",
    "reneg-pkts",
    "reneg-sec",
    "replay-window",
    "resolv-retry",
    "route",
    "route-delay",
    "route-method",
    "route-nopull",
    "script-security",
    "server-poll-timeout",
    "sndbuf",
    "tls-client",
    "tls-timeout",
    "topology",
    "tran-window",
    "tls-cipher",
    "tls-ciphersuites",
    "tls-version-max",
    "tls-version-min",
    "tun-ipv6",
    "tun-mtu",
    "txqueuelen",
    "verb",
    "verify-x509-name",
});

// Blocks of key material given inline, between "<name>" and "</name>".
constexpr auto inlineBlocks =
    std::to_array<std::string_view>({"ca", "cert", "key", "tls-auth", "tls-crypt", "tls-crypt-v2", "extra-certs"});

// The scripts a profile may name, for "up" and "down" alike: the bundle's own.
constexpr std::array<std::pair<std::string_view, std::string_view>, 2> scriptDirectives{{{"up", "up.sh"}, {"down", "down.sh"}}};

bool contains(auto const& list, std::string_view name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (at < line.size()) {
        at = line.find_first_not_of(" \t", at);
        if (at == std::string_view::npos) break;
        const auto end = std::min(line.find_first_of(" \t", at), line.size());
        found.push_back(line.substr(at, end - at));
        at = end;
    }
    return found;
}

Error refusal(int line, std::string_view text, const std::string& why) {
    return Error{EPERM, "The profile's line " + std::to_string(line) + " (\"" + printableForLog(text, 80) + "\") " + why};
}

}  // namespace

Expected<CheckedProfile> check(std::string_view profile) {
    if (profile.size() > largestProfile) return Error{EFBIG, "The profile is larger than 1 MiB"};
    if (profile.find('\0') != std::string_view::npos) return Error{EINVAL, "The profile holds a NUL byte"};
    CheckedProfile checked;
    std::string_view openBlock;
    int number = 0;
    for (std::string_view rest = profile; !rest.empty();) {
        const auto end = std::min(rest.find('\n'), rest.size());
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto parts = words(line);
        if (!openBlock.empty()) {
            if (parts.size() == 1 && parts[0] == "</" + std::string(openBlock) + ">") openBlock = {};
            continue;
        }
        if (parts.empty() || parts[0].front() == '#' || parts[0].front() == ';') continue;
        const std::string_view name = parts[0];
        if (name.size() > 2 && name.front() == '<' && name.back() == '>') {
            const auto block = name.substr(1, name.size() - 2);
            if (!contains(inlineBlocks, block)) return refusal(number, line, "opens a block the helper does not accept");
            openBlock = block;
            continue;
        }
        if (name == "auth-user-pass") {
            if (parts.size() > 1) return refusal(number, line, "names a file: the helper gives the credentials itself");
            continue;
        }
        const auto script = std::find_if(scriptDirectives.begin(), scriptDirectives.end(),
                                         [&](const auto& allowed) { return allowed.first == name; });
        if (script != scriptDirectives.end()) {
            if (parts.size() != 2 || parts[1] != script->second) {
                return refusal(number, line, "runs a script other than the bundle's " + std::string(script->second));
            }
            checked.scripts.emplace_back(script->second);
            continue;
        }
        if (!contains(plainDirectives, name)) {
            return refusal(number, line, "is not a client directive the helper accepts");
        }
    }
    if (!openBlock.empty()) return Error{EINVAL, "The profile's <" + std::string(openBlock) + "> block is never closed"};
    return checked;
}

}  // namespace corvantis::helper::OpenVpnProfileCheck
