#include "platform/xpc/MessageFrame.hpp"

#include "platform/foundation/JSONSerialization.hpp"

#include <array>
#include <nlohmann/json.hpp>
#include <sys/socket.h>

namespace platform::xpc {

using foundation::Error;
using foundation::Expected;

namespace {

Expected<void> sendAll(int socket, std::string_view bytes) {
    while (!bytes.empty()) {
        // MSG_NOSIGNAL: a peer that went away is an error value here, never a signal.
        const ssize_t sent = ::send(socket, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Error{ETIMEDOUT, "Timed out sending a message"};
            return Error::fromErrno("Cannot send a message");
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return {};
}

// Fills `buffer` completely; returns how many bytes came before the peer closed.
Expected<std::size_t> receiveAll(int socket, char* buffer, std::size_t length) {
    std::size_t received = 0;
    while (received < length) {
        const ssize_t count = ::recv(socket, buffer + received, length - received, 0);
        if (count < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return Error{ETIMEDOUT, "Timed out waiting for a message"};
            return Error::fromErrno("Cannot receive a message");
        }
        if (count == 0) break;
        received += static_cast<std::size_t>(count);
    }
    return received;
}

}  // namespace

Expected<void> writeFrame(int socket, std::string_view payload) {
    if (payload.size() > maximumFrameLength) {
        return Error{frameTooLongError, "A message of " + std::to_string(payload.size()) + " bytes is over the limit of " +
                                            std::to_string(maximumFrameLength) + " bytes"};
    }
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string frame;
    frame.reserve(4 + payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<char>((length >> shift) & 0xffu));
    frame.append(payload);
    return sendAll(socket, frame);
}

Expected<std::optional<std::string>> readFrame(int socket) {
    std::array<char, 4> header{};
    auto headerBytes = receiveAll(socket, header.data(), header.size());
    if (!headerBytes) return headerBytes.error();
    if (headerBytes.value() == 0) return std::optional<std::string>{};
    if (headerBytes.value() < header.size()) return Error{EPROTO, "The connection closed inside a message header"};
    std::uint32_t length = 0;
    for (char byte : header) length = (length << 8) | static_cast<unsigned char>(byte);
    if (length > maximumFrameLength) {
        return Error{frameTooLongError, "A message of " + std::to_string(length) + " bytes is over the limit of " +
                                            std::to_string(maximumFrameLength) + " bytes"};
    }
    std::string payload(length, '\0');
    auto payloadBytes = receiveAll(socket, payload.data(), payload.size());
    if (!payloadBytes) return payloadBytes.error();
    if (payloadBytes.value() < length) return Error{EPROTO, "The connection closed inside a message"};
    return std::optional<std::string>(std::move(payload));
}

Expected<void> writeMessage(int socket, const nlohmann::json& message) {
    return writeFrame(socket, message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

Expected<std::optional<nlohmann::json>> readMessage(int socket) {
    auto frame = readFrame(socket);
    if (!frame) return frame.error();
    if (!frame.value()) return std::optional<nlohmann::json>{};
    // The parser also rejects invalid UTF-8.
    if (foundation::JSONSerialization::nestsDeeperThan(*frame.value(), foundation::JSONSerialization::maximumNestingDepth)) {
        return Error{EBADMSG, "A message nests deeper than " +
                                  std::to_string(foundation::JSONSerialization::maximumNestingDepth) + " levels"};
    }
    auto message = nlohmann::json::parse(*frame.value(), nullptr, false);
    if (message.is_discarded()) return Error{EBADMSG, "A message is not valid UTF-8 JSON"};
    return std::optional<nlohmann::json>(std::move(message));
}

}  // namespace platform::xpc
