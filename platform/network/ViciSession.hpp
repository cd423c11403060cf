#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/network/ViciMessage.hpp"
#include "platform/network/ViciPacket.hpp"

#include <chrono>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace platform::network {

// A client session with strongSwan's charon over its VICI Unix socket. Every call blocks until
// charon answers or `timeout` passes; a time-out, a broken stream or a malformed packet ends the
// session (later calls fail at once), since the stream may then be out of step. Events charon
// sends between answers are kept, in order, for `nextEvent`. One thread at a time; use a second
// session to act while another waits (a terminate that cuts short a waiting initiate).
class ViciSession {
public:
    using Timeout = std::chrono::milliseconds;
    static constexpr Timeout defaultTimeout{5000};

    struct Event {
        std::string name;
        ViciMessage message;
    };

    static foundation::Expected<std::unique_ptr<ViciSession>> connect(const std::filesystem::path& socket,
                                                                      Timeout timeout = defaultTimeout);

    // Sends `command` and returns charon's answer as it came (success or not); an unknown
    // command is an error.
    foundation::Expected<ViciMessage> request(std::string_view command, const ViciMessage& message = {},
                                              Timeout timeout = defaultTimeout);
    // A command that answers with `eventName` events before its answer (list-sas with
    // "list-sa", list-conns with "list-conn"): those events, in order, then the answer.
    struct Streamed {
        std::vector<ViciMessage> events;
        ViciMessage answer;
    };
    foundation::Expected<Streamed> streamedRequest(std::string_view command, std::string_view eventName,
                                                   const ViciMessage& message = {}, Timeout timeout = defaultTimeout);

    foundation::Expected<void> registerEvent(std::string_view name, Timeout timeout = defaultTimeout);
    foundation::Expected<void> unregisterEvent(std::string_view name, Timeout timeout = defaultTimeout);
    // The next event of a registered kind; ETIMEDOUT when none came in time (the session stays
    // usable then).
    foundation::Expected<Event> nextEvent(Timeout timeout);

    // The usual commands. Each fails with charon's "errmsg" when the answer says "success = no".
    // load-conn with one connection `name` made of `connection`.
    foundation::Expected<void> loadConn(const std::string& name, const ViciMessage& connection);
    foundation::Expected<void> unloadConn(const std::string& name);
    // load-shared: a secret of `type` ("EAP", "IKE", ...) for `owners`, kept under `id`.
    foundation::Expected<void> loadShared(const std::string& id, const std::string& type, const std::string& data,
                                          const std::vector<std::string>& owners);
    foundation::Expected<void> unloadShared(const std::string& id);
    // load-cert: a certificate authority's X.509 certificate (PEM or DER) to trust.
    foundation::Expected<void> loadAuthorityCertificate(const std::string& certificate);
    // initiate: waits until the CHILD_SA is up or failed, at most `timeout` (charon's own limit
    // for the attempt; the socket waits a little longer).
    foundation::Expected<void> initiate(const std::string& child, const std::string& ike, Timeout timeout);
    // terminate the IKE_SA of that connection name and its children.
    foundation::Expected<void> terminate(const std::string& ike, Timeout timeout = defaultTimeout);
    // list-sas: one message per IKE_SA, each with the connection's name as its only section.
    foundation::Expected<std::vector<ViciMessage>> listSas(const ViciMessage& filter = {});

    // "success = yes" passes; anything else fails with charon's "errmsg", or `what` when it gave none.
    static foundation::Expected<void> succeeded(const ViciMessage& answer, const std::string& what);

private:
    explicit ViciSession(foundation::FileDescriptor socket) : socket_(std::move(socket)) {}

    foundation::Expected<void> send(const ViciPacket& packet, std::chrono::steady_clock::time_point deadline);
    foundation::Expected<ViciPacket> receive(std::chrono::steady_clock::time_point deadline);
    // Reads packets until one that is not an event; events go to `events` when given, else to the queue.
    foundation::Expected<ViciPacket> answer(std::chrono::steady_clock::time_point deadline,
                                            std::vector<ViciMessage>* events = nullptr, std::string_view eventName = {});
    // Sends a command and reads its answer; events of `eventName` go to `events` when given.
    foundation::Expected<ViciMessage> command(std::string_view name, const ViciMessage& message,
                                              std::chrono::steady_clock::time_point deadline,
                                              std::vector<ViciMessage>* events = nullptr, std::string_view eventName = {});
    foundation::Expected<void> registration(ViciPacketType type, std::string_view name, Timeout timeout);
    foundation::Expected<void> readExactly(char* buffer, std::size_t length, std::chrono::steady_clock::time_point deadline);
    foundation::Error broken(foundation::Error error);

    foundation::FileDescriptor socket_;
    std::deque<Event> pending_;
};

}  // namespace platform::network
