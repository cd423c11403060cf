#pragma once

#include "platform/foundation/Expected.hpp"

#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>

namespace platform::xpc {

// Opens a fresh connection to a named service for every call, as a privileged XPC connection
// does. Product code reaches it through the platform services, so tests can answer in place of
// a real service.
class XpcConnector {
public:
    // The first reply of a call, or none when the connection ended without one.
    using FirstReplyHandler = std::function<void(std::optional<nlohmann::json>)>;

    virtual ~XpcConnector() = default;

    // A call without a reply: connects, writes `message` and closes. When it returns the
    // message is with the service (or the error says why not), so the caller may quit at once.
    virtual foundation::Expected<void> send(std::string_view serviceName, const nlohmann::json& message) = 0;

    // A call with a reply: connects and writes `message` before returning, then waits on a
    // thread of its own for the service's first reply, closes the connection, and hands the
    // reply to `handler` on that thread. Later replies of the service never arrive. When
    // connecting or writing fails, the error is returned and `handler` is never called.
    virtual foundation::Expected<void> sendWithReply(std::string_view serviceName, const nlohmann::json& message,
                                                     FirstReplyHandler handler) = 0;
};

// The real connector: the service's Unix socket (see `socketPathForService`).
class UnixSocketXpcConnector final : public XpcConnector {
public:
    static std::shared_ptr<UnixSocketXpcConnector> shared();

    foundation::Expected<void> send(std::string_view serviceName, const nlohmann::json& message) override;
    foundation::Expected<void> sendWithReply(std::string_view serviceName, const nlohmann::json& message,
                                             FirstReplyHandler handler) override;
};

}  // namespace platform::xpc
