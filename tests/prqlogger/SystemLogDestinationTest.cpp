// The system-log destination: the line it composes, and what reaches the system log's socket.
// The second test binds that socket itself, so it runs only inside scripts/sandbox.
#include "PRQLogger/Destinations/AppleSystemLogDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "testbed/helper/Sandbox.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <syslog.h>
#include <unistd.h>

using prq::Level;
using Lines = std::vector<std::string>;

namespace {

void showLevelAndMessage(prq::BaseDestination& destination) {
    destination.setShowFunctionName(false);
    destination.setShowFileName(false);
    destination.setShowLineNumber(false);
}

class RecordingSystemLogDestination : public prq::AppleSystemLogDestination {
public:
    using AppleSystemLogDestination::AppleSystemLogDestination;
    void write(const std::string& message) override { lines.push_back(message); }
    Lines lines;
};

TEST(SystemLogDestination, LinesNeverShowTheDate) {
    const auto logger = prq::PRQLogger::make("system", false);
    const auto destination = std::make_shared<RecordingSystemLogDestination>(nullptr, "system log");
    destination->setShowDate(true);
    EXPECT_FALSE(destination->showDate());
    showLevelAndMessage(*destination);
    destination->setHaveLoggedAppDetails(true);
    logger->add(destination);
    logger->warning([] { return "100% done"; });
    EXPECT_EQ(destination->lines, Lines{"[Warning] > 100% done"});
}

// A datagram socket in place of the system logger's, in this sandbox's own /dev.
class SystemLogSocket {
public:
    SystemLogSocket() {
        if (::mount("sandbox-dev", "/dev", "tmpfs", 0, "mode=0755") != 0) {
            failure_ = std::string("cannot mount a private /dev: ") + std::strerror(errno);
            return;
        }
        mounted_ = true;
        socket_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, "/dev/log");
        if (socket_ < 0 || ::bind(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            failure_ = std::string("cannot bind /dev/log: ") + std::strerror(errno);
            return;
        }
        const timeval patience{10, 0};  // a bound on a lost datagram, not a timer the test waits for
        ::setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
        ::closelog();  // a connection made earlier would still lead to the host's logger
    }
    ~SystemLogSocket() {
        ::closelog();
        if (socket_ >= 0) ::close(socket_);
        if (mounted_) ::umount2("/dev", MNT_DETACH);
    }
    SystemLogSocket(const SystemLogSocket&) = delete;
    SystemLogSocket& operator=(const SystemLogSocket&) = delete;

    const std::string& failure() const { return failure_; }
    std::string receive() const {
        char datagram[4096];
        const ssize_t size = ::recv(socket_, datagram, sizeof datagram, 0);
        return size < 0 ? std::string("(nothing: ") + std::strerror(errno) + ")"
                        : std::string(datagram, static_cast<std::size_t>(size));
    }

private:
    bool mounted_ = false;
    int socket_ = -1;
    std::string failure_;
};

TEST(SystemLogDestinationSandbox, WritesTheLineUnchangedAtNoticeLevel) {
    if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "binds the system log's socket: runs only through scripts/sandbox";
    const SystemLogSocket systemLog;
    ASSERT_EQ(systemLog.failure(), "");

    const auto logger = prq::PRQLogger::make("system", false);
    const auto destination = std::make_shared<prq::AppleSystemLogDestination>(nullptr, "system log");
    showLevelAndMessage(*destination);
    destination->setHaveLoggedAppDetails(true);
    logger->add(destination);
    logger->error([] { return "%@ and %d and %s stay as they are"; });

    const std::string received = systemLog.receive();
    EXPECT_TRUE(received.starts_with("<" + std::to_string(LOG_USER | LOG_NOTICE) + ">")) << received;
    EXPECT_TRUE(received.ends_with(": [Error] > %@ and %d and %s stay as they are")) << received;
}

}  // namespace
