#include "platform/xpc/XpcClientConnection.hpp"

#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"

#include <nlohmann/json.hpp>
#include <sys/socket.h>

namespace platform::xpc {

using foundation::Error;
using foundation::Expected;
using foundation::FileDescriptor;

Expected<XpcClientConnection> XpcClientConnection::connect(const std::filesystem::path& socketPath) {
    auto address = unixSocketAddress(socketPath);
    if (!address) return address.error();
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) return Error::fromErrno("Cannot create a socket");
    if (::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0) {
        return Error::fromErrno("Cannot connect to " + socketPath.string());
    }
    return XpcClientConnection(std::move(socket));
}

Expected<void> XpcClientConnection::send(const nlohmann::json& message) {
    if (!socket_.isOpen()) return Error{ENOTCONN, "The connection is closed"};
    return writeMessage(socket_.get(), message);
}

Expected<std::optional<nlohmann::json>> XpcClientConnection::receiveFirstReply(std::optional<std::chrono::milliseconds> timeout) {
    if (!socket_.isOpen()) return Error{ENOTCONN, "The connection is closed"};
    if (timeout) {
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(*timeout).count();
        const timeval limit{static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
        ::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    auto reply = readMessage(socket_.get());
    socket_.reset();
    return reply;
}

}  // namespace platform::xpc
