#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"

#include <chrono>
#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>

namespace platform::xpc {

// The client's end of one call: connect, send one message, and for a call with a reply take
// the service's first reply and close, so that later replies of the same call never arrive.
class XpcClientConnection {
public:
    static foundation::Expected<XpcClientConnection> connect(const std::filesystem::path& socketPath);

    foundation::Expected<void> send(const nlohmann::json& message);

    // Waits for the first reply, then closes the connection. No value: the service closed the
    // connection without replying. Without a timeout it waits as long as it takes.
    foundation::Expected<std::optional<nlohmann::json>> receiveFirstReply(
        std::optional<std::chrono::milliseconds> timeout = std::nullopt);

private:
    explicit XpcClientConnection(foundation::FileDescriptor socket) : socket_(std::move(socket)) {}

    foundation::FileDescriptor socket_;
};

}  // namespace platform::xpc
