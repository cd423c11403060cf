// A profile the helper reads, from the user's folder or the backend's text, before openvpn runs
// on the helper's rendering of it; and the output openvpn prints while it runs.

#include "HelperService/CorvantisHelper/OutputRecord.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnDirectives.hpp"
#include "HelperService/CorvantisHelperInterface/OpenVpnProfileParser.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using namespace corvantis::helper;

// Reads a rendering the way openvpn reads a file, only more suspiciously: short lines of
// printable ASCII; outside blocks a first word of the closed list and none of openvpn's quoting,
// escape or comment characters; blocks of known tags, closed by their own tag, holding armour
// and body lines only.
bool holdsOnlyAllowedDirectives(std::string_view rendered) {
    if (rendered.empty() || rendered.back() != '\n') return false;
    std::string_view openTag;
    for (std::string_view rest = rendered; !rest.empty();) {
        const auto end = rest.find('\n');
        const auto line = rest.substr(0, end);
        rest.remove_prefix(end + 1);
        if (line.empty() || line.size() > OpenVpnProfileParser::longestLine) return false;
        if (!std::all_of(line.begin(), line.end(), [](char c) { return c >= 0x20 && c < 0x7f; })) return false;
        if (!openTag.empty()) {
            if (line.front() == '<') {
                if (line != "</" + std::string(openTag) + ">") return false;
                openTag = {};
            } else if (!std::all_of(line.begin(), line.end(), [](char c) {
                           return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                                  c == '/' || c == '=' || c == '-' || c == ' ';
                       })) {
                return false;
            }
            continue;
        }
        if (line.find_first_of("\"'\\#;\t") != std::string_view::npos || line.front() == ' ') return false;
        const auto name = line.substr(0, line.find(' '));
        if (name.front() == '<') {
            if (name.size() < 3 || name.back() != '>' || name != line) return false;
            openTag = name.substr(1, name.size() - 2);
            if (!OpenVpnDirectives::blockContent(openTag)) return false;
        } else if (OpenVpnDirectives::rule(name) == nullptr) {
            return false;
        }
    }
    return openTag.empty();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto parsed = OpenVpnProfileParser::parse(text)) {
        const auto rendered = parsed.value().render();
        const auto again = OpenVpnProfileParser::parse(rendered);
        FUZZ_CHECK(again && again.value() == parsed.value());
        FUZZ_CHECK(holdsOnlyAllowedDirectives(rendered));
    }

    OutputRecord record(256);
    for (std::size_t at = 0; at < text.size(); at += 97) record.append(text.substr(at, 97));
    const auto shown = record.text();
    FUZZ_CHECK(shown.size() <= 3 * 256 + 64);  // every byte replaced at worst, and the marker
    return 0;
}
