#include "platform/network/ViciSession.hpp"

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace platform::network {

using foundation::Error;
using foundation::Expected;
using Clock = std::chrono::steady_clock;

namespace {

// How much longer than charon's own limit the socket waits for an initiate's answer.
constexpr ViciSession::Timeout answerMargin{2000};

int remainingMilliseconds(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 1 << 30));
}

// Waits until `fd` is ready for `events`; ETIMEDOUT when the deadline passes first.
Expected<void> await(int fd, short events, Clock::time_point deadline) {
    for (;;) {
        pollfd poller{fd, events, 0};
        const int ready = ::poll(&poller, 1, remainingMilliseconds(deadline));
        if (ready > 0) return {};
        if (ready == 0) return Error{ETIMEDOUT, "charon did not answer in time"};
        if (errno != EINTR) return Error::fromErrno("Waiting for charon failed");
    }
}

Error sessionClosed() {
    return Error{ENOTCONN, "The session with charon has ended"};
}

}  // namespace

Expected<std::unique_ptr<ViciSession>> ViciSession::connect(const std::filesystem::path& socket, Timeout timeout) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const auto path = socket.string();
    if (path.empty() || path.size() >= sizeof(address.sun_path))
        return Error{ENAMETOOLONG, "The VICI socket path is empty or too long"};
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    foundation::FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.isOpen()) return Error::fromErrno("Making a socket for charon failed");
    if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (errno != EINPROGRESS && errno != EAGAIN) return Error::fromErrno("Connecting to charon at " + path + " failed");
        if (auto ready = await(fd.get(), POLLOUT, Clock::now() + timeout); !ready) return ready.error();
        int failure = 0;
        socklen_t length = sizeof(failure);
        ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &failure, &length);
        if (failure != 0) return Error::fromErrno("Connecting to charon at " + path + " failed", failure);
    }
    return std::unique_ptr<ViciSession>(new ViciSession(std::move(fd)));
}

Error ViciSession::broken(Error error) {
    socket_.reset();
    pending_.clear();
    return error;
}

Expected<void> ViciSession::send(const ViciPacket& packet, Clock::time_point deadline) {
    if (!socket_.isOpen()) return sessionClosed();
    auto bytes = packet.encode();
    if (!bytes) return bytes.error();
    std::string_view left = bytes.value();
    while (!left.empty()) {
        const auto written = ::send(socket_.get(), left.data(), left.size(), MSG_NOSIGNAL);
        if (written > 0) {
            left.remove_prefix(static_cast<std::size_t>(written));
            continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (auto ready = await(socket_.get(), POLLOUT, deadline); !ready) return broken(ready.error());
            continue;
        }
        return broken(Error::fromErrno("Writing to charon failed"));
    }
    return {};
}

Expected<void> ViciSession::readExactly(char* buffer, std::size_t length, Clock::time_point deadline) {
    std::size_t done = 0;
    while (done < length) {
        const auto got = ::recv(socket_.get(), buffer + done, length - done, 0);
        if (got > 0) {
            done += static_cast<std::size_t>(got);
            continue;
        }
        if (got == 0) return broken(Error{ECONNRESET, "charon closed the session"});
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return broken(Error::fromErrno("Reading from charon failed"));
        if (auto ready = await(socket_.get(), POLLIN, deadline); !ready) {
            // Nothing of a packet read yet: the stream is still in step.
            if (done == 0) return ready.error();
            return broken(ready.error());
        }
    }
    return {};
}

Expected<ViciPacket> ViciSession::receive(Clock::time_point deadline) {
    if (!socket_.isOpen()) return sessionClosed();
    unsigned char header[4];
    if (auto read = readExactly(reinterpret_cast<char*>(header), sizeof(header), deadline); !read) return read.error();
    const std::size_t length =
        (std::size_t{header[0]} << 24) | (std::size_t{header[1]} << 16) | (std::size_t{header[2]} << 8) | header[3];
    if (length == 0 || length > ViciPacket::maximumLength) {
        return broken(Error{EBADMSG, "charon sent a packet of impossible length"});
    }
    std::string body(length, '\0');
    if (auto read = readExactly(body.data(), length, deadline); !read) {
        return socket_.isOpen() ? broken(read.error()) : read.error();
    }
    auto packet = ViciPacket::decode(body);
    if (!packet) return broken(packet.error());
    return packet;
}

Expected<ViciPacket> ViciSession::answer(Clock::time_point deadline, std::vector<ViciMessage>* events,
                                         std::string_view eventName) {
    for (;;) {
        auto packet = receive(deadline);
        if (!packet) {
            // A time-out while waiting for an answer leaves an answer on its way: out of step.
            if (socket_.isOpen()) return broken(packet.error());
            return packet.error();
        }
        if (packet.value().type != ViciPacketType::event) return packet;
        if (events != nullptr && packet.value().name == eventName) {
            events->push_back(std::move(packet.value().message));
        } else {
            pending_.push_back(Event{std::move(packet.value().name), std::move(packet.value().message)});
        }
    }
}

Expected<ViciMessage> ViciSession::command(std::string_view name, const ViciMessage& message, Clock::time_point deadline,
                                           std::vector<ViciMessage>* events, std::string_view eventName) {
    if (auto sent = send({ViciPacketType::commandRequest, std::string(name), message}, deadline); !sent) return sent.error();
    auto reply = answer(deadline, events, eventName);
    if (!reply) return reply.error();
    if (reply.value().type == ViciPacketType::commandUnknown)
        return Error{ENOTSUP, "charon does not know the command " + std::string(name)};
    if (reply.value().type != ViciPacketType::commandResponse)
        return broken(Error{EBADMSG, "charon answered a command with something else"});
    return std::move(reply.value().message);
}

Expected<ViciMessage> ViciSession::request(std::string_view name, const ViciMessage& message, Timeout timeout) {
    return command(name, message, Clock::now() + timeout);
}

Expected<ViciSession::Streamed> ViciSession::streamedRequest(std::string_view name, std::string_view eventName,
                                                             const ViciMessage& message, Timeout timeout) {
    if (auto registered = registerEvent(eventName, timeout); !registered) return registered.error();
    Streamed streamed;
    auto answered = command(name, message, Clock::now() + timeout, &streamed.events, eventName);
    if (!answered) return answered.error();
    streamed.answer = std::move(answered.value());
    if (auto unregistered = unregisterEvent(eventName, timeout); !unregistered) return unregistered.error();
    return streamed;
}

Expected<void> ViciSession::registration(ViciPacketType type, std::string_view name, Timeout timeout) {
    const auto deadline = Clock::now() + timeout;
    if (auto sent = send({type, std::string(name), {}}, deadline); !sent) return sent.error();
    auto reply = answer(deadline);
    if (!reply) return reply.error();
    if (reply.value().type == ViciPacketType::eventConfirm) return {};
    if (reply.value().type == ViciPacketType::eventUnknown) return Error{ENOTSUP, "charon has no event " + std::string(name)};
    return broken(Error{EBADMSG, "charon answered an event registration with something else"});
}

Expected<void> ViciSession::registerEvent(std::string_view name, Timeout timeout) {
    return registration(ViciPacketType::eventRegister, name, timeout);
}

Expected<void> ViciSession::unregisterEvent(std::string_view name, Timeout timeout) {
    return registration(ViciPacketType::eventUnregister, name, timeout);
}

Expected<ViciSession::Event> ViciSession::nextEvent(Timeout timeout) {
    if (pending_.empty()) {
        auto packet = receive(Clock::now() + timeout);
        if (!packet) return packet.error();
        if (packet.value().type != ViciPacketType::event) return broken(Error{EBADMSG, "charon sent an answer nobody asked for"});
        return Event{std::move(packet.value().name), std::move(packet.value().message)};
    }
    auto event = std::move(pending_.front());
    pending_.pop_front();
    return event;
}

Expected<void> ViciSession::succeeded(const ViciMessage& answer, const std::string& what) {
    if (const auto* success = answer.value("success"); success != nullptr && *success == "yes") return {};
    const auto* reason = answer.value("errmsg");
    return Error{EPROTO, reason != nullptr && !reason->empty() ? what + ": " + *reason : what};
}

Expected<void> ViciSession::loadConn(const std::string& name, const ViciMessage& connection) {
    auto reply = request("load-conn", ViciMessage().addSection(name, connection));
    if (!reply) return reply.error();
    return succeeded(reply.value(), "charon refused the connection");
}

Expected<void> ViciSession::unloadConn(const std::string& name) {
    auto reply = request("unload-conn", ViciMessage().add("name", name));
    if (!reply) return reply.error();
    return succeeded(reply.value(), "charon could not unload the connection");
}

Expected<void> ViciSession::loadShared(const std::string& id, const std::string& type, const std::string& data,
                                       const std::vector<std::string>& owners) {
    auto reply =
        request("load-shared", ViciMessage().add("id", id).add("type", type).add("data", data).addList("owners", owners));
    if (!reply) return reply.error();
    // The answer never quotes the secret, and neither does this error.
    return succeeded(reply.value(), "charon refused the secret");
}

Expected<void> ViciSession::unloadShared(const std::string& id) {
    auto reply = request("unload-shared", ViciMessage().add("id", id));
    if (!reply) return reply.error();
    return succeeded(reply.value(), "charon could not unload the secret");
}

Expected<void> ViciSession::loadAuthorityCertificate(const std::string& certificate) {
    auto reply = request("load-cert", ViciMessage().add("type", "x509").add("flag", "CA").add("data", certificate));
    if (!reply) return reply.error();
    return succeeded(reply.value(), "charon refused the certificate");
}

Expected<void> ViciSession::initiate(const std::string& child, const std::string& ike, Timeout timeout) {
    auto message = ViciMessage().add("child", child).add("ike", ike).add("timeout", std::to_string(timeout.count()));
    auto reply = request("initiate", message, timeout + answerMargin);
    if (!reply) return reply.error();
    return succeeded(reply.value(), "The tunnel could not be established");
}

Expected<void> ViciSession::terminate(const std::string& ike, Timeout timeout) {
    auto message = ViciMessage().add("ike", ike).add("timeout", std::to_string(timeout.count()));
    auto reply = request("terminate", message, timeout + answerMargin);
    if (!reply) return reply.error();
    return succeeded(reply.value(), "The tunnel could not be ended");
}

Expected<std::vector<ViciMessage>> ViciSession::listSas(const ViciMessage& filter) {
    auto streamed = streamedRequest("list-sas", "list-sa", filter);
    if (!streamed) return streamed.error();
    return std::move(streamed.value().events);
}

}  // namespace platform::network
