// The L2TP/IPsec driver: its state mapping, the files it writes, and a whole connection through
// the helper's L2TP request against a stand-in for xl2tpd's control interface and a scripted
// IPsec daemon (this machine's kernel has no PPP to run the real ones).

#include "HelperService/CorvantisHelper/L2TPClientFiles.hpp"
#include "HelperService/CorvantisHelper/L2TPIPsecDriver.hpp"
#include "platform/foundation/PrivateJsonFile.hpp"
#include "support/HelperFixture.hpp"
#include "support/ScriptedL2TPIpsec.hpp"
#include "support/VirtualTime.hpp"
#include "support/Xl2tpdStandIn.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <sys/stat.h>

using corvantis::helper::KernelL2TPSupport;
using corvantis::helper::L2TPClientFiles;
using corvantis::helper::L2TPIPsecDriver;
using corvantis::helper::L2TPLinkState;
using corvantis::testing::HelperFixture;
using corvantis::testing::ScriptedL2TPIpsec;
using corvantis::testing::VirtualTime;
using corvantis::testing::Xl2tpdStandIn;
using platform::network::ConnectionStatus;
using namespace std::chrono_literals;

namespace {

TEST(L2TPLinkState, MapsTheLayersToTheServiceStatus) {
    using S = L2TPLinkState;
    struct Row {
        S state;
        ConnectionStatus status;
    };
    const std::vector<Row> rows = {
        {{S::Ipsec::connecting, S::Tunnel::notRequested, S::Ppp::absent, false}, ConnectionStatus::connecting},
        {{S::Ipsec::up, S::Tunnel::requested, S::Ppp::absent, false}, ConnectionStatus::connecting},
        {{S::Ipsec::up, S::Tunnel::tunnelUp, S::Ppp::absent, false}, ConnectionStatus::connecting},
        {{S::Ipsec::up, S::Tunnel::sessionUp, S::Ppp::upWithoutAddress, false}, ConnectionStatus::connecting},
        {{S::Ipsec::up, S::Tunnel::sessionUp, S::Ppp::up, false}, ConnectionStatus::connected},
        {{S::Ipsec::up, S::Tunnel::sessionUp, S::Ppp::up, true}, ConnectionStatus::connected},
        // An IPsec attempt that failed, or an L2TP dial that did.
        {{S::Ipsec::down, S::Tunnel::notRequested, S::Ppp::absent, false}, ConnectionStatus::disconnected},
        {{S::Ipsec::up, S::Tunnel::failed, S::Ppp::absent, false}, ConnectionStatus::disconnected},
        // A link that was up and lost a layer has dropped, it is not connecting again.
        {{S::Ipsec::up, S::Tunnel::requested, S::Ppp::absent, true}, ConnectionStatus::disconnected},
        {{S::Ipsec::down, S::Tunnel::sessionUp, S::Ppp::up, true}, ConnectionStatus::disconnected},
    };
    for (size_t row = 0; row < rows.size(); ++row) {
        EXPECT_EQ(connectionStatusFor(rows[row].state), rows[row].status) << "row " << row;
    }
}

TEST(L2TPClientFiles, QuoteTheCredentialsAndRefuseWhatCouldAddLines) {
    const auto options = L2TPClientFiles::pppOptions("al\"ice", "pa\\ss word", "corvantis-l2tp");
    ASSERT_TRUE(options) << options.error().message;
    EXPECT_NE(options.value().find("\nuser \"al\\\"ice\"\n"), std::string::npos) << options.value();
    EXPECT_NE(options.value().find("\npassword \"pa\\\\ss word\"\n"), std::string::npos) << options.value();
    EXPECT_FALSE(L2TPClientFiles::pppOptions("alice\nplugin evil.so", "pw", "corvantis-l2tp"));
    EXPECT_FALSE(L2TPClientFiles::pppOptions("alice", "pw\r", "corvantis-l2tp"));

    const auto configuration = L2TPClientFiles::xl2tpdConfiguration("vpn.example.com", "/run/x/options.pppd");
    ASSERT_TRUE(configuration);
    EXPECT_NE(configuration.value().find("lns = vpn.example.com\npppoptfile = /run/x/options.pppd\n"), std::string::npos);
    for (const std::string bad : {"", "vpn.example.com\n[lac evil]", "a b", "-x"}) {
        EXPECT_FALSE(L2TPClientFiles::xl2tpdConfiguration(bad, "/run/x/o")) << bad;
    }
}

mode_t modeOf(const std::filesystem::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

// The helper with the real driver, xl2tpd played by the stand-in once the driver starts it.
struct DriverFixture : HelperFixture {
    std::shared_ptr<ScriptedL2TPIpsec> ipsec = std::make_shared<ScriptedL2TPIpsec>();
    std::filesystem::path pppRun = folder / "ppp-run";
    std::shared_ptr<L2TPIPsecDriver> driver;
    std::unique_ptr<Xl2tpdStandIn> xl2tpd;
    std::unique_ptr<VirtualTime> time;

    DriverFixture() {
        std::filesystem::create_directories(pppRun);
        launcher->hold("xl2tpd");
        driver = std::make_shared<L2TPIPsecDriver>(L2TPIPsecDriver::Platform{configuration.runtimeFolder, "/usr/sbin/xl2tpd",
                                                                             pppRun, configuration.systemKeychain,
                                                                             [] {
                                                                                 return KernelL2TPSupport{true, true};
                                                                             },
                                                                             launcher, ipsec, log});
        l2tpDriver = driver;
        rebuild();
        platform::Services services;
        services.processLauncherOverride = launcher;
        time = std::make_unique<VirtualTime>(services);
    }
    ~DriverFixture() {
        helper.reset();
        driver.reset();
    }

    // The stand-in takes the control FIFO that the last xl2tpd started was given.
    void playXl2tpd() {
        const auto held = launcher->held();
        ASSERT_FALSE(held.empty()) << "xl2tpd was not started: " << log->lines().back();
        const auto& arguments = held.back()->request().arguments;
        const auto control = std::find(arguments.begin(), arguments.end(), "-C");
        ASSERT_TRUE(control != arguments.end() && control + 1 != arguments.end());
        xl2tpd.reset();
        xl2tpd = std::make_unique<Xl2tpdStandIn>(*(control + 1), pppRun / "ppp-corvantis-l2tp.pid");
    }

    std::shared_ptr<std::vector<int>> request() {
        auto codes = std::make_shared<std::vector<int>>();
        helper->connectToL2TPServerWithAddress("vpn.example.com", "alice", "s3cret-pass", "velmortan",
                                               [codes](int code) { codes->push_back(code); });
        return codes;
    }
    std::string onlyService() const {
        const auto stored = platform::foundation::PrivateJsonFile(configuration.networkPreferences).read().value();
        return stored.value()["applied"]["services"].begin().key();
    }
};

TEST(L2TPIPsecDriver, ConnectsOnceIpsecIsUpWithTheSecretsOnlyInRootOnlyFiles) {
    DriverFixture fixture;
    const auto codes = fixture.request();
    fixture.time->advance(3s);
    fixture.playXl2tpd();
    // IPsec still negotiating: L2TP is not dialled yet.
    fixture.time->advance(1s);
    EXPECT_TRUE(codes->empty());
    EXPECT_TRUE(fixture.xl2tpd->commands().empty());

    fixture.ipsec->set(L2TPLinkState::Ipsec::up);
    fixture.time->advance(250ms);
    EXPECT_EQ(*codes, (std::vector<int>{-1, 0})) << ::testing::PrintToString(fixture.log->lines());
    ASSERT_FALSE(fixture.xl2tpd->commands().empty());
    EXPECT_EQ(fixture.xl2tpd->commands().front(), "c corvantis");

    // The shared secret went to the IPsec daemon, the password only into pppd's options file.
    ASSERT_EQ(fixture.ipsec->broughtUp().size(), 1u);
    EXPECT_EQ(fixture.ipsec->broughtUp()[0].server, "vpn.example.com");
    EXPECT_EQ(fixture.ipsec->broughtUp()[0].sharedSecret, "velmortan");
    const auto launches = fixture.launcher->launches();
    ASSERT_EQ(launches.size(), 1u);
    for (const std::string secret : {"s3cret-pass", "velmortan"}) {
        EXPECT_EQ(launches[0].find(secret), std::string::npos) << launches[0];
        EXPECT_FALSE(fixture.log->mentions(secret));
    }
    std::filesystem::path options;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(fixture.configuration.runtimeFolder)) {
        if (entry.path().filename() == "options.pppd") options = entry.path();
    }
    ASSERT_FALSE(options.empty());
    EXPECT_EQ(modeOf(options), 0600u);
    EXPECT_EQ(modeOf(options.parent_path()), 0700u);
    EXPECT_NE(fixture.read(options).find("password \"s3cret-pass\""), std::string::npos);

    // Disconnecting hangs up, ends xl2tpd and the SA, and removes the files.
    fixture.helper->disconnect();
    EXPECT_EQ(fixture.xl2tpd->commands().back(), "d corvantis");
    ASSERT_EQ(fixture.launcher->signals().size(), 1u);
    EXPECT_EQ(fixture.launcher->signals()[0].second, SIGTERM);
    EXPECT_EQ(fixture.ipsec->broughtDown().size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(options.parent_path()));
}

TEST(L2TPIPsecDriver, ALinkThatDropsOrAnXl2tpdThatEndsReadsAsDisconnected) {
    DriverFixture fixture;
    fixture.ipsec->set(L2TPLinkState::Ipsec::up);
    const auto codes = fixture.request();
    fixture.time->advance(3s);
    // Polled before xl2tpd listens: still connecting.
    EXPECT_TRUE(codes->empty());
    fixture.playXl2tpd();
    fixture.time->advance(250ms);
    ASSERT_EQ(*codes, (std::vector<int>{-1, 0}));
    const auto service = fixture.onlyService();
    EXPECT_EQ(fixture.driver->status(service), ConnectionStatus::connected);
    fixture.xl2tpd->dropSession();
    EXPECT_EQ(fixture.driver->status(service), ConnectionStatus::disconnected);

    // Started again, then xl2tpd dies before dialling.
    EXPECT_TRUE(fixture.helper->connect());
    fixture.ipsec->set(L2TPLinkState::Ipsec::connecting);
    EXPECT_EQ(fixture.driver->status(service), ConnectionStatus::connecting);
    fixture.launcher->held().back()->exit(1);
    EXPECT_EQ(fixture.driver->status(service), ConnectionStatus::disconnected);
    EXPECT_TRUE(fixture.log->mentions("xl2tpd ended (status 1"));
}

TEST(L2TPIPsecDriver, OnAKernelWithoutPppTheStartFailsSayingSo) {
    if (KernelL2TPSupport::probe().ppp) GTEST_SKIP() << "this kernel has PPP";
    HelperFixture fixture;
    fixture.l2tpDriver = std::make_shared<L2TPIPsecDriver>(L2TPIPsecDriver::Platform{
        fixture.configuration.runtimeFolder, "/usr/sbin/xl2tpd", fixture.folder / "ppp-run", fixture.configuration.systemKeychain,
        [] { return KernelL2TPSupport::probe(); }, fixture.launcher, std::make_shared<ScriptedL2TPIpsec>(), fixture.log});
    fixture.rebuild();
    platform::Services services;
    services.processLauncherOverride = fixture.launcher;
    VirtualTime time(services);
    auto codes = std::make_shared<std::vector<int>>();
    fixture.helper->connectToL2TPServerWithAddress("vpn.example.com", "alice", "pw", "velmortan",
                                                   [codes](int code) { codes->push_back(code); });
    time.advance(3s);
    EXPECT_EQ(*codes, (std::vector<int>{104, 0}));
    EXPECT_TRUE(fixture.log->mentions("Connection error: This kernel has no PPP (/dev/ppp is missing)"));
    EXPECT_TRUE(fixture.launcher->launches().empty());
    fixture.helper.reset();
}

}  // namespace
