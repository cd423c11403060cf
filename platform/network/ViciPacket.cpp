#include "platform/network/ViciPacket.hpp"

namespace platform::network {

using foundation::Error;
using foundation::Expected;

namespace {

Error malformed(const std::string& what) {
    return Error{EBADMSG, "Malformed VICI packet: " + what};
}

}  // namespace

bool ViciPacket::isNamed(ViciPacketType type) {
    return type == ViciPacketType::commandRequest || type == ViciPacketType::eventRegister ||
           type == ViciPacketType::eventUnregister || type == ViciPacketType::event;
}

bool ViciPacket::carriesMessage(ViciPacketType type) {
    return type == ViciPacketType::commandRequest || type == ViciPacketType::commandResponse || type == ViciPacketType::event;
}

Expected<std::string> ViciPacket::encode() const {
    std::string body(1, static_cast<char>(type));
    if (isNamed(type)) {
        if (name.empty() || name.size() > ViciMessage::maximumNameLength)
            return Error{EINVAL, "A VICI packet name must have 1 to 255 bytes"};
        body.push_back(static_cast<char>(name.size()));
        body.append(name);
    }
    if (carriesMessage(type)) {
        auto encoded = message.encode();
        if (!encoded) return encoded.error();
        body.append(encoded.value());
    }
    if (body.size() > maximumLength) return Error{EMSGSIZE, "A VICI packet is longer than 512 KiB"};
    std::string packet;
    packet.reserve(4 + body.size());
    for (int shift = 24; shift >= 0; shift -= 8) packet.push_back(static_cast<char>((body.size() >> shift) & 0xff));
    packet.append(body);
    return packet;
}

Expected<ViciPacket> ViciPacket::decode(std::string_view bytes) {
    if (bytes.empty()) return malformed("empty");
    const auto raw = static_cast<std::uint8_t>(bytes[0]);
    if (raw > static_cast<std::uint8_t>(ViciPacketType::event)) return malformed("unknown type " + std::to_string(raw));
    ViciPacket packet;
    packet.type = static_cast<ViciPacketType>(raw);
    std::size_t position = 1;
    if (isNamed(packet.type)) {
        if (position >= bytes.size()) return malformed("the name is cut off");
        const std::size_t length = static_cast<std::uint8_t>(bytes[position++]);
        if (length == 0 || bytes.size() - position < length) return malformed("the name is empty or cut off");
        packet.name = std::string(bytes.substr(position, length));
        position += length;
    }
    const auto rest = bytes.substr(position);
    if (carriesMessage(packet.type)) {
        auto message = ViciMessage::decode(rest);
        if (!message) return message.error();
        packet.message = std::move(message.value());
    } else if (!rest.empty()) {
        return malformed("bytes after a packet that carries no message");
    }
    return packet;
}

}  // namespace platform::network
