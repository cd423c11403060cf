#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/HelperCalls.hpp"
#include "support/HelperProgram.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using corvantis::helper::HelperCall;
using corvantis::testbed::HelperDaemon;
using corvantis::testing::helperProgram;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

// The real helper program with a fake "ip" that only records its arguments.
struct DaemonFixture {
    TemporaryFolder folder;
    std::filesystem::path socket = folder / "helper.sock";
    std::filesystem::path recorded = folder / "ip-calls";
    std::unique_ptr<HelperDaemon> daemon;

    DaemonFixture() {
        EXPECT_TRUE(
            FileSystem::writeFileAtomically(folder / "ip", "#!/bin/sh\necho \"$@\" >> " + recorded.string() + "\n", 0755));
        EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "resolv.conf", "nameserver 9.9.9.9\n", 0644));
        EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "allow-uid = 4242\n", 0644));
        daemon = std::make_unique<HelperDaemon>(
            helperProgram(), socket,
            std::vector<std::string>{"--config", (folder / "helper.conf").string(), "--ip", (folder / "ip").string(),
                                     "--resolv-etc", (folder / "resolv.conf").string(), "--bundle-resources",
                                     (folder / "bundle").string(), "--guard-preferences", (folder / "guard.conf").string(),
                                     "--guard-script", (folder / "guard.sh").string(), "--guard-unit-folder",
                                     (folder / "units").string()});
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
