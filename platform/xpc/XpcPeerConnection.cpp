#include "platform/xpc/XpcPeerConnection.hpp"

#include "platform/xpc/MessageFrame.hpp"

#include <nlohmann/json.hpp>

namespace platform::xpc {

namespace {
thread_local std::shared_ptr<XpcPeerConnection> currentConnection;
}

XpcPeerConnection::XpcPeerConnection(foundation::FileDescriptor socket, PeerCredentials peer)
    : socket_(std::move(socket)), peer_(peer) {}

bool XpcPeerConnection::sendReply(const nlohmann::json& reply) {
    std::lock_guard lock(mutex_);
    if (!socket_.isOpen()) return false;
    if (!writeMessage(socket_.get(), reply)) {
        socket_.reset();
        return false;
    }
    return true;
}

std::shared_ptr<XpcPeerConnection> XpcPeerConnection::current() {
    return currentConnection;
}

XpcPeerConnection::CurrentScope::CurrentScope(std::shared_ptr<XpcPeerConnection> connection)
    : previous_(std::exchange(currentConnection, std::move(connection))) {}

XpcPeerConnection::CurrentScope::~CurrentScope() {
    currentConnection = std::move(previous_);
}

}  // namespace platform::xpc
