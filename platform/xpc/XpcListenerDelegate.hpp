#pragma once

#include "platform/xpc/PeerCredentials.hpp"
#include "platform/xpc/XpcPeerConnection.hpp"

#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>

namespace platform::xpc {

// What a listener asks of the service behind it.
class XpcListenerDelegate {
public:
    virtual ~XpcListenerDelegate() = default;

    // Called when a client has connected, before anything is read from it; false closes the
    // connection at once, and the listener reports the refusal (summed up per user).
    virtual bool shouldAcceptNewConnection(const PeerCredentials& peer) = 0;

    // The one message of an accepted connection, on a thread of its own, with the connection
    // current on that thread.
    virtual void didReceiveMessage(const std::shared_ptr<XpcPeerConnection>& connection, nlohmann::json message) = 0;

    // A problem no reply can carry: a refused frame, a failed accept.
    virtual void listenerDidReport(const std::string& problem) = 0;
};

}  // namespace platform::xpc
