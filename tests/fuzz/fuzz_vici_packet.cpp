// What charon's socket can hand the helper: a VICI packet body. Whatever decodes must encode
// back to the same bytes (the format has one spelling per message).

#include "platform/network/ViciPacket.hpp"
#include "tests/fuzz/FuzzCheck.hpp"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const auto packet = platform::network::ViciPacket::decode(bytes);
    if (!packet) return 0;
    const auto encoded = packet.value().encode();
    FUZZ_CHECK(encoded.hasValue());
    FUZZ_CHECK(encoded.value().substr(4) == bytes);
    return 0;
}
