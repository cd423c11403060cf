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
    std::optional<FrameDeadline> deadline;
    if (timeout) deadline = std::chrono::steady_clock::now() + *timeout;
    auto reply = readMessage(socket_.get(), deadline);
    socket_.reset();
    return reply;
}

}  // namespace platform::xpc
