#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/network/ViciMessage.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform::network {

// The packet types of the VICI protocol, with their wire values.
enum class ViciPacketType : std::uint8_t {
    commandRequest = 0,   // CMD_REQUEST: named, with a message
    commandResponse = 1,  // CMD_RESPONSE: a message
    commandUnknown = 2,   // CMD_UNKNOWN
    eventRegister = 3,    // EVENT_REGISTER: named
    eventUnregister = 4,  // EVENT_UNREGISTER: named
    eventConfirm = 5,     // EVENT_CONFIRM
    eventUnknown = 6,     // EVENT_UNKNOWN
    event = 7,            // EVENT: named, with a message
};

// One VICI packet. On the stream each is preceded by its length, four bytes big-endian.
struct ViciPacket {
    ViciPacketType type = ViciPacketType::commandRequest;
    std::string name;     // for the named types only
    ViciMessage message;  // for the types that carry one

    // The largest packet either side accepts.
    static constexpr std::size_t maximumLength = 512 * 1024;

    static bool isNamed(ViciPacketType type);
    static bool carriesMessage(ViciPacketType type);

    // The packet with its length prefix, ready for the socket.
    foundation::Expected<std::string> encode() const;
    // Reads one packet from the bytes after its length prefix; a name on an unnamed type, a
    // message on a type without one, or anything left over is refused.
    static foundation::Expected<ViciPacket> decode(std::string_view bytes);
};

}  // namespace platform::network
