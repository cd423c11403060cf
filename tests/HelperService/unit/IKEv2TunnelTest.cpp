// The helper's IKEv2 side without a real charon: when it refuses, how it starts charon, what
// charon's configuration says, and how the kernel's ESP is found.

#include "HelperService/CorvantisHelper/CharonDaemon.hpp"
#include "HelperService/CorvantisHelper/IKEv2Tunnel.hpp"
#include "HelperService/CorvantisHelper/KernelEsp.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/FakeProcessLauncher.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace corvantis::helper;
using corvantis::testing::FakeProcessLauncher;
using corvantis::testing::RecordingHelperLog;
using corvantis::testing::TemporaryFolder;

namespace {

IKEv2TunnelSettings settings() {
    IKEv2TunnelSettings settings;
    settings.serverAddress = "vpn.example.com";
    settings.remoteIdentifier = "vpn.example.com";
    settings.username = "alice";
    settings.useExtendedAuthentication = true;
    return settings;
}

struct Fixture {
    TemporaryFolder folder;
    std::shared_ptr<FakeProcessLauncher> launcher = std::make_shared<FakeProcessLauncher>();
    std::shared_ptr<RecordingHelperLog> log = std::make_shared<RecordingHelperLog>();

    IKEv2Tunnel::Options options(const std::filesystem::path& charon) const {
        IKEv2Tunnel::Options options;
        options.charon.program = charon;
        options.charon.startLimit = std::chrono::milliseconds(300);
        ::mkdir((folder / "run").c_str(), 0700);
        options.runtimeFolder = folder / "run";
        return options;
    }
};

TEST(IKEv2Tunnel, WithoutStrongSwanOrWithSettingsItCannotCarryNothingStarts) {
    Fixture fixture;
    IKEv2Tunnel missing(fixture.options(fixture.folder / "no-charon"), fixture.launcher, fixture.log);
    EXPECT_FALSE(missing.installed());
    EXPECT_EQ(missing.connect(settings(), "hunter2-secret"), IKEv2TunnelResult::unavailable);

    IKEv2Tunnel present(fixture.options("/bin/true"), fixture.launcher, fixture.log);
    auto certificateLogin = settings();
    certificateLogin.authenticationMethod = platform::network::IKEv2AuthenticationMethod::certificate;
    // Refused before anything starts (checked only where the EAP plugin is installed).
    if (present.installed()) {
        EXPECT_EQ(present.connect(certificateLogin, "hunter2-secret"), IKEv2TunnelResult::refused);
    }

    EXPECT_TRUE(fixture.launcher->launches().empty());
    EXPECT_FALSE(fixture.log->mentions("hunter2"));
}

TEST(IKEv2Tunnel, CharonStartsFromItsOwnConfigurationAndAnEarlyEndIsAFailure) {
    Fixture fixture;
    fixture.launcher->script("env", {{}, {"charon: no plugins\n"}, 1});
    CharonDaemon::Options options;
    options.program = "/usr/sbin/charon-systemd";
    auto started = CharonDaemon::start(fixture.launcher, fixture.folder.path(), options, fixture.log);
    ASSERT_FALSE(started);
    EXPECT_NE(started.error().message.find("ended at once"), std::string::npos) << started.error().message;
    const auto launches = fixture.launcher->launches();
    ASSERT_EQ(launches.size(), 1u);
    // Nothing but where the configuration is: charon-systemd itself takes no arguments.
    EXPECT_TRUE(launches[0].starts_with("/usr/bin/env STRONGSWAN_CONF=" + fixture.folder.path().string() + "/ikev2-"));
    EXPECT_TRUE(launches[0].ends_with("/strongswan.conf /usr/sbin/charon-systemd")) << launches[0];
}

TEST(IKEv2Tunnel, CharonsConfigurationFollowsWhereEspRuns) {
    CharonDaemon::Options options;
    options.resolverFile = "/tmp/test-resolv.conf";
    options.userSpaceEsp = true;
    const auto userSpace = CharonDaemon::configuration("/run/corvantis/ikev2-x", options);
    options.userSpaceEsp = false;
    const auto kernel = CharonDaemon::configuration("/run/corvantis/ikev2-x", options);
    for (const auto* expected : {"kernel-libipsec {\n      load = yes", "fwmark = !0x4f56", "fwmark = 0x4f56"}) {
        EXPECT_NE(userSpace.find(expected), std::string::npos) << expected;
    }
    EXPECT_NE(kernel.find("kernel-libipsec {\n      load = no"), std::string::npos);
    EXPECT_EQ(kernel.find("fwmark"), std::string::npos);
    for (const auto& conf : {userSpace, kernel}) {
        EXPECT_NE(conf.find("socket = unix:///run/corvantis/ikev2-x/charon.vici"), std::string::npos);
        EXPECT_NE(conf.find("file = /tmp/test-resolv.conf"), std::string::npos);
        EXPECT_NE(conf.find("stroke {\n      load = no"), std::string::npos);
        EXPECT_EQ(conf.find(';'), std::string::npos) << "one key per line";
    }
}

TEST(IKEv2Tunnel, KernelEspIsFoundBuiltInLoadedOrInstalled) {
    TemporaryFolder folder;
    const auto write = [&](const std::string& name, const std::string& text) {
        std::filesystem::create_directories((folder / name).parent_path());
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(folder / name, text, 0644));
    };
    KernelEsp::Paths paths{folder / "xfrm_stat", folder / "modules", folder / "sys-esp4", folder / "lib-modules"};
    write("modules", "tun 1 0 - Live\n");
    EXPECT_FALSE(KernelEsp::available(paths)) << "no XFRM";
    write("xfrm_stat", "XfrmInError 0\n");
    EXPECT_FALSE(KernelEsp::available(paths)) << "XFRM without ESP, as on this machine kind";
    write("lib-modules/modules.builtin", "kernel/net/ipv4/esp4.ko\n");
    EXPECT_TRUE(KernelEsp::available(paths)) << "built in";
    std::filesystem::remove(folder / "lib-modules/modules.builtin");
    write("lib-modules/kernel/net/ipv4/esp4.ko.xz", "");
    EXPECT_TRUE(KernelEsp::available(paths)) << "loadable";
    std::filesystem::remove_all(folder / "lib-modules");
    write("modules", "tun 1 0 - Live\nesp4 20480 0 - Live\n");
    EXPECT_TRUE(KernelEsp::available(paths)) << "loaded";
}

}  // namespace
