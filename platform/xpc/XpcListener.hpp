#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/XpcListenerDelegate.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::xpc {

// Accepts connections on a Unix stream socket, one call per connection. The peer's credentials
// go to the delegate before anything is read; each accepted connection is then served on a
// thread of its own, so a slow call never holds up another.
class XpcListener {
public:
    // A client that connects but sends no complete request within this time is dropped.
    static constexpr std::chrono::seconds requestTimeout{30};
    // A client that stops reading for this long loses its remaining replies, so that it cannot
    // hold up the work that produces them.
    static constexpr std::chrono::seconds replyTimeout{30};

    // Listens on `path`, making its folder (mode 0755) when missing. A stale socket left by an
    // earlier run is replaced; a live one or any other kind of file in the way is an error.
    static foundation::Expected<std::unique_ptr<XpcListener>> listen(const std::filesystem::path& path);

    // Takes over the listening socket a service manager passed (LISTEN_PID and LISTEN_FDS);
    // null when none was passed.
    static foundation::Expected<std::unique_ptr<XpcListener>> inherited();

    ~XpcListener();
    XpcListener(const XpcListener&) = delete;
    XpcListener& operator=(const XpcListener&) = delete;

    // Starts accepting connections for `delegate`. Call once.
    void resume(std::shared_ptr<XpcListenerDelegate> delegate);

    // Stops accepting and waits until the handlers of accepted connections have returned.
    void invalidate();

private:
    XpcListener(foundation::FileDescriptor socket, std::filesystem::path ownedPath);
    void acceptConnections();
    void serve(foundation::FileDescriptor connection, PeerCredentials peer);

    foundation::FileDescriptor socket_;
    foundation::FileDescriptor wake_;
    // The socket file this listener made and removes again; empty for an inherited socket.
    std::filesystem::path ownedPath_;
    std::shared_ptr<XpcListenerDelegate> delegate_;
    std::thread acceptThread_;

    std::mutex handlersMutex_;
    std::condition_variable handlersDone_;
    int runningHandlers_ = 0;
};

}  // namespace platform::xpc
