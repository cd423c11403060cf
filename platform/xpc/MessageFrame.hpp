#pragma once

#include "platform/foundation/Expected.hpp"

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace platform::xpc {

// A message on the helper's socket is one frame: a 4-byte big-endian length, then that many
// bytes of UTF-8 JSON. Longer frames are refused before their payload is read.
inline constexpr std::uint32_t maximumFrameLength = 8u * 1024u * 1024u;

// Error code of a frame whose announced length is over the limit.
inline constexpr int frameTooLongError = EMSGSIZE;

foundation::Expected<void> writeFrame(int socket, std::string_view payload);

// No value: the peer closed the connection before a new frame began.
foundation::Expected<std::optional<std::string>> readFrame(int socket);

// Invalid UTF-8 inside a text is written as U+FFFD, so a message always goes out as valid JSON.
foundation::Expected<void> writeMessage(int socket, const nlohmann::json& message);

// No value: the peer closed the connection before a new message began.
foundation::Expected<std::optional<nlohmann::json>> readMessage(int socket);

}  // namespace platform::xpc
