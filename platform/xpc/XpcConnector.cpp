#include "platform/xpc/XpcConnector.hpp"

#include "platform/xpc/ServiceSocketPath.hpp"
#include "platform/xpc/XpcClientConnection.hpp"

#include <nlohmann/json.hpp>
#include <thread>

namespace platform::xpc {

using foundation::Expected;

namespace {

Expected<XpcClientConnection> connectAndWrite(std::string_view serviceName, const nlohmann::json& message) {
    auto connection = XpcClientConnection::connect(socketPathForService(serviceName));
    if (!connection) return connection.error();
    if (auto sent = connection.value().send(message); !sent) return sent.error();
    return connection;
}

}  // namespace

std::shared_ptr<UnixSocketXpcConnector> UnixSocketXpcConnector::shared() {
    static const auto connector = std::make_shared<UnixSocketXpcConnector>();
    return connector;
}

Expected<void> UnixSocketXpcConnector::send(std::string_view serviceName, const nlohmann::json& message) {
    auto connection = connectAndWrite(serviceName, message);
    if (!connection) return connection.error();
    return {};
}

Expected<void> UnixSocketXpcConnector::sendWithReply(std::string_view serviceName, const nlohmann::json& message,
                                                     FirstReplyHandler handler) {
    auto connection = connectAndWrite(serviceName, message);
    if (!connection) return connection.error();
    // The wait may be long (a tunnel coming up), so it gets a thread of its own, like the
    // reply queue of a platform connection; the thread ends with the connection.
    std::thread([connection = std::move(connection.value()), handler = std::move(handler)]() mutable {
        auto reply = connection.receiveFirstReply();
        handler(reply ? std::move(reply.value()) : std::nullopt);
    }).detach();
    return {};
}

}  // namespace platform::xpc
