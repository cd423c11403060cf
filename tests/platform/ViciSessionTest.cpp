// The VICI client against a scripted charon on a real Unix socket.

#include "platform/foundation/FileDescriptor.hpp"
#include "platform/network/ViciSession.hpp"
#include "support/Patience.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <thread>

using platform::foundation::FileDescriptor;
using platform::network::ViciMessage;
using platform::network::ViciPacket;
using platform::network::ViciPacketType;
using platform::network::ViciSession;
using namespace std::chrono_literals;

namespace {

// Accepts one client and, for each packet it reads, writes the scripted packets.
class ScriptedCharon {
public:
    explicit ScriptedCharon(const std::filesystem::path& path, std::vector<std::vector<ViciPacket>> answers) {
        listener_.reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
        EXPECT_EQ(::listen(listener_.get(), 1), 0);
        thread_ = std::thread([this, answers = std::move(answers)] {
            FileDescriptor client(::accept(listener_.get(), nullptr, nullptr));
            for (const auto& packets : answers) {
                if (!readPacket(client.get())) return;
                for (const auto& packet : packets) {
                    const auto bytes = packet.encode().value();
                    ::send(client.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
                }
            }
            char rest;
            ::recv(client.get(), &rest, 1, 0);  // until the client goes
        });
    }
    ~ScriptedCharon() { thread_.join(); }

    std::vector<ViciPacket> received;

private:
    bool readPacket(int fd) {
        unsigned char header[4];
        if (::recv(fd, header, 4, MSG_WAITALL) != 4) return false;
        std::string body((header[0] << 24) | (header[1] << 16) | (header[2] << 8) | header[3], '\0');
        if (::recv(fd, body.data(), body.size(), MSG_WAITALL) != static_cast<ssize_t>(body.size())) return false;
        received.push_back(ViciPacket::decode(body).value());
        return true;
    }

    FileDescriptor listener_;
    std::thread thread_;
};

ViciPacket response(ViciMessage message) {
    return {ViciPacketType::commandResponse, {}, std::move(message)};
}

ViciPacket event(std::string name, ViciMessage message) {
    return {ViciPacketType::event, std::move(name), std::move(message)};
}

TEST(ViciSession, CommandsAnswerAndEventsInBetweenAreKeptInOrder) {
    corvantis::testing::TemporaryFolder folder;
    const auto socket = folder / "charon.vici";
    const ViciMessage sa = ViciMessage().addSection("corvantis", ViciMessage().add("state", "ESTABLISHED"));
    ScriptedCharon charon(socket, {
                                      {{ViciPacketType::eventConfirm, {}, {}}},              // register ike-updown
                                      {event("ike-updown", ViciMessage().add("up", "yes")),  // load-conn
                                       response(ViciMessage().add("success", "no").add("errmsg", "invalid proposal"))},
                                      {{ViciPacketType::eventConfirm, {}, {}},
                                       event("list-sa", sa),  // register list-sa
                                       response({}),
                                       {ViciPacketType::eventConfirm, {}, {}}},
                                      {},                                          // list-sas
                                      {},                                          // unregister
                                      {{ViciPacketType::commandUnknown, {}, {}}},  // nonsense
                                  });
    auto session = ViciSession::connect(socket, 2s);
    ASSERT_TRUE(session) << session.error().message;
    auto& vici = *session.value();

    ASSERT_TRUE(vici.registerEvent("ike-updown"));
    const auto loaded = vici.loadConn("corvantis", ViciMessage().add("version", "2"));
    ASSERT_FALSE(loaded);
    EXPECT_EQ(loaded.error().message, "charon refused the connection: invalid proposal");
    const auto sas = vici.listSas();
    ASSERT_TRUE(sas) << sas.error().message;
    ASSERT_EQ(sas.value().size(), 1u);
    EXPECT_EQ(sas.value()[0], sa);

    const auto kept = vici.nextEvent(10ms);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept.value().name, "ike-updown");
    EXPECT_EQ(*kept.value().message.value("up"), "yes");
    const auto none = vici.nextEvent(10ms);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().code, ETIMEDOUT);

    const auto unknown = vici.request("nonsense", {}, 2s);
    ASSERT_FALSE(unknown);
    EXPECT_EQ(unknown.error().code, ENOTSUP);

    ASSERT_GE(charon.received.size(), 3u);
    EXPECT_EQ(charon.received[1].name, "load-conn");
    EXPECT_EQ(*charon.received[1].message.section("corvantis")->value("version"), "2");
    EXPECT_EQ(charon.received[2].type, ViciPacketType::eventRegister);
    EXPECT_EQ(charon.received[2].name, "list-sa");
}

TEST(ViciSession, ASilentCharonEndsTheSessionAfterTheTimeout) {
    corvantis::testing::TemporaryFolder folder;
    const auto socket = folder / "charon.vici";
    {
        ScriptedCharon charon(socket, {{}});  // reads one packet, never answers
        auto session = ViciSession::connect(socket, 2s);
        ASSERT_TRUE(session);
        const auto started = std::chrono::steady_clock::now();
        const auto answer = session.value()->request("version", {}, 100ms);
        ASSERT_FALSE(answer);
        EXPECT_EQ(answer.error().code, ETIMEDOUT);
        EXPECT_LT(std::chrono::steady_clock::now() - started, corvantis::testing::patience(20s));
        // Out of step now: nothing more goes over this session.
        EXPECT_EQ(session.value()->request("version", {}, 100ms).error().code, ENOTCONN);
    }
    EXPECT_FALSE(ViciSession::connect(folder / "nobody.vici", 100ms));
}

}  // namespace
