#include "platform/xpc/MessageFrame.hpp"

#include "platform/foundation/JSONSerialization.hpp"

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>

namespace platform::xpc {

using foundation::Error;
using foundation::Expected;

namespace {

// How much of a payload one read takes.
constexpr std::size_t payloadChunk = 16 << 10;

Error timedOut() {
    return Error{ETIMEDOUT, "Timed out waiting for a message"};
}

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

// Waits until the socket has something to read, at most until `deadline`.
Expected<void> awaitBytes(int socket, const std::optional<FrameDeadline>& deadline) {
    if (!deadline) return {};
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return timedOut();
        pollfd waiting{socket, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(std::min<long long>(left, 60'000)));
        if (ready > 0) return {};
        if (ready < 0 && errno != EINTR) return Error::fromErrno("Cannot wait for a message");
    }
}

// Reads up to `length` bytes into `buffer`; 0 when the peer has closed.
Expected<std::size_t> receiveSome(int socket, char* buffer, std::size_t length, const std::optional<FrameDeadline>& deadline) {
    for (;;) {
        if (auto ready = awaitBytes(socket, deadline); !ready) return ready.error();
        const ssize_t count = ::recv(socket, buffer, length, 0);
        if (count >= 0) return static_cast<std::size_t>(count);
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return timedOut();
        return Error::fromErrno("Cannot receive a message");
    }
}

Error tooLong(std::size_t length) {
    return Error{frameTooLongError, "A message of " + std::to_string(length) + " bytes is over the limit of " +
                                        std::to_string(maximumFrameLength) + " bytes"};
}

Expected<std::optional<std::uint32_t>> readFrameLength(int socket, const std::optional<FrameDeadline>& deadline) {
    std::array<char, 4> header{};
    std::size_t received = 0;
    while (received < header.size()) {
        auto count = receiveSome(socket, header.data() + received, header.size() - received, deadline);
        if (!count) return count.error();
        if (count.value() == 0) break;
        received += count.value();
    }
    if (received == 0) return std::optional<std::uint32_t>{};
    if (received < header.size()) return Error{EPROTO, "The connection closed inside a message header"};
    std::uint32_t length = 0;
    for (char byte : header) length = (length << 8) | static_cast<unsigned char>(byte);
    if (length > maximumFrameLength) return tooLong(length);
    return std::optional<std::uint32_t>(length);
}

Expected<std::string> readFramePayload(int socket, std::uint32_t length, const std::optional<FrameDeadline>& deadline) {
    std::string payload;
    std::array<char, payloadChunk> chunk;
    while (payload.size() < length) {
        auto count = receiveSome(socket, chunk.data(), std::min<std::size_t>(chunk.size(), length - payload.size()), deadline);
        if (!count) return count.error();
        if (count.value() == 0) return Error{EPROTO, "The connection closed inside a message"};
        // Room is made ahead (never past the announced length) but only written as bytes come,
        // so the memory in use follows what arrived.
        if (payload.capacity() < payload.size() + count.value()) {
            payload.reserve(std::min<std::size_t>(length, std::max(2 * payload.size(), payload.size() + count.value())));
        }
        payload.append(chunk.data(), count.value());
    }
    return payload;
}

// JSON in UTF-8, nested no deeper than the platform's limit.
Expected<nlohmann::json> decodeMessage(std::string_view payload) {
    // The parser also rejects invalid UTF-8.
    if (foundation::JSONSerialization::nestsDeeperThan(payload, foundation::JSONSerialization::maximumNestingDepth)) {
        return Error{EBADMSG, "A message nests deeper than " +
                                  std::to_string(foundation::JSONSerialization::maximumNestingDepth) + " levels"};
    }
    auto message = nlohmann::json::parse(payload, nullptr, false);
    if (message.is_discarded()) return Error{EBADMSG, "A message is not valid UTF-8 JSON"};
    return message;
}

}  // namespace

Expected<void> writeFrame(int socket, std::string_view payload) {
    if (payload.size() > maximumFrameLength) return tooLong(payload.size());
    const auto length = static_cast<std::uint32_t>(payload.size());
    std::string frame;
    frame.reserve(4 + payload.size());
    for (int shift = 24; shift >= 0; shift -= 8) frame.push_back(static_cast<char>((length >> shift) & 0xffu));
    frame.append(payload);
    return sendAll(socket, frame);
}

Expected<std::optional<std::string>> readFrame(int socket, std::optional<FrameDeadline> deadline) {
    auto length = readFrameLength(socket, deadline);
    if (!length) return length.error();
    if (!length.value()) return std::optional<std::string>{};
    auto payload = readFramePayload(socket, *length.value(), deadline);
    if (!payload) return payload.error();
    return std::optional<std::string>(std::move(payload.value()));
}

Expected<void> writeMessage(int socket, const nlohmann::json& message) {
    return writeFrame(socket, message.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

Expected<std::optional<nlohmann::json>> readMessage(int socket, std::optional<FrameDeadline> deadline) {
    auto frame = readFrame(socket, deadline);
    if (!frame) return frame.error();
    if (!frame.value()) return std::optional<nlohmann::json>{};
    auto message = decodeMessage(*frame.value());
    if (!message) return message.error();
    return std::optional<nlohmann::json>(std::move(message.value()));
}

}  // namespace platform::xpc
