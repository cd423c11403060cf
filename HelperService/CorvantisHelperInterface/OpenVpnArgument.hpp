#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace corvantis::helper {

// The kind of one argument of an OpenVPN client directive: what it may be, said in words for a
// refusal, and its one canonical spelling. Every kind accepts only printable ASCII without
// quotes, backslashes, blanks, "#" or ";", so a canonical argument reads the same to every reader
// of a profile.
class OpenVpnArgument {
public:
    using Canonical = std::function<std::optional<std::string>(std::string_view)>;

    OpenVpnArgument(std::string what, Canonical canonical) : what_(std::move(what)), canonical_(std::move(canonical)) {}

    // A server address (ServerAddress), unchanged.
    static OpenVpnArgument host();
    // 1-65535 in decimal, without leading zeros.
    static OpenVpnArgument port();
    // A client transport: udp, tcp, tcp-client, each also with 4 or 6.
    static OpenVpnArgument transport();
    // A data-channel cipher of a fixed set, in capitals.
    static OpenVpnArgument cipher();
    // Ciphers of that set joined by ":", each at most once.
    static OpenVpnArgument cipherList();
    // A digest of the SHA-1 and SHA-2 family, in capitals.
    static OpenVpnArgument digest();
    // A decimal number from `minimum` to `maximum`, without sign or leading zeros.
    static OpenVpnArgument number(long minimum, long maximum);
    // A number of seconds up to a day, or "infinite".
    static OpenVpnArgument secondsOrInfinite();
    // One of `words`, exactly.
    static OpenVpnArgument oneOf(std::initializer_list<std::string_view> words);
    // A certificate's common name or its start: letters, digits, ".", "_" and "-", up to 64.
    static OpenVpnArgument certificateName();

    const std::string& what() const { return what_; }
    // The argument's canonical spelling; none when `text` is not of this kind.
    std::optional<std::string> canonical(std::string_view text) const { return canonical_(text); }

private:
    std::string what_;
    Canonical canonical_;
};

}  // namespace corvantis::helper
