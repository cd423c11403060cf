// The L2TP half with the real programs: the driver's own xl2tpd dials a real xl2tpd LNS in a
// network namespace of the test's, joined by a veth pair inside scripts/sandbox (IPsec
// is played by a script here; its half is proven against the strongSwan responder). The PPP link
// needs /dev/ppp: where the kernel has no PPP, that test skips and says so.

#include "HelperService/CorvantisHelper/L2TPIPsecDriver.hpp"
#include "HelperService/CorvantisHelper/Xl2tpdControl.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "support/Patience.hpp"
#include "support/RecordingHelperLog.hpp"
#include "support/ScriptedL2TPIpsec.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <csignal>
#include <thread>

using corvantis::helper::KernelL2TPSupport;
using corvantis::helper::L2TPIPsecDriver;
using corvantis::helper::L2TPLinkState;
using corvantis::helper::Xl2tpdControl;
using platform::foundation::PosixProcessLauncher;
using platform::network::ConnectionStatus;
using namespace std::chrono_literals;

namespace {

constexpr const char* lnsAddress = "192.0.2.1";

// Counts the tests that set up a link, so that each names its link and namespace its own way: the
// kernel may still be taking the previous test's down.
int linksMade = 0;

class L2TPTunnel : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0 || std::getenv("CORVANTIS_SANDBOX_HOST_NETWORK") == nullptr) {
            GTEST_SKIP() << "needs root inside scripts/sandbox";
        }
        if (::access("/usr/sbin/xl2tpd", X_OK) != 0) GTEST_SKIP() << "xl2tpd is not installed";
        if (needsPpp() && !KernelL2TPSupport::probe().ppp) {
            GTEST_SKIP() << "this kernel has no PPP (/dev/ppp is missing): no PPP link can come up";
        }
        const auto suffix = std::to_string(++linksMade);
        lnsNamespace = "corvantis-lns" + suffix;
        clientLink = "l2tp-c" + suffix;
        const auto serverLink = "l2tp-s" + suffix;
        for (const auto& command : std::vector<std::vector<std::string>>{
                 {"ip", "netns", "add", lnsNamespace},
                 {"ip", "link", "add", clientLink, "type", "veth", "peer", "name", serverLink},
                 {"ip", "link", "set", serverLink, "netns", lnsNamespace},
                 {"ip", "addr", "add", "192.0.2.2/24", "dev", clientLink},
                 {"ip", "link", "set", clientLink, "up"},
                 {"ip", "-n", lnsNamespace, "addr", "add", std::string(lnsAddress) + "/24", "dev", serverLink},
                 {"ip", "-n", lnsNamespace, "link", "set", serverLink, "up"}}) {
            ASSERT_TRUE(run(command)) << command[0] << " " << command[1] << " " << command[2];
        }
        const auto lns = folder / "lns";
        std::filesystem::create_directories(lns);
        write(lns / "xl2tpd.conf", "[global]\nlisten-addr = " + std::string(lnsAddress) +
                                       "\n[lns default]\nip range = 10.88.0.10-10.88.0.20\nlocal ip = 10.88.0.1\n"
                                       "require authentication = no\npppoptfile = " +
                                       (lns / "options").string() + "\nlength bit = yes\n");
        write(lns / "options", "noauth\n");
        auto started = launcher->launch(
            {"/usr/bin/env",
             {"ip", "netns", "exec", lnsNamespace, "/usr/sbin/xl2tpd", "-D", "-c", (lns / "xl2tpd.conf").string(), "-C",
              (lns / "control").string(), "-p", (lns / "xl2tpd.pid").string()},
             {},
             nullptr},
            {[](platform::foundation::OutputStream, std::string_view) {}, [](platform::foundation::ProcessExit) {}});
        ASSERT_TRUE(started) << started.error().message;
        lnsPid = started.value();

        driver = std::make_unique<L2TPIPsecDriver>(
            L2TPIPsecDriver::Platform{folder / "run", "/usr/sbin/xl2tpd", "/var/run", folder / "keychain" / "System.keychain",
                                      // Past the kernel check, to see how far the real programs get.
                                      [] {
                                          return KernelL2TPSupport{true, true};
                                      },
                                      launcher, ipsec, log});
        ipsec->set(L2TPLinkState::Ipsec::up);
    }

    void TearDown() override {
        driver.reset();
        if (lnsPid > 0) (void)launcher->signalProcessGroup(lnsPid, SIGTERM);
        // The link goes at once, even while the server's xl2tpd still holds its namespace.
        if (!clientLink.empty()) (void)run({"ip", "link", "del", clientLink});
        if (!lnsNamespace.empty()) (void)run({"ip", "netns", "del", lnsNamespace});
    }

    virtual bool needsPpp() const { return false; }

    bool run(const std::vector<std::string>& command) const {
        auto done = platform::foundation::runToEnd(*launcher, {"/usr/bin/env", command, {}, nullptr});
        return done && done.value().exit.succeeded();
    }
    void write(const std::filesystem::path& path, const std::string& content) const {
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(path, content, 0644));
    }

    ConnectionStatus start() {
        const nlohmann::json options = {
            {"PPP", {{"CommRemoteAddress", lnsAddress}, {"AuthName", "alice"}, {"AuthPassword", "pw"}}}};
        const nlohmann::json service = {{"extendedConfiguration", {{"IPSec", {{"SharedSecret", "velmortan"}}}}}};
        const auto started = driver->start("S1", service, options);
        EXPECT_TRUE(started) << started.error().message;
        return driver->status("S1");
    }
    // Reads the status until `done` holds for it (bounded); the last status read.
    template <typename Done>
    ConnectionStatus waitFor(Done done) {
        auto status = driver->status("S1");
        corvantis::testing::eventually([&] { return done(status = driver->status("S1")); });
        return status;
    }
    // xl2tpd's control FIFO in the connection's private folder.
    std::filesystem::path controlFifo() const {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(folder / "run")) {
            if (entry.path().filename() == "l2tp-control") return entry.path();
        }
        return {};
    }

    corvantis::testing::TemporaryFolder folder;
    std::shared_ptr<platform::foundation::ProcessLauncher> launcher = PosixProcessLauncher::shared();
    std::shared_ptr<corvantis::testing::RecordingHelperLog> log = std::make_shared<corvantis::testing::RecordingHelperLog>();
    std::shared_ptr<corvantis::testing::ScriptedL2TPIpsec> ipsec = std::make_shared<corvantis::testing::ScriptedL2TPIpsec>();
    std::unique_ptr<L2TPIPsecDriver> driver;
    pid_t lnsPid = 0;
    std::string lnsNamespace;
    std::string clientLink;
};

class L2TPPppLink : public L2TPTunnel {
protected:
    bool needsPpp() const override { return true; }
};

TEST_F(L2TPTunnel, OurXl2tpdDialsTheServersTunnelAndHangsUp) {
    start();
    // The status reads dial once xl2tpd listens; its own count then shows the server's tunnel.
    int tunnels = 0;
    corvantis::testing::eventually([&] {
        (void)driver->status("S1");
        const auto fifo = controlFifo();
        const auto counts =
            fifo.empty() ? platform::foundation::Expected<Xl2tpdControl::Counts>(platform::foundation::Error{ENOENT, "not yet"})
                         : Xl2tpdControl(fifo, folder.path()).available();
        tunnels = counts ? counts.value().tunnels : 0;
        return tunnels != 0;
    });
    EXPECT_EQ(tunnels, 1) << ::testing::PrintToString(log->lines());
    ASSERT_TRUE(driver->stop("S1"));
    EXPECT_EQ(driver->status("S1"), ConnectionStatus::disconnected);
}

TEST_F(L2TPPppLink, ComesUpWithAnAddress) {
    start();
    const auto status = waitFor([](ConnectionStatus status) { return status != ConnectionStatus::connecting; });
    EXPECT_EQ(status, ConnectionStatus::connected) << ::testing::PrintToString(log->lines());
    ASSERT_TRUE(driver->stop("S1"));
}

}  // namespace
