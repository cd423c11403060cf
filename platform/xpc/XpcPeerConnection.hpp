#pragma once

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/PeerCredentials.hpp"

#include <memory>
#include <mutex>
#include <nlohmann/json_fwd.hpp>

namespace platform::xpc {

// The service's end of one client connection, which carries exactly one call. Replies may be
// sent any number of times, from any thread; the socket closes when the last holder lets go.
class XpcPeerConnection {
public:
    XpcPeerConnection(foundation::FileDescriptor socket, PeerCredentials peer);

    const PeerCredentials& peer() const { return peer_; }

    // Sends one reply. Returns false once the client has gone: this and every later reply is
    // dropped, while the work that produces them goes on.
    bool sendReply(const nlohmann::json& reply);

    // The connection whose message the calling thread is handling (like the platform's
    // "current connection"); null outside a message handler.
    static std::shared_ptr<XpcPeerConnection> current();

    // Marks `connection` as current on this thread for as long as the scope lives.
    class CurrentScope {
    public:
        explicit CurrentScope(std::shared_ptr<XpcPeerConnection> connection);
        ~CurrentScope();
        CurrentScope(const CurrentScope&) = delete;
        CurrentScope& operator=(const CurrentScope&) = delete;

    private:
        std::shared_ptr<XpcPeerConnection> previous_;
    };

private:
    std::mutex mutex_;
    foundation::FileDescriptor socket_;
    const PeerCredentials peer_;
};

}  // namespace platform::xpc
