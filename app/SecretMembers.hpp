#pragma once

#include <array>
#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace corvantis {

// Finds the values of the members under which the backend hands out secrets ("access_token",
// "refresh_token", "password", "freeradius_pass", the OpenVPN profiles) in the raw text of a
// reply, whether or not it parses: cut short, with bytes after its end, nested too deep, too
// large for the reader, a member holding a list instead of a text, a key given twice or written
// with escapes. It reads tokens only, one pass without recursion, so no body makes it slow or
// deep.
class SecretMembers {
public:
    static constexpr std::array<std::string_view, 6> names{"access_token",    "refresh_token",     "password",
                                                           "freeradius_pass", "tcp_server_config", "udp_server_config"};

    // Where a secret member's value lies in a text: inside the quotes of a text value, the
    // whole value otherwise, up to the end when the text ends first.
    struct Span {
        std::size_t begin;
        std::size_t end;
        bool isText;
    };

    SecretMembers() = delete;

    static std::vector<Span> spansIn(std::string_view text);
    // The secret texts the members hold, decoded from their JSON escapes.
    static void collect(std::string_view text, std::set<std::string>& found);
    // Replaces each value with `mask` (a text value keeps its quotes).
    static void mask(std::string& text, std::string_view mask);
};

}  // namespace corvantis
