#include "HelperService/CorvantisHelperInterface/HelperWireCodec.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/xpc/MessageFrame.hpp"
#include "platform/xpc/UnixSocketAddress.hpp"
#include "platform/xpc/XpcListener.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperFixture.hpp"
#include "support/HelperProgram.hpp"
#include "support/Patience.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testbed::HelperDaemon;
using corvantis::testing::helperProgram;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

// The real helper program with a fake "ip" that only records its arguments; `options` come
// after the fixture's own, and `prefix` runs the program (as HelperDaemon's command prefix).
struct DaemonFixture {
    TemporaryFolder folder;
    std::filesystem::path socket = folder / "helper.sock";
    std::filesystem::path recorded = folder / "ip-calls";
    std::filesystem::path runtimeFolder = folder / "run";
    std::unique_ptr<HelperDaemon> daemon;

    explicit DaemonFixture(const std::vector<std::string>& options = {}, const std::vector<std::string>& prefix = {}) {
        EXPECT_TRUE(
            FileSystem::writeFileAtomically(folder / "ip", "#!/bin/sh\necho \"$@\" >> " + recorded.string() + "\n", 0755));
        EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "resolv.conf", "nameserver 9.9.9.9\n", 0644));
        EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "allow-uid = 4242\n", 0644));
        start(options, prefix);
    }
    void start(const std::vector<std::string>& options, const std::vector<std::string>& prefix = {}) {
        daemon.reset();
        std::filesystem::remove(socket);
        // Every file the helper keeps lies in the test's folder (its run folders in "run").
        auto all = HelperDaemon::privateFilesIn(folder.path());
        all.insert(all.end(), {"--config", (folder / "helper.conf").string(), "--ip", (folder / "ip").string(),
                               "--bundle-resources", (folder / "bundle").string()});
        all.insert(all.end(), options.begin(), options.end());
        daemon = std::make_unique<HelperDaemon>(helperProgram(), socket, all, prefix);
    }

    // The first reply, once the helper has finished the command.
    std::string call(const std::string& line) const {
        return corvantis::testing::firstText(corvantis::testing::callUntilDone(socket, HelperCall::runCommand(line, true)));
    }
};

TEST(HelperDaemon, TheRealProgramServesAPassedSocketAndRunsTheMappedProgram) {
    DaemonFixture fixture;
    EXPECT_EQ(fixture.call("route -n add -net 203.0.113.7 192.168.1.1"), "");
    EXPECT_EQ(FileSystem::readFile(fixture.recorded).value(), "-4 route add 203.0.113.7/32 via 192.168.1.1\n");
    EXPECT_EQ(fixture.call("scutil --dns | grep 'nameserver' | awk '{print $3}'"), "9.9.9.9\n");
    EXPECT_EQ(fixture.call("route -n add default 192.168.1.1 && touch " + (fixture.folder / "owned").string()), "");
    EXPECT_FALSE(FileSystem::fileExists(fixture.folder / "owned"));
}

TEST(HelperDaemon, SaysOnStandardErrorWhereItListensWhomItServesAndWhatItRefusedWithoutTheRequest) {
    TemporaryFolder output;
    const auto errors = output / "stderr";
    {
        // The child inherits this process's standard error while the daemon starts.
        platform::foundation::FileDescriptor saved(::dup(STDERR_FILENO));
        platform::foundation::FileDescriptor file(::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
        ASSERT_TRUE(saved.isOpen() && file.isOpen());
        ::dup2(file.get(), STDERR_FILENO);
        DaemonFixture fixture;
        ::dup2(saved.get(), STDERR_FILENO);
        EXPECT_EQ(fixture.call("route -n add default 192.168.1.1 && touch /tmp/secret-name"), "");
    }
    const auto text = FileSystem::readFile(errors).value();
    EXPECT_NE(text.find("Listening on the socket systemd passed for root, uid 4242\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Refused a command from uid " + std::to_string(::geteuid()) + ": "), std::string::npos) << text;
    EXPECT_EQ(text.find("secret-name"), std::string::npos) << text;
}

// How many connections to the Unix socket `path` its server holds open: the accepted sockets
// carry the listening socket's name in the kernel's table, the listening one its own flag.
std::size_t connectionsTo(const std::filesystem::path& path) {
    std::ifstream table("/proc/net/unix");
    std::size_t open = 0;
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string number, references, protocol, flags, type, state, inode, name;
        if (fields >> number >> references >> protocol >> flags >> type >> state >> inode >> name && name == path.string() &&
            flags != "00010000")
            ++open;
    }
    return open;
}

// The resident memory of a process, in MiB.
double residentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024;
    }
    return -1;
}

// Samples the helper's memory for at most `limit` until `enough` holds; the last sample.
double residentUntil(pid_t pid, const std::function<bool(double)>& enough, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    double resident = residentMiB(pid);
    while (!enough(resident) && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        resident = residentMiB(pid);
    }
    return resident;
}

TEST(HelperDaemon, StalledConnectionsHoldOnlyWhatTheySentAndGiveItBackWhenTheyClose) {
    DaemonFixture fixture;
    const pid_t helper = fixture.daemon->pid();
    ASSERT_EQ(fixture.call("route -n add -net 203.0.113.7 192.168.1.1"), "");
    // The call's connection counts against the user's share until the helper has closed it.
    ASSERT_TRUE(corvantis::testing::eventually([&] { return connectionsTo(fixture.socket) == 0; }));
    const double before = residentMiB(helper);
    const auto address = platform::xpc::unixSocketAddress(fixture.socket).value();
    const std::uint32_t announced = platform::xpc::maximumFrameLength;
    std::vector<platform::foundation::FileDescriptor> stalled;
    for (int index = 0; index < platform::xpc::XpcListener::maximumConnectionsPerUser; ++index) {
        platform::foundation::FileDescriptor connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        ASSERT_EQ(::connect(connection.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        const std::string start = {static_cast<char>(announced >> 24),
                                   static_cast<char>(announced >> 16),
                                   static_cast<char>(announced >> 8),
                                   static_cast<char>(announced),
                                   '{',
                                   '"'};
        ASSERT_EQ(::send(connection.get(), start.data(), start.size(), MSG_NOSIGNAL), static_cast<ssize_t>(start.size()));
        stalled.push_back(std::move(connection));
    }
    // Announcing 8 MiB each costs the helper next to nothing; it would hold 256 MiB at once if it
    // made room for what was announced.
    const double announcedOnly = residentUntil(
        helper, [&](double now) { return now - before > 250; }, std::chrono::seconds(2));
    EXPECT_LT(announcedOnly - before, 32) << "MiB for 32 connections that announced 8 MiB each";

    const std::string half(announced / 2, 'x');
    for (const auto& connection : stalled) {
        ASSERT_EQ(::send(connection.get(), half.data(), half.size(), MSG_NOSIGNAL), static_cast<ssize_t>(half.size()));
    }
    const double halfSent = residentUntil(
        helper, [&](double now) { return now - before > 120; }, corvantis::testing::patience(std::chrono::seconds(60)));
    stalled.clear();
    const double closed = residentUntil(
        helper, [&](double now) { return now - before < 32; }, corvantis::testing::patience(std::chrono::seconds(60)));
    EXPECT_LT(closed - before, 32) << "MiB still held after the connections closed";
    std::printf(
        "helper resident memory: %.1f MiB at rest, %.1f MiB with 32 stalled connections that announced 8 MiB each, "
        "%.1f MiB once each sent 4 MiB, %.1f MiB after they closed\n",
        before, announcedOnly, halfSent, closed);
}

// The replies of a runOpenVPN call, each its array of texts.
std::vector<std::vector<std::string>> arrays(const std::vector<nlohmann::json>& replies) {
    std::vector<std::vector<std::string>> found;
    for (const auto& reply : replies) {
        auto texts = corvantis::helper::HelperWireCodec::decodeTextArrayReply(reply);
        found.push_back(texts && texts.value() ? *texts.value() : std::vector<std::string>{"<no array>"});
    }
    return found;
}

TEST(HelperDaemon, ARelativeProfilePathIsRefusedAtOnceAndTheHelperGoesOn) {
    // Capped, so that a helper that loops on such a path ends within seconds instead of taking
    // the machine's memory.
    DaemonFixture fixture({}, {"/usr/bin/prlimit", "--data=" + std::to_string(512 << 20)});
    for (const std::string path : {"config.ovpn", "./config.ovpn", "a/../config.ovpn", ""}) {
        const auto replies = arrays(corvantis::testing::callUntilDone(
            fixture.socket,
            HelperCall::runOpenVPN("/usr/sbin/openvpn", path, "u", "p", (fixture.folder / "bundle").string(), true)));
        ASSERT_EQ(replies.size(), 1u) << "\"" << path << "\"";
        EXPECT_EQ(replies[0],
                  (std::vector<std::string>{"ended", "OpenVPN ended with output:the profile's path is not absolute\n"}))
            << "\"" << path << "\"";
    }
    EXPECT_EQ(fixture.call("route -n add -net 203.0.113.7 192.168.1.1"), "");
}

TEST(HelperDaemon, ARestartedHelperRemovesTheRunFoldersAKilledOneLeft) {
    // The files of a bundle and of a private profile; its in-process helper stays unused.
    corvantis::testing::HelperFixture files;
    // Connects, then stays until its input ends (when the helper that holds it is gone).
    const auto openvpn = files.folder / "openvpn";
    files.write(openvpn, "#!/bin/sh\necho 'Initialization Sequence Completed'\nread -r line\n", 0755);
    DaemonFixture fixture({"--bundle-resources", files.bundle.string(), "--openvpn", openvpn.string()});
    corvantis::testing::ReplyStream run(
        fixture.socket,
        HelperCall::runOpenVPN("/usr/sbin/openvpn", files.profile.string(), "alice", "vpn-secret", files.bundle.string(), true));
    const auto connected = run.next();
    ASSERT_TRUE(connected);
    ASSERT_EQ(arrays({*connected}).front().front(), "connected");
    std::vector<std::filesystem::path> left;
    for (const auto& entry : std::filesystem::directory_iterator(fixture.runtimeFolder)) left.push_back(entry.path());
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(FileSystem::readFile(left[0] / "credentials").value(), "alice\nvpn-secret\n");
    // Killed, the helper removes nothing. A file beside the run folders is none of theirs.
    ::kill(fixture.daemon->pid(), SIGKILL);
    fixture.daemon.reset();
    ASSERT_TRUE(FileSystem::fileExists(left[0] / "credentials"));
    ASSERT_TRUE(FileSystem::writeFileAtomically(fixture.runtimeFolder / "other-file", "kept\n", 0600));

    fixture.start({"--bundle-resources", files.bundle.string(), "--openvpn", openvpn.string()});
    EXPECT_EQ(fixture.call("route -n add -net 203.0.113.7 192.168.1.1"), "");
    EXPECT_FALSE(FileSystem::fileExists(left[0])) << "the earlier run's folder, with its credentials, is still there";
    EXPECT_TRUE(FileSystem::fileExists(fixture.runtimeFolder / "other-file"));
}

TEST(HelperDaemon, RefusesToStartWithAConfigurationOthersCanWrite) {
    TemporaryFolder folder;
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "allow-uid = 1000\n", 0666));
    EXPECT_EQ(HelperDaemon::runToExit(helperProgram(), {"--config", (folder / "helper.conf").string(), "--socket",
                                                        (folder / "helper.sock").string()}),
              1);
    EXPECT_FALSE(FileSystem::fileExists(folder / "helper.sock"));
    EXPECT_EQ(HelperDaemon::runToExit(helperProgram(), {"--help"}), 0);
}

}  // namespace
