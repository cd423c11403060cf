#include "platform/foundation/FileDescriptor.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "support/Patience.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <sys/socket.h>
#include <thread>

using platform::foundation::FileDescriptor;
namespace xpc = platform::xpc;

namespace {

struct SocketPair {
    SocketPair() {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        one.reset(fds[0]);
        other.reset(fds[1]);
    }
    FileDescriptor one;
    FileDescriptor other;
};

void sendRaw(int fd, std::string_view bytes) {
    ASSERT_EQ(::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

TEST(MessageFrame, AFrameIsABigEndianLengthAndThePayload) {
    SocketPair pair;
    ASSERT_TRUE(xpc::writeFrame(pair.one.get(), "abc"));
    char raw[7];
    ASSERT_EQ(::recv(pair.other.get(), raw, sizeof raw, 0), 7);
    EXPECT_EQ(std::string(raw, 7), std::string("\0\0\0\3abc", 7));

    sendRaw(pair.one.get(), std::string("\0\0\1\0", 4) + std::string(256, 'x'));
    auto frame = xpc::readFrame(pair.other.get());
    ASSERT_TRUE(frame && frame.value());
    EXPECT_EQ(*frame.value(), std::string(256, 'x'));
}

TEST(MessageFrame, MessagesRoundTripAndTheEndOfTheConnectionIsNoMessage) {
    SocketPair pair;
    const nlohmann::json message{{"selector", "runCommand:withReply:"}, {"arguments", {"grüße"}}, {"reply", true}};
    ASSERT_TRUE(xpc::writeMessage(pair.one.get(), message));
    pair.one.reset();
    auto read = xpc::readMessage(pair.other.get());
    ASSERT_TRUE(read && read.value());
    EXPECT_EQ(*read.value(), message);
    auto end = xpc::readMessage(pair.other.get());
    ASSERT_TRUE(end);
    EXPECT_FALSE(end.value());
}

TEST(MessageFrame, AFrameOfExactlyTheLimitPassesAndOneByteMoreIsRefusedUnread) {
    SocketPair pair;
    const std::string largest(xpc::maximumFrameLength, 'a');
    std::thread writer([&] { EXPECT_TRUE(xpc::writeFrame(pair.one.get(), largest)); });
    auto frame = xpc::readFrame(pair.other.get());
    writer.join();
    ASSERT_TRUE(frame && frame.value());
    EXPECT_EQ(frame.value()->size(), largest.size());

    // Only the header is sent: the reader must refuse at once instead of waiting for 8 MiB.
    const std::uint32_t tooLong = xpc::maximumFrameLength + 1;
    sendRaw(pair.one.get(), std::string{static_cast<char>(tooLong >> 24), static_cast<char>(tooLong >> 16),
                                        static_cast<char>(tooLong >> 8), static_cast<char>(tooLong)});
    auto refused = xpc::readFrame(pair.other.get());
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, xpc::frameTooLongError);
    EXPECT_FALSE(xpc::writeFrame(pair.one.get(), std::string(xpc::maximumFrameLength + 1, 'a')));
}

TEST(MessageFrame, BrokenInputIsAnErrorValue) {
    struct Case {
        std::string bytes;
        int code;
    };
    const Case cases[] = {
        {std::string("\0\0", 2), EPROTO},                     // cut inside the header
        {std::string("\0\0\0\x05{}", 6), EPROTO},             // cut inside the payload
        {std::string("\0\0\0\x03{}}", 7), EBADMSG},           // not JSON
        {std::string("\0\0\0\x04\"\xff\xfe\"", 8), EBADMSG},  // not UTF-8
    };
    for (const auto& testCase : cases) {
        SocketPair pair;
        sendRaw(pair.one.get(), testCase.bytes);
        pair.one.reset();
        auto message = xpc::readMessage(pair.other.get());
        ASSERT_FALSE(message) << testCase.bytes.size();
        EXPECT_EQ(message.error().code, testCase.code);
    }
}

TEST(MessageFrame, AMessageNestedTooDeeplyIsRefusedBeforeItIsParsed) {
    // The helper runs as root: a caller's frame must not be able to exhaust its stack.
    SocketPair pair;
    const std::string deep = std::string(200'000, '[') + std::string(200'000, ']');
    std::thread writer([&] { EXPECT_TRUE(xpc::writeFrame(pair.one.get(), deep)); });
    auto message = xpc::readMessage(pair.other.get());
    writer.join();
    ASSERT_FALSE(message);
    EXPECT_EQ(message.error().code, EBADMSG);
}

TEST(MessageFrame, AWholeFrameHasOneDeadlineHoweverItsBytesTrickle) {
    SocketPair pair;
    std::atomic<bool> stop{false};
    // A byte every 20 ms: no single read ever waits long, yet the frame of 4 KiB takes 80 s.
    std::thread trickle([&] {
        sendRaw(pair.one.get(), std::string("\0\0\x10\0", 4));
        while (!stop) {
            if (::send(pair.one.get(), "x", 1, MSG_NOSIGNAL) != 1) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = std::chrono::steady_clock::now();
    auto frame = xpc::readFrame(pair.other.get(), start + std::chrono::milliseconds(300));
    const auto took = std::chrono::steady_clock::now() - start;
    stop = true;
    trickle.join();
    ASSERT_FALSE(frame);
    EXPECT_EQ(frame.error().code, ETIMEDOUT);
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, corvantis::testing::patience(std::chrono::seconds(20)));
}

TEST(MessageFrame, APayloadThatEndsEarlyIsAnErrorWhateverItAnnounced) {
    SocketPair pair;
    sendRaw(pair.one.get(), std::string("\0\x80\0\0", 4) + "{\"a\"");
    pair.one.reset();
    auto frame = xpc::readFrame(pair.other.get());
    ASSERT_FALSE(frame);
    EXPECT_EQ(frame.error().code, EPROTO);
}

TEST(MessageFrame, InvalidUtf8InAnOutgoingTextStillMakesValidJson) {
    SocketPair pair;
    ASSERT_TRUE(xpc::writeMessage(pair.one.get(), nlohmann::json{{"reply", std::string("ok\xff")}}));
    auto read = xpc::readMessage(pair.other.get());
    ASSERT_TRUE(read && read.value());
    EXPECT_EQ(read.value()->at("reply"), "ok\xEF\xBF\xBD");
}

TEST(MessageFrame, WritingToAPeerThatLeftIsAnErrorNotASignal) {
    SocketPair pair;
    pair.other.reset();
    EXPECT_FALSE(xpc::writeMessage(pair.one.get(), nlohmann::json{{"reply", "late"}}));
}

}  // namespace
