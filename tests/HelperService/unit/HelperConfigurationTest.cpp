#include "HelperService/CorvantisHelper/HelperConfiguration.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>

using corvantis::helper::HelperConfiguration;
using corvantis::testing::TemporaryFolder;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

TEST(HelperConfiguration, FileThenOptionsWithRootAlwaysAllowed) {
    TemporaryFolder folder;
    const auto file = folder / "helper.conf";
    ASSERT_TRUE(FileSystem::writeFileAtomically(file,
                                                "# installed for the user\n"
                                                "allow-uid = 1000, 1001\n"
                                                "bundle-resources = /opt/corvantis/Resources/  # trailing slash\n"
                                                "resolv-backup = /var/lib/corvantis/resolv.conf\n"
                                                "openvpn = /opt/openvpn/sbin/openvpn\n",
                                                0644));
    auto loaded = HelperConfiguration::load({"--config", file.string(), "--allow-uid=1002", "--resolv-backup", "/tmp/other",
                                             "--ip=/usr/sbin/ip", "--runtime-folder=/run/corvantis-test"});
    ASSERT_TRUE(loaded) << loaded.error().message;
    const auto& configuration = loaded.value();
    EXPECT_EQ(configuration.allowedUids, (std::set<uid_t>{1000, 1001, 1002}));
    EXPECT_TRUE(configuration.allows(0));
    EXPECT_TRUE(configuration.allows(1001));
    EXPECT_FALSE(configuration.allows(65534));
    EXPECT_EQ(configuration.bundleResources, "/opt/corvantis/Resources");
    EXPECT_EQ(configuration.resolver.backup, "/tmp/other");
    EXPECT_EQ(configuration.resolver.etc, "/etc/resolv.conf");
    EXPECT_EQ(configuration.resolver.var, "/etc/resolv.conf");
    EXPECT_EQ(configuration.tools.ip, "/usr/sbin/ip");
    EXPECT_EQ(configuration.tools.openvpn, "/opt/openvpn/sbin/openvpn");
    EXPECT_EQ(configuration.runtimeFolder, "/run/corvantis-test");
    EXPECT_EQ(configuration.systemKeychain, "/var/lib/corvantis/System.keychain");
}

TEST(HelperConfiguration, MistakesAreRefusedWithTheirPlace) {
    TemporaryFolder folder;
    struct Case {
        std::vector<std::string> arguments;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--allow-uid=alice"}, "is not a user id"},
        {{"--allow-uid=-1"}, "is not a user id"},
        {{"--resolv-etc=relative/path"}, "absolute path"},
        {{"--colour=blue"}, "Unknown setting"},
        {{"--socket"}, "needs a value"},
        {{"stray"}, "Unexpected argument"},
        {{"--config", (folder / "missing.conf").string()}, "No such file"},
    };
    for (const auto& testCase : cases) {
        auto loaded = HelperConfiguration::load(testCase.arguments);
        ASSERT_FALSE(loaded) << testCase.arguments[0];
        EXPECT_NE(loaded.error().message.find(testCase.message), std::string::npos) << loaded.error().message;
    }
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "bad.conf", "allow-uid 1000\n", 0644));
    auto badLine = HelperConfiguration::load({"--config", (folder / "bad.conf").string()});
    ASSERT_FALSE(badLine);
    EXPECT_NE(badLine.error().message.find("line 1"), std::string::npos);
}

TEST(HelperConfiguration, AFileOthersCouldHaveWrittenIsRefused) {
    TemporaryFolder folder;
    const auto file = folder / "helper.conf";
    ASSERT_TRUE(FileSystem::writeFileAtomically(file, "allow-uid = 4242\n", 0644));
    ::chmod(file.c_str(), 0664);
    auto writable = HelperConfiguration::load({"--config", file.string()});
    ASSERT_FALSE(writable);
    EXPECT_NE(writable.error().message.find("Refusing the configuration file"), std::string::npos);

    ::chmod(file.c_str(), 0644);
    std::filesystem::create_symlink(file, folder / "link.conf");
    EXPECT_FALSE(HelperConfiguration::load({"--config", (folder / "link.conf").string()}));
}

// The README's "try it by hand" runs the helper as root on the reader's own machine, outside any
// sandbox: every file it keeps for the system must lie in the folder it names, and neither routes
// nor the kill-switch guard's unit may reach the machine.
TEST(HelperConfiguration, TheReadmesHandRunKeepsTheHelperOffTheMachine) {
    std::ifstream readme(CORVANTIS_SOURCE_DIR "/README.md");
    const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
    const std::string program = "build/app/Contents/Library/LaunchServices/com.corvantis.CorvantisHelper";
    const auto start = text.find("sudo " + program + " ");
    ASSERT_NE(start, std::string::npos) << "the README no longer starts the helper by hand";
    std::string command;
    for (auto at = start;;) {
        const auto end = text.find('\n', at);
        std::string line = text.substr(at, end - at);
        const bool continued = line.ends_with('\\');
        if (continued) line.pop_back();
        command += line;
        if (!continued || end == std::string::npos) break;
        at = end + 1;
    }
    // The README's folder becomes the test's own, and the shell's part is done as the shell would.
    TemporaryFolder folder;
    const std::string readmeFolder = "/tmp/corvantis-try";
    const std::vector<std::pair<std::string, std::string>> shell{
        {readmeFolder, folder.path().string()}, {"$(id -u)", "1000"}, {"\"$PWD/resources\"", "/src/resources"}};
    for (const auto& [written, meant] : shell) {
        for (auto at = command.find(written); at != std::string::npos; at = command.find(written, at + meant.size())) {
            command.replace(at, written.size(), meant);
        }
    }
    std::istringstream words(command);
    std::vector<std::string> arguments{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    ASSERT_GE(arguments.size(), 2u);
    ASSERT_EQ(arguments[1], program);
    arguments.erase(arguments.begin(), arguments.begin() + 2);
    ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "", 0644));

    const auto loaded = HelperConfiguration::load(arguments);
    ASSERT_TRUE(loaded) << loaded.error().message;
    const auto& configuration = loaded.value();
    for (const auto& path :
         {configuration.socket, configuration.resolver.etc, configuration.resolver.var, configuration.resolver.backup,
          configuration.guard.preferences, configuration.guard.script, configuration.guard.unitFolder,
          configuration.runtimeFolder, configuration.systemKeychain, configuration.networkPreferences}) {
        EXPECT_EQ(path.string().rfind(folder.path().string() + "/", 0), 0u) << path << " is not in the README's folder";
    }
    EXPECT_EQ(configuration.tools.ip, "/bin/true") << "routes would change";
    EXPECT_EQ(configuration.tools.systemctl, "/bin/true") << "the guard's unit would be installed and started";
}

}  // namespace
