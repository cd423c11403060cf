#pragma once

#include "platform/foundation/Expected.hpp"

#include <chrono>
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

// When a whole frame must have arrived. Without one, each read waits as long as the socket's own
// time-out allows.
using FrameDeadline = std::chrono::steady_clock::time_point;

foundation::Expected<void> writeFrame(int socket, std::string_view payload);

// No value: the peer closed the connection before a new frame began. The payload's buffer grows
// as its bytes arrive, so a peer that announces much and sends little makes the reader hold little.
foundation::Expected<std::optional<std::string>> readFrame(int socket, std::optional<FrameDeadline> deadline = {});

// Invalid UTF-8 inside a text is written as U+FFFD, so a message always goes out as valid JSON.
foundation::Expected<void> writeMessage(int socket, const nlohmann::json& message);

// No value: the peer closed the connection before a new message began.
foundation::Expected<std::optional<nlohmann::json>> readMessage(int socket, std::optional<FrameDeadline> deadline = {});

}  // namespace platform::xpc
