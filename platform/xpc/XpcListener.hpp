#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/RefusalSummary.hpp"
#include "platform/xpc/XpcListenerDelegate.hpp"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform::xpc {

// Accepts connections on a Unix stream socket, one call per connection. The peer's credentials
// go to the delegate before anything is read; each accepted connection is then served on a
// thread of its own, so a slow call never holds up another.
class XpcListener {
public:
    // A client that connects but sends no complete request within this time is dropped, however
    // it trickles its bytes.
    static constexpr std::chrono::seconds requestTimeout{30};
    // A client that stops reading for this long loses its remaining replies, so that it cannot
    // hold up the work that produces them.
    static constexpr std::chrono::seconds replyTimeout{30};
    // Connections served at once, in all and from one user: beyond them a new connection is
    // closed unread, so that no caller can exhaust the threads or descriptors of the process.
    static constexpr int maximumConnections = 128;
    static constexpr int maximumConnectionsPerUser = 32;
    // How long accepting pauses when the process or the system is out of descriptors or memory.
    static constexpr std::chrono::milliseconds exhaustionPause{100};
    // Refused connections are told once per user, reason and interval (RefusalSummary).
    static constexpr std::chrono::seconds refusalInterval{60};

    // Listens on `path`, making its folder (mode 0755) when missing. A stale socket left by an
    // earlier run is replaced; a live one or any other kind of file in the way is an error.
    static foundation::Expected<std::unique_ptr<XpcListener>> listen(const std::filesystem::path& path);

    // Takes over the listening socket a service manager passed (LISTEN_PID and LISTEN_FDS);
    // null when none was passed.
    static foundation::Expected<std::unique_ptr<XpcListener>> inherited();

    ~XpcListener();
    XpcListener(const XpcListener&) = delete;
    XpcListener& operator=(const XpcListener&) = delete;

    // Starts accepting connections for `delegate`. Only the first call counts; later ones are
    // reported to their delegate and change nothing.
    void resume(std::shared_ptr<XpcListenerDelegate> delegate);

    // Stops accepting, tells the refusals not yet told and waits until the handlers of accepted
    // connections have returned.
    void invalidate();

private:
    XpcListener(foundation::FileDescriptor socket, foundation::FileDescriptor wake, std::filesystem::path ownedPath);
    static foundation::Expected<std::unique_ptr<XpcListener>> make(foundation::FileDescriptor socket,
                                                                   std::filesystem::path ownedPath);
    void acceptConnections();
    // Waits for `pause` unless the listener is invalidated first; false once it is.
    bool pauseUnlessInvalidated(std::chrono::milliseconds pause);
    // Counts the connection as running; false when a bound forbids serving it.
    bool admit(uid_t user);
    void release(uid_t user);
    void refuse(uid_t user, const std::string& reason);
    void reportRefusals(const std::vector<std::string>& lines);
    // How long the accept thread may wait before a refusal summary falls due; -1: for ever.
    int millisecondsUntilRefusalsDue() const;
    void serve(foundation::FileDescriptor connection, PeerCredentials peer);

    foundation::FileDescriptor socket_;
    foundation::FileDescriptor wake_;
    // The socket file this listener made and removes again; empty for an inherited socket.
    std::filesystem::path ownedPath_;
    std::shared_ptr<XpcListenerDelegate> delegate_;
    std::thread acceptThread_;
    // Only the accept thread uses it, and `invalidate` once that thread has ended.
    RefusalSummary refusals_{refusalInterval};

    std::mutex handlersMutex_;
    std::condition_variable handlersDone_;
    int runningHandlers_ = 0;
    std::map<uid_t, int> handlersByUser_;
};

}  // namespace platform::xpc
