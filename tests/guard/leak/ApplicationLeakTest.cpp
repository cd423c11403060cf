// The kill switch and the Shield as a subscriber gets them: the bundle installed by
// scripts/install, the real helper and guard from that installation, the OpenVPN testbed with its
// internet behind it, a router that is also the resolver the resolver configuration names, and
// the application run as an ordinary user and driven as a person drives it: sign in, switch the
// kill switch and the Shield on in the settings screen, click connect. Then every packet the
// client sends over its physical link is counted where the link arrives while probes of every
// kind try to get out, through a dead server, a default and a host route that another program
// puts in, a helper killed outright, a guard killed and restarted and a disconnect; names still
// resolve through the router. Switching the kill switch off lets traffic flow again.

#include "HelperService/CorvantisHelperInterface/HelperCall.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/InputPipe.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "support/HelperCalls.hpp"
#include "support/LinkLeakProbe.hpp"
#include "support/LoopbackRelay.hpp"
#include "support/Patience.hpp"
#include "support/PrivateSystem.hpp"
#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/backend/TestBackend.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <functional>
#include <optional>
#include <poll.h>
#include <regex>
#include <sched.h>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

using corvantis::testbed::HelperDaemon;
using corvantis::testbed::OpenVpnTestbed;
using corvantis::testing::LinkLeakProbe;
using corvantis::testing::PrivateSystem;
using namespace std::chrono_literals;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

constexpr const char* serverNamespace = "corvantis-vpn-server";
constexpr const char* clientNamespace = "corvantis-vpn-client";
// The router of the client's LAN: its gateway and its resolver, beside the VPN server.
constexpr const char* router = "198.51.100.254";
constexpr const char* echoAddress = "192.0.2.1";
// Beyond the LAN, in the testbed's internet: where a local stub resolver sends its queries.
constexpr const char* stubUpstream = "192.0.2.53";
// Where systemd-resolved lists a stub's upstreams; in the sandbox's own /run.
constexpr const char* stubUpstreamList = "/run/systemd/resolve/resolv.conf";
constexpr uid_t ordinaryUser = 65534;  // nobody
constexpr const char* guardUnit = "com.corvantis.CorvantisGuard.service";
constexpr const char* email = "demo@corvantis.test";
constexpr const char* password = "demo-password";

platform::foundation::FinishedProcess ip(std::vector<std::string> arguments) {
    return corvantis::testing::runProgram({"/sbin/ip", std::move(arguments), {}});
}

bool enterNamespace(const char* name) {
    const int space = ::open((std::string("/run/netns/") + name).c_str(), O_RDONLY | O_CLOEXEC);
    const bool entered = space >= 0 && ::setns(space, CLONE_NEWNET) == 0;
    if (space >= 0) ::close(space);
    return entered;
}

// Where scripts/install has the helper write its configuration.
const std::string installedConfiguration = "/etc/corvantis/com.corvantis.CorvantisHelper.conf";

// scripts/install, as root, into `prefix`; its helper configuration goes to /etc, so the caller
// makes that private first.
platform::foundation::FinishedProcess install(const std::filesystem::path& prefix) {
    return corvantis::testing::runProgram(
        {"/usr/bin/env",
         {"BUILD_DIR=" CORVANTIS_BUILD_DIR, "SUDO_UID=", CORVANTIS_SOURCE_DIR "/scripts/install", "--prefix", prefix.string()},
         {}});
}

// A query for "example.com", type A.
const std::string dnsQuery(
    "\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00\x07"
    "example\x03"
    "com\x00\x00\x01\x00\x01",
    29);

// A name server on port 53 of `address` in one of the testbed's namespaces, answering each query
// with what `answer` makes of it (nothing: no answer). Bound to a device, it hears only what
// arrives through it.
class NameServer {
public:
    using Answer = std::function<std::optional<std::string>(const std::string& query)>;

    NameServer(const char* space, std::string address, std::string device, Answer answer) {
        thread_ = std::thread([this, space, address = std::move(address), device = std::move(device), answer = std::move(answer)] {
            if (!enterNamespace(space)) return;
            socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (!device.empty() &&
                ::setsockopt(socket_, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(), static_cast<socklen_t>(device.size())) != 0) {
                return;
            }
            sockaddr_in bound{};
            bound.sin_family = AF_INET;
            bound.sin_port = htons(53);
            ::inet_pton(AF_INET, address.c_str(), &bound.sin_addr);
            if (::bind(socket_, reinterpret_cast<sockaddr*>(&bound), sizeof bound) != 0) return;
            listening_ = true;
            char query[512];
            while (!stopping_) {
                pollfd ready{socket_, POLLIN, 0};
                if (::poll(&ready, 1, 100) <= 0) continue;
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const auto size = ::recvfrom(socket_, query, sizeof query, 0, reinterpret_cast<sockaddr*>(&from), &length);
                if (size < 12) continue;
                if (const auto reply = answer(std::string(query, static_cast<std::size_t>(size)))) {
                    ::sendto(socket_, reply->data(), reply->size(), 0, reinterpret_cast<sockaddr*>(&from), length);
                }
            }
        });
        corvantis::testing::eventually([&] { return listening_.load(); });
    }
    ~NameServer() {
        stopping_ = true;
        thread_.join();
        if (socket_ >= 0) ::close(socket_);
    }
    bool listening() const { return listening_; }

private:
    std::atomic<bool> listening_{false};
    std::atomic<bool> stopping_{false};
    int socket_ = -1;
    std::thread thread_;
};

// A resolver: answers every query for an A record with the echo service's address.
class Resolver : public NameServer {
public:
    Resolver(const char* space, std::string address, std::string device = {})
        : NameServer(space, std::move(address), std::move(device), [](const std::string& query) {
              std::string answer = query;
              answer[2] = static_cast<char>(0x81);  // a response, recursion desired
              answer[3] = static_cast<char>(0x80);  // recursion available, no error
              answer[7] = 1;                        // one answer
              in_addr echo{};
              ::inet_pton(AF_INET, echoAddress, &echo);
              answer += std::string("\xc0\x0c\x00\x01\x00\x01\x00\x00\x00\x3c\x00\x04", 12);
              answer.append(reinterpret_cast<const char*>(&echo), 4);
              return std::optional<std::string>(answer);
          }) {}
};

// A local stub resolver on 127.0.0.53 in the client's network: passes each query on to its
// upstream and the answer back, as systemd-resolved's stub does.
class StubResolver : public NameServer {
public:
    StubResolver(const char* space, const std::string& upstream)
        : NameServer(space, "127.0.0.53", {}, [upstream](const std::string& query) -> std::optional<std::string> {
              sockaddr_in server{};
              server.sin_family = AF_INET;
              server.sin_port = htons(53);
              ::inet_pton(AF_INET, upstream.c_str(), &server.sin_addr);
              const int forward = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
              ::sendto(forward, query.data(), query.size(), 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
              std::optional<std::string> answer;
              pollfd answered{forward, POLLIN, 0};
              char buffer[512];
              if (::poll(&answered, 1, 1000) > 0) {
                  if (const auto size = ::recv(forward, buffer, sizeof buffer, 0); size > 0) {
                      answer.emplace(buffer, static_cast<std::size_t>(size));
                  }
              }
              ::close(forward);
              return answer;
          }) {}
};

// Whether a name resolves through the name server of the resolver configuration, from the
// calling thread's network.
bool nameResolvesThrough(const std::string& nameServer) {
    const int socket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    ::inet_pton(AF_INET, nameServer.c_str(), &address.sin_addr);
    bool resolved = false;
    for (int attempt = 0; attempt < 3 && !resolved; ++attempt) {
        ::sendto(socket, dnsQuery.data(), dnsQuery.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof address);
        pollfd ready{socket, POLLIN, 0};
        char answer[512];
        resolved = ::poll(&ready, 1, 1000) > 0 && ::recv(socket, answer, sizeof answer, 0) > 12 && (answer[7] == 1);
    }
    ::close(socket);
    return resolved;
}

// The application driver as the ordinary user, what it says gathered line by line.
class Application {
public:
    Application(const std::filesystem::path& program, const std::vector<std::string>& environment) {
        auto input = platform::foundation::InputPipe::make();
        if (!input) return;
        input_ = input.value();
        std::vector<std::string> arguments{"--reuid=" + std::to_string(ordinaryUser), "--regid=" + std::to_string(ordinaryUser),
                                           "--clear-groups", "/usr/bin/env"};
        arguments.insert(arguments.end(), environment.begin(), environment.end());
        arguments.push_back(program.string());
        auto launched = platform::foundation::PosixProcessLauncher::shared()->launch(
            {"/usr/bin/setpriv", arguments, {}, input_},
            {[this](platform::foundation::OutputStream stream, std::string_view chunk) {
                 std::lock_guard lock(mutex_);
                 (stream == platform::foundation::OutputStream::standardOutput ? said_ : log_) += chunk;
                 changed_.notify_all();
             },
             [this](platform::foundation::ProcessExit) {
                 std::lock_guard lock(mutex_);
                 ended_ = true;
                 changed_.notify_all();
             }});
        if (launched) pid_ = launched.value();
    }
    ~Application() {
        if (input_) input_->closeWriter();
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, corvantis::testing::patience(60s), [&] { return ended_; }) && pid_ > 0) {
            (void)platform::foundation::PosixProcessLauncher::shared()->signalProcessGroup(pid_, SIGKILL);
            changed_.wait_for(lock, corvantis::testing::patience(60s), [&] { return ended_; });
        }
    }

    void act(const std::string& line) { (void)input_->write(line + "\n"); }
    // Waits (bounded) until the application has said `line` since the last time it was awaited.
    bool says(const std::string& line, std::chrono::seconds within = 30s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, corvantis::testing::patience(within), [&] {
            const auto at = said_.find(line + "\n", heard_);
            if (at == std::string::npos) return false;
            heard_ = at + line.size() + 1;
            return true;
        });
    }
    std::string output() const {
        std::lock_guard lock(mutex_);
        return said_ + log_;
    }
    // Waits (bounded) until the application has ended by itself.
    bool ends(std::chrono::seconds within = 30s) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, within, [&] { return ended_; });
    }

private:
    std::shared_ptr<platform::foundation::InputPipe> input_;
    pid_t pid_ = -1;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string said_;
    std::string log_;
    std::size_t heard_ = 0;
    bool ended_ = false;
};

class ApplicationLeakTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::signal(SIGPIPE, SIG_IGN);
        if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "makes network namespaces: runs only through scripts/sandbox";
        if (auto reason = OpenVpnTestbed::unavailableBecause()) GTEST_SKIP() << *reason;
        if (::access("/usr/sbin/nft", X_OK) != 0) GTEST_SKIP() << "nft is not installed (scripts/setup installs it)";
        // scripts/install writes the helper's configuration under /etc: into a private copy.
        system.emplace(PrivateSystem::Scope::configuration, folder / "system");
        ASSERT_TRUE(system->ready()) << "/etc could not be made private";
        // The ordinary user reaches the installation and its own folders; root owns the rest.
        ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
        installBundle();
        bringUpNetwork();
        writeHelperFiles();
        startHelper();
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove(stubUpstreamList, ignored);
        application.reset();
        relay.reset();
        backend.reset();
        helper.reset();
        if (const auto guard = guardPid(); guard > 0) ::kill(guard, SIGTERM);
        if (testbed) {
            corvantis::testing::runProgram({CORVANTIS_INTERNET_TESTBED_SCRIPT, {"down", folder.path().string()}, {}});
        }
        resolver.reset();
        tunnelResolver.reset();
        testbed.reset();
    }

    // scripts/install into the folder, then the driver beside the installed program, so that
    // its bundle is that installation's.
    void installBundle() {
        const auto installed = install(prefix());
        ASSERT_EQ(installed.exit.exitStatus, 0) << installed.standardOutput << installed.standardError;
        const auto copied = corvantis::testing::runProgram(
            {"/usr/bin/install", {"-m", "0755", CORVANTIS_DRIVER_PROGRAM, (bundle() / "corvantis-vpn-driver").string()}, {}});
        ASSERT_EQ(copied.exit.exitStatus, 0) << copied.standardError;
    }

    void bringUpNetwork() {
        OpenVpnTestbed::Options options;
        options.user = email;
        auto made = OpenVpnTestbed::up(folder / "testbed", options);
        ASSERT_TRUE(made) << made.error().message;
        testbed = std::move(made.value());
        const auto internet = corvantis::testing::runProgram(
            {CORVANTIS_INTERNET_TESTBED_SCRIPT, {"up", folder.path().string(), CORVANTIS_TESTBED_PROGRAM}, {}});
        ASSERT_EQ(internet.exit.exitStatus, 0) << internet.standardError;
        // The LAN's router beside the VPN server, the client's default route through it, and
        // IPv6 on the link with a default route of its own.
        for (const auto& command : std::vector<std::vector<std::string>>{
                 {"-n", serverNamespace, "addr", "add", std::string(router) + "/24", "dev", "corv-srv"},
                 {"-n", clientNamespace, "route", "replace", "default", "via", router},
                 {"-n", serverNamespace, "addr", "add", "2001:db8:64::1/64", "dev", "corv-srv", "nodad"},
                 {"-n", clientNamespace, "addr", "add", "2001:db8:64::2/64", "dev", "corv-cli", "nodad"},
                 {"-n", clientNamespace, "-6", "route", "add", "default", "via", "2001:db8:64::1"}}) {
            ASSERT_EQ(ip(command).exit.exitStatus, 0) << command[3] << " " << command[4];
        }
        resolver = std::make_unique<Resolver>(serverNamespace, router);
        ASSERT_TRUE(resolver->listening());
        tunnelResolver = std::make_unique<Resolver>(serverNamespace, OpenVpnTestbed::tunnelNameServer, "tun0");
        ASSERT_TRUE(tunnelResolver->listening());
        std::string problem;
        ASSERT_TRUE(probe.install(problem)) << problem;
        // The lease the client's DHCP client would hold, as systemd-networkd keeps it.
        const auto link = ip({"-n", clientNamespace, "-o", "link", "show", "corv-cli"}).standardOutput;
        const auto leases = std::filesystem::path("/run/systemd/netif/leases");
        ASSERT_TRUE(FileSystem::createDirectories(leases));
        ASSERT_TRUE(FileSystem::writeFileAtomically(leases / link.substr(0, link.find(':')),
                                                    std::string("SERVER_ADDRESS=") + router + "\n", 0644));
    }

    void writeHelperFiles() {
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "resolv.conf", std::string("nameserver ") + router + "\n", 0644));
        // systemd's part for the guard's unit, keeping its state in the folder.
        const auto copied = corvantis::testing::runProgram(
            {"/usr/bin/install", {"-m", "0755", CORVANTIS_GUARD_SYSTEMCTL, (folder / "systemctl").string()}, {}});
        ASSERT_EQ(copied.exit.exitStatus, 0) << copied.standardError;
        // Where start-up finds the installed helper: this installation's own.
        ASSERT_TRUE(FileSystem::createDirectories(folder / "helper-units"));
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper-units" / "com.corvantis.CorvantisHelper.service",
                                                    "[Service]\nExecStart=" + helperProgram().string() + "\n", 0644));
        // Beside the unit, the configuration scripts/install wrote, serving the ordinary user too
        // (as the application would have added it).
        const auto installed = FileSystem::readFile(installedConfiguration);
        ASSERT_TRUE(installed) << installed.error().message;
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "helper-units" / "com.corvantis.CorvantisHelper.conf",
                                                    installed.value() + "allow-uid = " + std::to_string(ordinaryUser) + "\n",
                                                    0644));
        for (const char* owned : {"home", "tmp"}) {
            ASSERT_TRUE(FileSystem::createDirectories(folder / owned));
            ASSERT_EQ(::chown((folder / owned).c_str(), ordinaryUser, ordinaryUser), 0);
            ASSERT_EQ(::chmod((folder / owned).c_str(), 0700), 0);
        }
    }

    // The installed helper with the installation's configuration, in the client's network; what
    // only a test needs (its own socket, systemctl and folders) comes as options.
    void startHelper() {
        const auto path = [&](const char* name) { return (folder / name).string(); };
        ::unlink(socket().c_str());
        auto options = HelperDaemon::privateFilesIn(folder.path());
        options.insert(options.end(), {"--config", installedConfiguration, "--allow-uid=" + std::to_string(ordinaryUser),
                                       "--systemctl=" + path("systemctl"), "--guard-script=" + path("guard/corvantis_guard.sh")});
        helper = std::make_unique<HelperDaemon>(helperProgram(), socket(), options, testbed->inClientNamespace());
        ::chmod(socket().c_str(), 0666);  // the helper itself decides whom it serves
    }

    // The backend, serving one server, the testbed's, and its OpenVPN profile, and the public
    // address services; from here on this thread, and what it starts, lives in the client's network.
    void serveTheBackend() {
        auto configuration = corvantis::testbed::BackendConfiguration::demo();
        const auto profile = FileSystem::readFile(testbed->profileTemplate());
        ASSERT_TRUE(profile);
        configuration.tcpConfig = configuration.udpConfig = profile.value();
        auto& account = configuration.accounts.front();
        account.vpnPassword = testbed->options().password;
        account.servers = {{"NL", "Testbed", OpenVpnTestbed::serverAddress, OpenVpnTestbed::serverAddress}};
        ASSERT_TRUE(enterNamespace(clientNamespace));
        backend = std::make_unique<corvantis::testbed::TestBackend>(configuration);
        ASSERT_TRUE(backend->start());
        relay = std::make_unique<corvantis::testing::LoopbackRelay>(echoAddress, 80);
    }

    // The application started and signed in, on the connect screen.
    void signIn() {
        startApplication(backend->url(), relay->port());
        ASSERT_TRUE(application->says("state disconnected", 60s)) << diagnosis();
        application->act(std::string("sign-in ") + email + " " + password);
        ASSERT_TRUE(application->says("connect screen", 60s)) << diagnosis();
    }

    void startApplication(const std::string& backend, int relayPort) {
        const auto relay = "http://127.0.0.1:" + std::to_string(relayPort) + "/";
        const auto path = [&](const char* name) { return (folder / name).string(); };
        application = std::make_unique<Application>(
            bundle() / "corvantis-vpn-driver",
            std::vector<std::string>{
                "HOME=" + path("home"), "XDG_CONFIG_HOME=" + path("home") + "/.config", "TMPDIR=" + path("tmp"),
                "CORVANTIS_API_URL=" + backend, "CORVANTIS_HELPER_SOCKET=" + socket().string(),
                "CORVANTIS_SYSTEMD_UNIT_DIR=" + path("helper-units"), "CORVANTIS_IPIFY_URL=" + relay + "ipify?format=json",
                "CORVANTIS_IPAPI_URL=" + relay + "ipwho.is/", "CORVANTIS_CRASH_DSN="});
    }

    // The application started, signed in as a person does and both boxes ticked in the settings,
    // which the application stores. Disconnected with the Shield in force, the default route goes
    // and the guard holds.
    void signInWithBothBoxesOn() {
        ASSERT_NO_FATAL_FAILURE(signIn());
        application->act("kill-switch");
        ASSERT_TRUE(application->says("kill-switch on")) << diagnosis();
        application->act("shield");
        ASSERT_TRUE(application->says("shield on")) << diagnosis();
        ASSERT_TRUE(guardTableHas("policy drop;")) << diagnosis();
    }

    std::filesystem::path prefix() const { return folder / "prefix"; }
    std::filesystem::path bundle() const { return prefix() / "lib" / "corvantis-vpn"; }
    std::filesystem::path helperProgram() const {
        return bundle() / "Contents" / "Library" / "LaunchServices" / "com.corvantis.CorvantisHelper";
    }
    std::filesystem::path socket() const { return folder / "helper.sock"; }

    pid_t guardPid() const {
        const auto text = FileSystem::readFile(folder / "guard.pid");
        return text ? std::atoi(text.value().c_str()) : -1;
    }
    std::string guardTable() const {
        return ip({"netns", "exec", clientNamespace, "/usr/sbin/nft", "list", "table", "inet", "corvantis_guard"}).standardOutput;
    }
    // Waits (bounded) until the guard's table holds `text`.
    bool guardTableHas(const std::string& text) const {
        return corvantis::testing::eventually([&] { return guardTable().find(text) != std::string::npos; });
    }
    std::string clientRoutes() const {
        return ip({"-n", clientNamespace, "route", "show"}).standardOutput +
               ip({"-n", clientNamespace, "-6", "route", "show"}).standardOutput;
    }
    std::string diagnosis() const {
        const auto guardLog = FileSystem::readFile(folder / "guard.log");
        return "\nroutes:\n" + clientRoutes() + "guard table:\n" + guardTable() + "guard:\n" +
               (guardLog ? guardLog.value() : std::string()) + "application:\n" + (application ? application->output() : "");
    }

    std::filesystem::path resolverPath() const { return folder / "resolv.conf"; }
    std::string resolverFile() const {
        const auto text = FileSystem::readFile(resolverPath());
        return text ? text.value() : std::string();
    }
    // The first name server of the resolver configuration.
    std::string firstNameServer() const {
        std::istringstream lines(resolverFile());
        for (std::string keyword, server; lines >> keyword;) {
            if (keyword == "nameserver" && lines >> server) return server;
        }
        return {};
    }
    // Waits (bounded) until the resolver configuration reads `content`.
    bool resolverFileBecomes(const std::string& content) const {
        return corvantis::testing::eventually([&] { return resolverFile() == content; });
    }
    // Sends `line` to the helper as another program of the served user would: from a thread
    // that alone takes on that user's identity, which the helper reads from its socket.
    std::string askAsServedUser(const std::string& line) const {
        std::string answer = "<not sent>";
        std::thread([&] {
            if (::syscall(SYS_setresgid, ordinaryUser, ordinaryUser, ordinaryUser) != 0 ||
                ::syscall(SYS_setresuid, ordinaryUser, ordinaryUser, ordinaryUser) != 0) {
                return;
            }
            answer = corvantis::testing::firstText(
                corvantis::testing::callUntilDone(socket(), corvantis::helper::HelperCall::runCommand(line, true)));
        }).join();
        return answer;
    }
    // The openvpn the helper runs for this test, found by its run folder.
    pid_t openVpnPid() const {
        const std::string runs = (folder / "run").string();
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const auto command = FileSystem::readFile(entry.path() / "cmdline");
            if (command && command.value().starts_with("/usr/sbin/openvpn") && command.value().find(runs) != std::string::npos) {
                return std::atoi(entry.path().filename().c_str());
            }
        }
        return -1;
    }

    corvantis::testing::TemporaryFolder folder;
    std::optional<PrivateSystem> system;
    std::unique_ptr<OpenVpnTestbed> testbed;
    std::unique_ptr<Resolver> resolver;
    // The name server the VPN server pushes, which answers only through the tunnel.
    std::unique_ptr<Resolver> tunnelResolver;
    std::unique_ptr<HelperDaemon> helper;
    std::unique_ptr<corvantis::testbed::TestBackend> backend;
    std::unique_ptr<corvantis::testing::LoopbackRelay> relay;
    std::unique_ptr<Application> application;
    // The tunnel's packets and DNS to the router or to a local stub's upstream are what the link
    // may carry.
    LinkLeakProbe probe{serverNamespace,
                        "corv-srv",
                        clientNamespace,
                        {{"tunnel", std::string("ip daddr ") + OpenVpnTestbed::serverAddress + " udp dport 1194"},
                         {"resolver", std::string("ip daddr ") + router + " udp dport 53"},
                         {"upstream", std::string("ip daddr ") + stubUpstream + " udp dport 53"}}};
};

// Every "<name>.<type>" the application's sources ask the bundle for, so that a resource named in
// code but never shipped (as the guard's were) fails here rather than at a user's first engage.
TEST(BundleResources, EveryResourceTheApplicationAsksForIsShippedAndInstalled) {
    if (!corvantis::testbed::inSandbox()) GTEST_SKIP() << "installs as root: runs only through scripts/sandbox";
    const std::regex asked(R"re(pathForResource\(\s*"([^"]+)"\s*,\s*"([^"]+)"\s*\))re");
    std::set<std::string> names;
    for (const char* part : {"app", "StatusPopup", "HelperService/CorvantisHelperController", "platform"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::path(CORVANTIS_SOURCE_DIR) / part)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".hpp") continue;
            std::ifstream file(entry.path());
            const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            for (std::sregex_iterator match(text.begin(), text.end(), asked), end; match != end; ++match) {
                names.insert((*match)[1].str() + "." + (*match)[2].str());
            }
        }
    }
    for (const char* known : {"down.sh", "com.corvantis.CorvantisGuard.plist", "corvantis_guard.sh"}) {
        EXPECT_TRUE(names.contains(known)) << known << " is asked for, but the search missed it";
    }
    corvantis::testing::TemporaryFolder folder;
    const PrivateSystem system(PrivateSystem::Scope::configuration, folder / "system");
    ASSERT_TRUE(system.ready()) << "/etc could not be made private";
    const auto installed = install(folder / "prefix");
    ASSERT_EQ(installed.exit.exitStatus, 0) << installed.standardOutput << installed.standardError;
    for (const auto& name : names) {
        EXPECT_TRUE(FileSystem::fileExists(std::filesystem::path(CORVANTIS_SOURCE_DIR) / "resources" / name)) << name;
        EXPECT_TRUE(FileSystem::fileExists(folder / "prefix/lib/corvantis-vpn/Resources" / name)) << name << " is not installed";
    }
}

TEST_F(ApplicationLeakTest, TheSettingsKillSwitchAndShieldKeepEveryPacketInTheTunnelUntilTheKillSwitchIsSwitchedOff) {
    using Counts = LinkLeakProbe::Counts;
    std::vector<std::pair<std::string, Counts>> steps;
    // Each step probes for a while; where names must resolve, each round also asks the router.
    bool resolved = false;
    const auto resolving = [&] { resolved = nameResolvesThrough(router); };
    // Through whatever name server the resolver configuration names now.
    const auto resolvingAsConfigured = [&] { resolved = nameResolvesThrough(firstNameServer()); };
    const auto step = [&](const std::string& name, std::chrono::milliseconds duration, bool untilEveryKind = false,
                          const std::function<void()>& alsoEachRound = {}) -> Counts& {
        resolved = false;
        steps.emplace_back(
            name, probe.probeFor(duration, untilEveryKind ? &LinkLeakProbe::everyKindSeen : std::function<bool(const Counts&)>(),
                                 alsoEachRound));
        return steps.back().second;
    };

    ASSERT_NO_FATAL_FAILURE(serveTheBackend());

    // Nothing holds traffic back yet: every kind of probe crosses, so the counting works.
    EXPECT_TRUE(LinkLeakProbe::everyKindSeen(step("no protection", 10s, true))) << LinkLeakProbe::describe(steps.back().second);

    ASSERT_NO_FATAL_FAILURE(signInWithBothBoxesOn());
    application->act("connect");
    ASSERT_TRUE(application->says("state connected", 90s)) << diagnosis();

    // The VPN server is let out for its endpoint alone, DNS only to the name server the server
    // pushed; the DHCP server of the lease is let through on the physical link alone.
    const std::string serverRule = std::string("ip daddr ") + OpenVpnTestbed::serverAddress + " udp dport 1194 accept";
    EXPECT_TRUE(guardTableHas(serverRule)) << diagnosis();
    EXPECT_TRUE(guardTableHas(std::string("ip daddr ") + OpenVpnTestbed::tunnelNameServer +
                              " meta l4proto { tcp, udp } th dport 53 accept"))
        << diagnosis();
    EXPECT_TRUE(guardTableHas(std::string("oifname \"corv-cli\" udp sport 68 udp dport 67 ip daddr { ") + router +
                              ", 255.255.255.255 } accept"))
        << diagnosis();
    // Names go through the tunnel, to the name server the VPN server pushed: none reaches the router.
    const std::string beforeTunnel = std::string("nameserver ") + router + "\n";
    EXPECT_EQ(firstNameServer(), OpenVpnTestbed::tunnelNameServer) << resolverFile();
    auto& connected = step("connected", 3s, false, resolvingAsConfigured);
    EXPECT_GT(connected["tunnel"], 0);
    EXPECT_EQ(connected["resolver"], 0) << "DNS reached the router" << diagnosis();
    EXPECT_TRUE(resolved) << "no name resolved through the tunnel" << diagnosis();

    // Other ports of the VPN server, TCP and UDP: only its endpoint is let out.
    step("connected, other ports of the VPN server", 3s, false, [] {
        for (const std::uint16_t port : {22, 80, 443, 1195}) {
            for (const int type : {SOCK_STREAM, SOCK_DGRAM}) {
                const int probe = ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
                sockaddr_in server{};
                server.sin_family = AF_INET;
                server.sin_port = htons(port);
                ::inet_pton(AF_INET, OpenVpnTestbed::serverAddress, &server.sin_addr);
                if (type == SOCK_STREAM) {
                    ::connect(probe, reinterpret_cast<sockaddr*>(&server), sizeof server);
                } else {
                    ::sendto(probe, "probe", 5, 0, reinterpret_cast<sockaddr*>(&server), sizeof server);
                }
                ::close(probe);
            }
        }
    });

    // Another program of the served user asks the helper for the application's own host route
    // to the probes' host: the route is made, the guard opens nothing for it.
    askAsServedUser(std::string("route -n add -net 192.0.2.77 ") + router);
    EXPECT_NE(clientRoutes().find(std::string("192.0.2.77 via ") + router), std::string::npos) << clientRoutes();
    step("host route asked through the helper by another process", 3s);
    askAsServedUser(std::string("route -n delete 192.0.2.77 ") + router);

    // A firewall reload flushes the whole ruleset: the guard puts its table back.
    const auto flushed = std::chrono::steady_clock::now();
    ASSERT_EQ(ip({"netns", "exec", clientNamespace, "/usr/sbin/nft", "flush", "ruleset"}).exit.exitStatus, 0);
    EXPECT_TRUE(guardTableHas("policy drop;")) << "the guard did not put its table back" << diagnosis();
    EXPECT_TRUE(guardTableHas(serverRule)) << diagnosis();
    std::printf("the guard's table was back %.0f ms after the flush\n",
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - flushed).count());
    step("ruleset flushed while engaged", 3s);

    testbed->killServer();
    step("server killed", 11s);

    ASSERT_EQ(ip({"-n", clientNamespace, "route", "replace", "default", "via", router}).exit.exitStatus, 0);
    ASSERT_EQ(ip({"-n", clientNamespace, "route", "add", "192.0.2.77/32", "via", router}).exit.exitStatus, 0);
    step("routes by another program", 3s);
    ip({"-n", clientNamespace, "route", "del", "192.0.2.77/32", "via", router});
    ip({"-n", clientNamespace, "route", "del", "default", "via", router});

    ASSERT_GT(helper->pid(), 0);
    ::kill(helper->pid(), SIGKILL);
    helper.reset();
    step("helper killed (SIGKILL)", 3s);
    startHelper();  // as its socket unit starts it again on the next call

    const pid_t guard = guardPid();
    ASSERT_GT(guard, 0);
    ::kill(guard, SIGKILL);
    step("guard killed", 2s);
    const auto restarted = ip({"netns", "exec", clientNamespace, (folder / "systemctl").string(), "restart", guardUnit});
    ASSERT_EQ(restarted.exit.exitStatus, 0);
    ASSERT_TRUE(corvantis::testing::eventually([&] { return guardPid() != guard && guardPid() > 0; })) << "the guard restarted";
    step("guard restarted", 3s);

    ASSERT_TRUE(application->says("state disconnected", 90s)) << diagnosis();
    // The tunnel ended while the helper was away: the helper's start put the resolver back.
    EXPECT_TRUE(resolverFileBecomes(beforeTunnel)) << resolverFile();
    step("disconnected, Shield on", 3s, false, resolving);
    EXPECT_TRUE(resolved) << "no name resolved through the router" << diagnosis();
    EXPECT_TRUE(guardTableHas("policy drop;")) << diagnosis();

    application->act("kill-switch");
    ASSERT_TRUE(application->says("kill-switch off")) << diagnosis();
    ASSERT_TRUE(guardTableHas("policy accept;")) << diagnosis();
    const auto& released = step("kill switch off", 10s, true);
    EXPECT_TRUE(LinkLeakProbe::everyKindSeen(released)) << LinkLeakProbe::describe(released) << diagnosis();

    std::cout << LinkLeakProbe::table(steps);
    for (std::size_t index = 1; index + 1 < steps.size(); ++index) {
        EXPECT_EQ(LinkLeakProbe::leaks(steps[index].second), 0)
            << steps[index].first << ":" << LinkLeakProbe::describe(steps[index].second) << diagnosis();
    }
}

// The Shield stored on with the kill switch and the credentials stored: each start signs in by
// itself and puts the Shield in force again, although the guard was released when the
// application quit before, and the sign-in asks to engage before its own gateway lookup answers.
TEST_F(ApplicationLeakTest, EveryStartWithBothBoxesStoredOnSignsInByItselfAndLetsNothingOut) {
    ASSERT_NO_FATAL_FAILURE(serveTheBackend());
    ASSERT_NO_FATAL_FAILURE(signInWithBothBoxesOn());

    std::vector<std::pair<std::string, LinkLeakProbe::Counts>> steps;
    constexpr int starts = 5;
    for (int start = 1; start <= starts; ++start) {
        // Quitting puts the default route back, which releases the guard.
        application->act("quit");
        ASSERT_TRUE(application->ends()) << "before start " << start << ": quitting did not end it" << diagnosis();
        application.reset();
        ASSERT_TRUE(guardTableHas("policy accept;")) << "before start " << start << diagnosis();
        startApplication(backend->url(), relay->port());
        ASSERT_TRUE(application->says("connect screen", 60s)) << "start " << start << ": no automatic sign-in" << diagnosis();
        EXPECT_TRUE(guardTableHas("policy drop;")) << "start " << start << diagnosis();
        steps.emplace_back("start " + std::to_string(start) + ", signed in by itself", probe.probeFor(3s));
        EXPECT_EQ(LinkLeakProbe::leaks(steps.back().second), 0)
            << steps.back().first << ":" << LinkLeakProbe::describe(steps.back().second) << diagnosis();
    }
    std::cout << LinkLeakProbe::table(steps);
}

// Connected with the kill switch off, IPv6 that the tunnel does not carry stays in, and flows
// again once the tunnel ends; however the tunnel ends (a disconnect, openvpn killed, the helper
// killed), the resolver configuration is what it was before.
TEST_F(ApplicationLeakTest, WithTheKillSwitchOffIpv6StaysInWhileConnectedAndEveryEndPutsTheResolverBack) {
    const auto ipv6Probes = [](const LinkLeakProbe::Counts& counts) {
        long seen = 0;
        for (const char* kind : {"tcp6", "udp6", "icmp6", "dns6"}) seen += counts.contains(kind) ? counts.at(kind) : 0;
        return seen;
    };
    const auto before = resolverFile();
    ASSERT_NO_FATAL_FAILURE(serveTheBackend());
    ASSERT_NO_FATAL_FAILURE(signIn());
    application->act("connect");
    ASSERT_TRUE(application->says("state connected", 90s)) << diagnosis();
    EXPECT_EQ(firstNameServer(), OpenVpnTestbed::tunnelNameServer) << resolverFile();
    const auto connected = probe.probeFor(3s);
    EXPECT_EQ(ipv6Probes(connected), 0) << LinkLeakProbe::describe(connected) << diagnosis();
    EXPECT_GT(connected.at("tunnel"), 0) << LinkLeakProbe::describe(connected);

    application->act("connect");  // the same button disconnects
    ASSERT_TRUE(application->says("state disconnected", 60s)) << diagnosis();
    EXPECT_TRUE(resolverFileBecomes(before)) << "after a disconnect:\n" << resolverFile();
    const auto released = probe.probeFor(10s, &LinkLeakProbe::everyKindSeen);
    EXPECT_TRUE(LinkLeakProbe::everyKindSeen(released)) << LinkLeakProbe::describe(released) << diagnosis();

    application->act("connect");
    ASSERT_TRUE(application->says("state connected", 90s)) << diagnosis();
    const pid_t openvpn = openVpnPid();
    ASSERT_GT(openvpn, 0);
    ::kill(openvpn, SIGKILL);
    EXPECT_TRUE(resolverFileBecomes(before)) << "after openvpn was killed:\n" << resolverFile();
    ASSERT_TRUE(application->says("state disconnected", 90s)) << diagnosis();

    application->act("connect");
    ASSERT_TRUE(application->says("state connected", 90s)) << diagnosis();
    ASSERT_NE(resolverFile(), before);
    ::kill(helper->pid(), SIGKILL);
    helper.reset();
    startHelper();  // as its socket unit starts it again on the next call
    EXPECT_TRUE(resolverFileBecomes(before)) << "after the helper was killed:\n" << resolverFile();
}

// A local stub resolver (systemd-resolved's usual set-up) whose upstream lies beyond the LAN:
// with the Shield on and no tunnel, the upstream is routed through the gateway and let out for
// DNS, no route is asked for the stub's loopback address, and names resolve.
TEST_F(ApplicationLeakTest, ALocalStubsUpstreamBeyondTheLanAnswersWithTheShieldOnAndNothingElseLeaves) {
    constexpr const char* upstream = stubUpstream;
    ASSERT_EQ(
        ip({"-n", "corvantis-vpn-internet", "addr", "add", std::string(upstream) + "/24", "dev", "corv-inet"}).exit.exitStatus,
        0);
    const Resolver upstreamResolver("corvantis-vpn-internet", upstream);
    ASSERT_TRUE(upstreamResolver.listening());
    // The stub on 127.0.0.53, as systemd-resolved lists its upstreams beside it.
    ASSERT_TRUE(FileSystem::writeFileAtomically(resolverPath(), "nameserver 127.0.0.53\n", 0644));
    ASSERT_TRUE(FileSystem::createDirectories("/run/systemd/resolve"));
    ASSERT_TRUE(
        FileSystem::writeFileAtomically("/run/systemd/resolve/resolv.conf", std::string("nameserver ") + upstream + "\n", 0644));
    const StubResolver stub(clientNamespace, upstream);
    ASSERT_TRUE(stub.listening());
    ASSERT_NO_FATAL_FAILURE(serveTheBackend());
    ASSERT_NO_FATAL_FAILURE(signIn());
    application->act("kill-switch");
    ASSERT_TRUE(application->says("kill-switch on")) << diagnosis();
    application->act("shield");
    ASSERT_TRUE(application->says("shield on")) << diagnosis();
    ASSERT_TRUE(guardTableHas(std::string("ip daddr ") + upstream + " meta l4proto { tcp, udp } th dport 53 accept"))
        << diagnosis();
    ASSERT_TRUE(corvantis::testing::eventually([&] {
        return clientRoutes().find(std::string(upstream) + " via " + router) != std::string::npos;
    })) << diagnosis();
    EXPECT_EQ(clientRoutes().find("127.0.0.53"), std::string::npos) << clientRoutes();

    bool resolved = false;
    const auto counts = probe.probeFor(3s, {}, [&] { resolved = nameResolvesThrough("127.0.0.53") || resolved; });
    std::cout << LinkLeakProbe::table({{"local stub, Shield on, disconnected", counts}});
    EXPECT_TRUE(resolved) << "no name resolved through the local stub" << diagnosis();
    EXPECT_GT(counts.at("upstream"), 0);
    EXPECT_EQ(LinkLeakProbe::leaks(counts), 0) << LinkLeakProbe::describe(counts) << diagnosis();
}

}  // namespace
