#include "platform/xpc/XpcListener.hpp"

#include "platform/foundation/FileSystem.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <fcntl.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform::xpc {

using foundation::Error;
using foundation::Expected;
using foundation::FileDescriptor;

namespace {

constexpr int firstInheritedDescriptor = 3;

bool someoneListensOn(const sockaddr_un& address) {
    FileDescriptor probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return probe.isOpen() && ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

// Clears the way for a new socket file: only a socket nobody serves any more may be removed.
Expected<void> removeStaleSocket(const std::filesystem::path& path, const sockaddr_un& address) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return {};
    if (!S_ISSOCK(info.st_mode)) {
        return Error{EEXIST, "Cannot listen on " + path.string() + ": a file that is not a socket is in the way"};
    }
    if (someoneListensOn(address)) {
        return Error{EADDRINUSE, "Cannot listen on " + path.string() + ": another process is serving it"};
    }
    if (::unlink(path.c_str()) != 0) return Error::fromErrno("Cannot remove the stale socket " + path.string());
    return {};
}

bool isListeningUnixStreamSocket(int fd) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &value, &length) != 0 || value != 1) return false;
    length = sizeof value;
    if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &value, &length) != 0 || value != AF_UNIX) return false;
    length = sizeof value;
    return ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &value, &length) == 0 && value == SOCK_STREAM;
}

}  // namespace

Expected<std::unique_ptr<XpcListener>> XpcListener::listen(const std::filesystem::path& path) {
    auto address = unixSocketAddress(path);
    if (!address) return address.error();
    if (auto folder = foundation::FileSystem::createDirectories(path.parent_path(), 0755); !folder) {
        return folder.error();
    }
    if (auto cleared = removeStaleSocket(path, address.value()); !cleared) return cleared.error();
    FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.isOpen()) return Error::fromErrno("Cannot create a socket");
    if (::bind(socket.get(), reinterpret_cast<const sockaddr*>(&address.value()), sizeof address.value()) != 0) {
        return Error::fromErrno("Cannot bind the socket " + path.string());
    }
    // Anyone may connect; who is served is decided by the peer's credentials.
    if (::chmod(path.c_str(), 0666) != 0 || ::listen(socket.get(), SOMAXCONN) != 0) {
        const Error error = Error::fromErrno("Cannot listen on " + path.string());
        ::unlink(path.c_str());
        return error;
    }
    auto listener = make(std::move(socket), path);
    if (!listener) ::unlink(path.c_str());
    return listener;
}

Expected<std::unique_ptr<XpcListener>> XpcListener::inherited() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    if (pid == nullptr || count == nullptr || std::atol(pid) != static_cast<long>(::getpid()) || std::atoi(count) < 1) {
        return std::unique_ptr<XpcListener>();
    }
    // The variables describe this process only; programs it starts must not take them as theirs.
    ::unsetenv("LISTEN_PID");
    ::unsetenv("LISTEN_FDS");
    ::unsetenv("LISTEN_FDNAMES");
    if (!isListeningUnixStreamSocket(firstInheritedDescriptor)) {
        return Error{ENOTSOCK, "The passed descriptor is not a listening Unix stream socket"};
    }
    ::fcntl(firstInheritedDescriptor, F_SETFD, FD_CLOEXEC);
    return make(FileDescriptor(firstInheritedDescriptor), {});
}

Expected<std::unique_ptr<XpcListener>> XpcListener::make(FileDescriptor socket, std::filesystem::path ownedPath) {
    FileDescriptor wake(::eventfd(0, EFD_CLOEXEC));
    if (!wake.isOpen()) return Error::fromErrno("Cannot create the listener's wake-up descriptor");
    return std::unique_ptr<XpcListener>(new XpcListener(std::move(socket), std::move(wake), std::move(ownedPath)));
}

XpcListener::XpcListener(FileDescriptor socket, FileDescriptor wake, std::filesystem::path ownedPath)
    : socket_(std::move(socket)), wake_(std::move(wake)), ownedPath_(std::move(ownedPath)) {}

XpcListener::~XpcListener() {
    invalidate();
    if (!ownedPath_.empty()) ::unlink(ownedPath_.c_str());
}

void XpcListener::resume(std::shared_ptr<XpcListenerDelegate> delegate) {
    if (delegate_) {
        delegate->listenerDidReport("The listener is already accepting connections");
        return;
    }
    delegate_ = std::move(delegate);
    acceptThread_ = std::thread([this] { acceptConnections(); });
}

void XpcListener::invalidate() {
    if (acceptThread_.joinable()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wake_.get(), &one, sizeof one);
        acceptThread_.join();
        reportRefusals(refusals_.flush());
    }
    std::unique_lock lock(handlersMutex_);
    handlersDone_.wait(lock, [this] { return runningHandlers_ == 0; });
}

void XpcListener::acceptConnections() {
    for (;;) {
        reportRefusals(refusals_.due(RefusalSummary::Clock::now()));
        std::array<pollfd, 2> waiting{pollfd{socket_.get(), POLLIN, 0}, pollfd{wake_.get(), POLLIN, 0}};
        const int ready = ::poll(waiting.data(), waiting.size(), millisecondsUntilRefusalsDue());
        if (ready < 0) {
            if (errno == EINTR) continue;
            delegate_->listenerDidReport(Error::fromErrno("Cannot wait for connections").message);
            return;
        }
        if (ready == 0) continue;
        if (waiting[1].revents != 0) return;
        FileDescriptor connection(::accept4(socket_.get(), nullptr, nullptr, SOCK_CLOEXEC));
        if (!connection.isOpen()) {
            const int error = errno;
            if (error == EINTR || error == ECONNABORTED) continue;
            delegate_->listenerDidReport(Error::fromErrno("Cannot accept a connection", error).message);
            // The pending connection stays queued: accepting again at once would only spin.
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                if (!pauseUnlessInvalidated(exhaustionPause)) return;
            }
            continue;
        }
        auto peer = peerCredentials(connection.get());
        if (!peer) {
            delegate_->listenerDidReport(peer.error().message);
            continue;
        }
        // The bounds come first, so that a refused connection reaches the delegate not at all.
        if (!admit(peer.value().uid)) {
            refuse(peer.value().uid, "too many connections at once");
            continue;
        }
        if (!delegate_->shouldAcceptNewConnection(peer.value())) {
            release(peer.value().uid);
            refuse(peer.value().uid, "the service does not serve that user");
            continue;
        }
        try {
            std::thread([this, connection = std::move(connection), peer = peer.value()]() mutable {
                serve(std::move(connection), peer);
                release(peer.uid);
            }).detach();
        } catch (const std::system_error& error) {
            release(peer.value().uid);
            delegate_->listenerDidReport(std::string("Cannot start serving a connection: ") + error.what());
        }
    }
}

bool XpcListener::pauseUnlessInvalidated(std::chrono::milliseconds pause) {
    pollfd wake{wake_.get(), POLLIN, 0};
    return ::poll(&wake, 1, static_cast<int>(pause.count())) == 0;
}

bool XpcListener::admit(uid_t user) {
    std::lock_guard lock(handlersMutex_);
    if (runningHandlers_ >= maximumConnections || handlersByUser_[user] >= maximumConnectionsPerUser) return false;
    ++runningHandlers_;
    ++handlersByUser_[user];
    return true;
}

void XpcListener::release(uid_t user) {
    std::lock_guard lock(handlersMutex_);
    if (--handlersByUser_[user] == 0) handlersByUser_.erase(user);
    if (--runningHandlers_ == 0) handlersDone_.notify_all();
}

void XpcListener::refuse(uid_t user, const std::string& reason) {
    if (auto line = refusals_.refused(user, reason, RefusalSummary::Clock::now())) delegate_->listenerDidReport(*line);
}

void XpcListener::reportRefusals(const std::vector<std::string>& lines) {
    for (const auto& line : lines) delegate_->listenerDidReport(line);
}

int XpcListener::millisecondsUntilRefusalsDue() const {
    const auto due = refusals_.nextDue();
    if (!due) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - RefusalSummary::Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60'000));
}

void XpcListener::serve(FileDescriptor connection, PeerCredentials peer) {
    const timeval sendLimit{replyTimeout.count(), 0};
    // Without its time-outs a silent client could hold this thread for ever: the request has a
    // deadline as a whole, each reply one of its own.
    if (::setsockopt(connection.get(), SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit) != 0) {
        delegate_->listenerDidReport(Error::fromErrno("Cannot set a connection's time-outs").message);
        return;
    }
    auto message = readMessage(connection.get(), std::chrono::steady_clock::now() + requestTimeout);
    if (!message) {
        delegate_->listenerDidReport("Dropped a request from uid " + std::to_string(peer.uid) + ": " + message.error().message);
        return;
    }
    if (!message.value()) return;
    auto peerConnection = std::make_shared<XpcPeerConnection>(std::move(connection), peer);
    XpcPeerConnection::CurrentScope scope(peerConnection);
    delegate_->didReceiveMessage(peerConnection, std::move(*message.value()));
}

}  // namespace platform::xpc
