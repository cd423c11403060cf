#include "HelperService/CorvantisHelperInterface/OpenVpnArgument.hpp"

#include "HelperService/CorvantisHelperInterface/ServerAddress.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <span>
#include <vector>

namespace corvantis::helper {

namespace {

constexpr auto ciphers = std::to_array<std::string_view>(
    {"AES-128-CBC", "AES-192-CBC", "AES-256-CBC", "AES-128-GCM", "AES-192-GCM", "AES-256-GCM", "CHACHA20-POLY1305"});
constexpr auto digests = std::to_array<std::string_view>({"SHA1", "SHA224", "SHA256", "SHA384", "SHA512"});
constexpr auto transports =
    std::to_array<std::string_view>({"udp", "udp4", "udp6", "tcp", "tcp4", "tcp6", "tcp-client", "tcp4-client", "tcp6-client"});

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool isLetterOrDigit(char c) {
    return isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string upper(std::string_view text) {
    std::string made(text);
    for (char& c : made) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return made;
}

// openvpn reads cipher and digest names without regard to case.
std::optional<std::string> fromSet(std::span<const std::string_view> names, std::string_view text) {
    const auto wanted = upper(text);
    if (std::find(names.begin(), names.end(), wanted) == names.end()) return std::nullopt;
    return wanted;
}

std::optional<long> decimal(std::string_view text) {
    if (text.empty() || text.size() > 9 || (text.size() > 1 && text.front() == '0')) return std::nullopt;
    if (!std::all_of(text.begin(), text.end(), isDigit)) return std::nullopt;
    long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

OpenVpnArgument OpenVpnArgument::host() {
    return {"a host name or an IPv4 address", [](std::string_view text) -> std::optional<std::string> {
                if (ServerAddress::isValid(text)) return std::string(text);
                return std::nullopt;
            }};
}

OpenVpnArgument OpenVpnArgument::port() {
    return number(1, 65535);
}

OpenVpnArgument OpenVpnArgument::transport() {
    return {"a client transport (udp, tcp, tcp-client, with 4 or 6)", [](std::string_view text) -> std::optional<std::string> {
                if (std::find(transports.begin(), transports.end(), text) == transports.end()) return std::nullopt;
                return std::string(text);
            }};
}

OpenVpnArgument OpenVpnArgument::cipher() {
    return {"a data-channel cipher the helper accepts", [](std::string_view text) { return fromSet(ciphers, text); }};
}

OpenVpnArgument OpenVpnArgument::cipherList() {
    return {"a \":\" list of data-channel ciphers the helper accepts", [](std::string_view text) -> std::optional<std::string> {
                std::vector<std::string> seen;
                std::string list;
                for (std::string_view rest = text;;) {
                    const auto colon = rest.find(':');
                    auto name = fromSet(ciphers, rest.substr(0, colon));
                    if (!name || std::find(seen.begin(), seen.end(), *name) != seen.end()) return std::nullopt;
                    list += (list.empty() ? "" : ":") + *name;
                    seen.push_back(std::move(*name));
                    if (colon == std::string_view::npos) return list;
                    rest.remove_prefix(colon + 1);
                }
            }};
}

OpenVpnArgument OpenVpnArgument::digest() {
    return {"a SHA-1 or SHA-2 digest", [](std::string_view text) { return fromSet(digests, text); }};
}

OpenVpnArgument OpenVpnArgument::number(long minimum, long maximum) {
    return {"a number from " + std::to_string(minimum) + " to " + std::to_string(maximum),
            [minimum, maximum](std::string_view text) -> std::optional<std::string> {
                const auto value = decimal(text);
                if (!value || *value < minimum || *value > maximum) return std::nullopt;
                return std::string(text);
            }};
}

OpenVpnArgument OpenVpnArgument::secondsOrInfinite() {
    const auto seconds = number(0, 86400);
    return {seconds.what() + " or \"infinite\"", [seconds](std::string_view text) -> std::optional<std::string> {
                if (text == "infinite") return std::string(text);
                return seconds.canonical(text);
            }};
}

OpenVpnArgument OpenVpnArgument::oneOf(std::initializer_list<std::string_view> words) {
    std::vector<std::string> allowed(words.begin(), words.end());
    std::string what;
    for (const auto& word : allowed) what += (what.empty() ? "one of " : ", ") + word;
    return {what, [allowed](std::string_view text) -> std::optional<std::string> {
                if (std::find(allowed.begin(), allowed.end(), text) == allowed.end()) return std::nullopt;
                return std::string(text);
            }};
}

OpenVpnArgument OpenVpnArgument::certificateName() {
    return {"a certificate name of letters, digits, \".\", \"_\" and \"-\"",
            [](std::string_view text) -> std::optional<std::string> {
                const bool fits = !text.empty() && text.size() <= 64 && std::all_of(text.begin(), text.end(), [](char c) {
                    return isLetterOrDigit(c) || c == '.' || c == '_' || c == '-';
                });
                if (!fits) return std::nullopt;
                return std::string(text);
            }};
}

}  // namespace corvantis::helper
