// A profile the root helper reads from the user's folder before openvpn runs with it, and the
// output openvpn prints while it runs.

#include "HelperService/CorvantisHelper/OpenVpnProfileCheck.hpp"
#include "HelperService/CorvantisHelper/OutputRecord.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)corvantis::helper::OpenVpnProfileCheck::check(text);

    corvantis::helper::OutputRecord record(256);
    for (std::size_t at = 0; at < text.size(); at += 97) record.append(text.substr(at, 97));
    const auto shown = record.text();
    FUZZ_CHECK(shown.size() <= 3 * 256 + 64);  // every byte replaced at worst, and the marker
    return 0;
}
