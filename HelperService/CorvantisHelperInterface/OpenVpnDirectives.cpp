#include "HelperService/CorvantisHelperInterface/OpenVpnDirectives.hpp"

#include <algorithm>
#include <array>
#include <utility>

namespace corvantis::helper::OpenVpnDirectives {

namespace {

using Argument = OpenVpnArgument;

std::vector<OpenVpnDirectiveRule> makeRules() {
    const auto flag = [](std::string name) { return OpenVpnDirectiveRule{std::move(name), 0, {}, false}; };
    const auto seconds = [](long maximum) { return Argument::number(1, maximum); };
    const auto gatewayFlag =
        Argument::oneOf({"def1", "local", "autolocal", "bypass-dhcp", "bypass-dns", "block-local", "ipv6", "!ipv4"});
    const auto bufferSize = Argument::number(0, 16 << 20);
    return {
        flag("client"),
        flag("tls-client"),
        flag("pull"),
        flag("nobind"),
        flag("persist-key"),
        flag("persist-tun"),
        flag("fast-io"),
        flag("remote-random"),
        flag("auth-nocache"),
        // The helper gives the credentials itself, on the command line.
        flag("auth-user-pass"),
        flag("mute-replay-warnings"),
        {"dev", 1, {Argument::oneOf({"tun"})}},
        {"proto", 1, {Argument::transport()}},
        {"remote", 1, {Argument::host(), Argument::port(), Argument::transport()}, true},
        {"resolv-retry", 1, {Argument::secondsOrInfinite()}},
        {"connect-retry", 1, {Argument::number(0, 3600), Argument::number(0, 86400)}},
        {"connect-retry-max", 1, {Argument::number(1, 10000)}},
        {"connect-timeout", 1, {seconds(3600)}},
        {"server-poll-timeout", 1, {seconds(3600)}},
        {"key-direction", 1, {Argument::oneOf({"0", "1"})}},
        {"remote-cert-tls", 1, {Argument::oneOf({"server"})}},
        {"verify-x509-name", 1, {Argument::certificateName(), Argument::oneOf({"name", "name-prefix"})}},
        {"tls-version-min", 1, {Argument::oneOf({"1.0", "1.1", "1.2", "1.3"}), Argument::oneOf({"or-highest"})}},
        {"cipher", 1, {Argument::cipher()}},
        {"data-ciphers", 1, {Argument::cipherList()}},
        {"data-ciphers-fallback", 1, {Argument::cipher()}},
        {"auth", 1, {Argument::digest()}},
        // Gone from openvpn 2.6, which the helper tells to ignore it.
        {"keysize", 1, {Argument::oneOf({"128", "192", "256"})}},
        {"comp-lzo", 0, {Argument::oneOf({"yes", "no", "adaptive"})}},
        {"compress", 0, {Argument::oneOf({"lzo", "lz4", "lz4-v2", "stub", "stub-v2"})}},
        {"allow-compression", 1, {Argument::oneOf({"yes", "no", "asym"})}},
        {"route-method", 1, {Argument::oneOf({"exe", "ipapi", "adaptive"})}},
        {"route-delay", 0, {Argument::number(0, 300), Argument::number(0, 300)}},
        {"redirect-gateway", 0, {gatewayFlag, gatewayFlag, gatewayFlag, gatewayFlag}},
        // Above 4 openvpn logs every packet, and the helper logs what openvpn prints.
        {"verb", 1, {Argument::number(0, 4)}},
        {"sndbuf", 1, {bufferSize}},
        {"rcvbuf", 1, {bufferSize}},
        {"tun-mtu", 1, {Argument::number(576, 9000)}},
        {"mssfix", 0, {Argument::number(0, 9000)}},
        {"ping", 1, {seconds(3600)}},
        {"ping-restart", 1, {seconds(86400)}},
        {"keepalive", 2, {seconds(3600), seconds(86400)}},
        {"reneg-sec", 1, {Argument::number(0, 604800)}},
        {"explicit-exit-notify", 0, {Argument::number(0, 5)}},
        // Only the bundle's own scripts, which the helper copies into the run's folder.
        {"up", 1, {Argument::oneOf({"up.sh"})}},
        {"down", 1, {Argument::oneOf({"down.sh"})}},
    };
}

constexpr std::array<std::pair<std::string_view, KeyBlockContent>, 5> blocks{{
    {"ca", KeyBlockContent::certificates},
    {"cert", KeyBlockContent::certificates},
    {"key", KeyBlockContent::privateKey},
    {"tls-auth", KeyBlockContent::staticKey},
    {"tls-crypt", KeyBlockContent::staticKey},
}};

}  // namespace

const std::vector<OpenVpnDirectiveRule>& rules() {
    static const std::vector<OpenVpnDirectiveRule> made = makeRules();
    return made;
}

const OpenVpnDirectiveRule* rule(std::string_view name) {
    const auto& all = rules();
    const auto found = std::find_if(all.begin(), all.end(), [&](const auto& candidate) { return candidate.name == name; });
    return found == all.end() ? nullptr : &*found;
}

std::optional<KeyBlockContent> blockContent(std::string_view tag) {
    const auto found = std::find_if(blocks.begin(), blocks.end(), [&](const auto& block) { return block.first == tag; });
    if (found == blocks.end()) return std::nullopt;
    return found->second;
}

}  // namespace corvantis::helper::OpenVpnDirectives
