// The furthest real flow the system can run today, reported as plain lines.
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "Zip/Zip.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/Keychain.hpp"
#include "app/OpenVPNConnection.hpp"
#include "app/UserSettings.hpp"
#include "app/Validation.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/foundation/ProcessRun.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "testbed/backend/TestBackend.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/ReachableCopy.hpp"
#include "testbed/helper/Sandbox.hpp"
#include "testbed/openvpn/OpenVpnTestbed.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <future>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace std::chrono_literals;
using platform::Services;
using platform::dispatch::DispatchQueue;
using platform::dispatch::Timer;
using platform::dispatch::WorkItem;
using platform::foundation::DateFormatter;
using platform::foundation::UserDefaults;

namespace {

// The demo cannot go on without what it sets up: a failure ends it with the reason.
void orExit(const platform::foundation::Expected<void>& done) {
    if (done) return;
    std::cerr << "demo: " << done.error().message << "\n";
    std::exit(1);
}

// The application's console lines (helper client, OpenVPN set-up), each marked as such.
class LabelledConsole final : public platform::foundation::Console {
public:
    void log(const std::string& message) override {
        std::istringstream lines(message);
        std::lock_guard lock(mutex_);
        for (std::string line; std::getline(lines, line);) std::cerr << "app console: " << line << "\n";
        std::cerr << std::flush;
    }

private:
    std::mutex mutex_;
};

// While it lives, standard error goes into `file`: a helper started meanwhile writes its own lines
// there, to be shown marked as the helper's afterwards.
class StandardErrorInto {
public:
    explicit StandardErrorInto(const std::filesystem::path& file)
        : saved_(::dup(STDERR_FILENO)), target_(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600)) {
        std::cerr << std::flush;
        if (target_.get() >= 0) ::dup2(target_.get(), STDERR_FILENO);
    }
    ~StandardErrorInto() {
        std::cerr << std::flush;
        ::dup2(saved_.get(), STDERR_FILENO);
    }
    StandardErrorInto(const StandardErrorInto&) = delete;
    StandardErrorInto& operator=(const StandardErrorInto&) = delete;

private:
    platform::foundation::FileDescriptor saved_;
    platform::foundation::FileDescriptor target_;
};

std::string fileText(const std::filesystem::path& path) {
    const auto content = platform::foundation::FileSystem::readFile(path);
    return content ? content.value() : std::string();
}

void printMarked(const std::string& text, const std::string& mark) {
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) std::cout << mark << line << "\n";
}

// The helper's own lines. openvpn's output until the tunnel is up, which the helper passes on
// line by line, is left out: its reply carried that whole, and the application's console has
// shown it already. The errors of steps that the demo does not use are said to be so.
void printHelperLines(const std::string& text) {
    constexpr std::string_view openVpnOutput = "OpenVPN: ";
    constexpr std::string_view connected = "OpenVPN Connected";
    constexpr std::string_view noL2tp = "the L2TP clean-up of every disconnect; the demo made no L2TP service to remove";
    const std::pair<std::string_view, std::string_view> unusedSteps[] = {{"L2TP disconnect error", noL2tp},
                                                                         {"Error removing L2TP entry", noL2tp},
                                                                         {"SCPreferencesCommitChanges error", noL2tp},
                                                                         {"SCPreferencesApplyChanges error", noL2tp}};
    std::vector<std::string> lines;
    std::istringstream input(text);
    for (std::string line; std::getline(input, line);) lines.push_back(std::move(line));
    // openvpn's lines before the helper said connected, with the helper's own in between.
    const auto reported = std::find_if(lines.begin(), lines.end(), [&](const auto& line) { return line.starts_with(connected); });
    const auto shownAlready = [&](std::size_t index) {
        return lines[index].starts_with(openVpnOutput) && lines.begin() + static_cast<long>(index) < reported;
    };
    std::size_t leftOut = 0;
    for (std::size_t index = 0; index < lines.size(); ++index) leftOut += shownAlready(index) ? 1 : 0;
    bool noted = false;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        if (shownAlready(index)) {
            if (!std::exchange(noted, true)) {
                std::cout << "helper: (openvpn's output until the tunnel was up, " << leftOut
                          << " lines, as the application's console showed it)\n";
            }
            continue;
        }
        std::cout << "helper: " << lines[index];
        for (const auto& [start, why] : unusedSteps) {
            if (lines[index].starts_with(start)) {
                std::cout << "   [not a fault: " << why << "]";
                break;
            }
        }
        std::cout << "\n";
    }
}

int reportPlatformCore() {
    const DateFormatter logDate("yyyy-MM-dd HH:mm:ss.SSS");
    const auto clock = Services::current().clock();
    std::cout << "run loop demo starts at " << logDate.string(clock->wallNow()) << "\n";

    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        std::cerr << "private temporary folder: " << temporary.error().message << "\n";
        return 1;
    }
    std::cout << "private temporary folder: " << temporary.value().string() << "\n";

    // The demo's settings live in its private folder, apart from the user's own.
    const auto defaults = UserDefaults::open(temporary.value() / "demo-settings.json");
    if (const auto problem = defaults->loadProblem()) std::cout << "settings: " << problem->message << "\n";
    const long long runs = defaults->integer("demoRuns") + 1;
    if (const auto stored = defaults->set(runs, "demoRuns"); !stored) {
        std::cerr << "settings: " << stored.error().message << "\n";
        return 1;
    }
    std::cout << "demo settings file: " << defaults->file().string() << " (demo run " << runs << ")\n";

    // Work on the run loop: a repeating timer, a delayed block, a cancelled one, and background
    // work that reports back to the main queue.
    const auto main = Services::current().mainQueue();
    const auto started = clock->now();
    auto since = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - started).count(); };
    int ticks = 0;
    Timer::scheduledTimer(100ms, true, [&](Timer& timer) {
        std::cout << "timer tick " << ++ticks << " after " << since() << " ms\n";
        if (ticks == 3) timer.invalidate();
    });
    auto cancelled = WorkItem::make([] { std::cout << "this line never appears\n"; });
    main->asyncAfter(150ms, cancelled);
    cancelled->cancel();
    DispatchQueue::global()->async([main, &since] {
        const auto label = DispatchQueue::global()->label();
        main->async([label, &since] { std::cout << "background work on " << label << " reported after " << since() << " ms\n"; });
    });
    main->asyncAfter(450ms, [&] {
        std::cout << "delayed block after " << since() << " ms; stopping the run loop\n";
        main->stop();
    });
    main->run();
    std::cout << "run loop demo ends at " << logDate.string(clock->wallNow()) << "\n";
    return 0;
}

// Packs a folder of log files the way the log export does, then unpacks and compares it.
int reportZipRoundTrip() {
    namespace fs = std::filesystem;
    using corvantis::zip::Zip;
    using platform::foundation::Url;
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) return 1;
    const fs::path work = temporary.value() / "corvantis-demo-zip";
    fs::remove_all(work);
    fs::create_directories(work / "CorvantisLogs");
    for (int file = 1; file <= 2; ++file) {
        std::ofstream log(work / "CorvantisLogs" / ("CorvantisVPN_demo" + std::to_string(file) + ".log"));
        for (int line = 0; line < 2000 * file; ++line) log << "2026-01-01 12:00:00.000 [Info] [main] demo line " << line << "\n";
    }
    const Url archive = Url::fileUrl(
        (work / ("CorvantisVPN_" + DateFormatter("ddMMyyyyHHmm").string(Services::current().clock()->wallNow()) + ".zip"))
            .string());
    try {
        std::cout << "zip: packing " << (work / "CorvantisLogs").string() << "; progress reported at";
        Zip::zipFiles({Url::fileUrl((work / "CorvantisLogs").string())}, archive, std::nullopt,
                      corvantis::zip::ZipCompression::DefaultCompression,
                      [](double fraction) { std::cout << " " << static_cast<int>(fraction * 100 + 0.5) << "%"; });
        std::cout << "\nzip: " << archive.path() << " holds " << fs::file_size(archive.path()) << " bytes\n";
        int unpacked = 0;
        Zip::unzipFile(archive, Url::fileUrl((work / "unpacked").string()), true, std::nullopt, {},
                       [&](const Url&) { ++unpacked; });
        const bool same = fs::file_size(work / "unpacked" / "CorvantisLogs" / "CorvantisVPN_demo2.log") ==
                          fs::file_size(work / "CorvantisLogs" / "CorvantisVPN_demo2.log");
        std::cout << "zip: unpacked " << unpacked << " files again, " << (same ? "same sizes" : "SIZES DIFFER") << "\n";
    } catch (const corvantis::zip::ZipError& error) {
        std::cerr << "zip: " << error.description() << "\n";
        return 1;
    }
    fs::remove_all(work);
    return 0;
}

// The default logger set up as the application does at launch: the console and a log file per
// run, "CorvantisVPN_<ddMMyyyyHHmm>.log" in "CorvantisLogs" under the private temporary folder.
int writeThroughTheDefaultLogger() {
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        std::cerr << "private temporary folder: " << temporary.error().message << "\n";
        return 1;
    }
    const auto folder = temporary.value() / "CorvantisLogs";
    if (const auto made = platform::foundation::FileSystem::createDirectories(folder, 0700); !made) {
        std::cerr << "log folder: " << made.error().message << "\n";
        return 1;
    }
    const DateFormatter fileDate("ddMMyyyyHHmm");
    const auto logFile = folder / ("CorvantisVPN_" + fileDate.string(Services::current().clock()->wallNow()) + ".log");
    prq::setup(prq::Level::debug, false, true, true, true, true, true, true, logFile);

    prq::info([] { return "Corvantis VPN demo is logging"; });
    std::atomic<int> evaluated = 0;
    prq::verbose([&] {
        ++evaluated;
        return "below the level: never built";
    });
    prq::warning([] { return std::vector<std::string>{"de-fra-01", "nl-ams-02"}; });
    const auto background = platform::dispatch::ThreadPoolQueue::serial("com.corvantis.demo.background");
    background->sync([] { prq::debug([] { return "a line from a background queue"; }); });
    prq::error([] { return "a failure, as the application would report it"; });

    std::cout << "messages built for a level nobody takes: " << evaluated << "\n";
    std::cout << "log file: " << logFile.string() << "\n";
    return 0;
}

// Waits on the run loop for a backend result that arrives on the main queue.
template <class Result>
std::optional<Result> awaitResult(const std::function<void(std::function<void(Result)>)>& start) {
    std::optional<Result> result;
    start([&](Result value) { result = std::move(value); });
    Services::current().mainQueue()->runUntil([&] { return result.has_value(); }, 30s);
    return result;
}

struct DeviceResult {
    bool success;
    std::string message;
    std::string deviceId;
};

std::optional<DeviceResult> getDeviceId() {
    return awaitResult<DeviceResult>([](auto done) {
        corvantis::UserSettings::getDeviceId([done](bool success, const std::string& message, const std::string& id) {
            done(DeviceResult{success, message, id});
        });
    });
}

void reportDevice(const std::string& step, const std::optional<DeviceResult>& result) {
    if (!result) {
        std::cout << step << ": no answer from the backend\n";
    } else if (result->success) {
        std::cout << step << ": device id " << result->deviceId
                  << (result->message.empty() ? "" : " (the backend had said \"" + result->message + "\")") << "\n";
    } else {
        std::cout << step << ": failed with \"" << result->message << "\"\n";
    }
}

struct LoginResult {
    bool success;
    bool isEmailConfirmed;
    bool isVpnActive;
    bool isDnsActive;
    std::string message;
};

// Signs in with the test backend's demo account through the real client (password grant,
// device registration and validation, product list, profile) and shows what the login leaves:
// the requests the backend saw, the plan and the cities of each country.
int reportLogin(corvantis::testbed::TestBackend& backend) {
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    backend.clearRequests();
    const auto result = awaitResult<LoginResult>([](auto done) {
        corvantis::ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                                              [done](bool success, bool email, bool vpn, bool dns, const std::string& message) {
                                                  done(LoginResult{success, email, vpn, dns, message});
                                              });
    });
    if (!result || !result->success || !delegate->allCities) {
        std::cerr << "login: " << (result ? "failed with \"" + result->message + "\"" : "no answer from the backend") << "\n";
        return 1;
    }
    std::cout << "login: signed in as " << corvantis::UserSettings::email().value_or("?")
              << " (e-mail confirmed: " << (result->isEmailConfirmed ? "yes" : "no")
              << ", VPN: " << (result->isVpnActive ? "active" : "inactive") << ")\n";
    std::cout << "login: the backend received\n";
    for (const auto& request : backend.requests()) {
        const auto grant = corvantis::testbed::FormBody::value(request.form, "grant_type");
        std::cout << "  " << request.method << " " << request.target << (grant ? " (" + *grant + " grant)" : "") << "\n";
    }
    std::cout << "plan: " << corvantis::UserSettings::plan().value_or("(none)") << "\n";

    // The list is sorted by name, so each country's cities stand together.
    std::vector<std::pair<std::string, int>> countries;
    for (const auto& city : *delegate->allCities) {
        const auto name = city->name->substr(0, city->name->find(" - "));
        if (countries.empty() || countries.back().first != name) countries.emplace_back(name, 0);
        ++countries.back().second;
    }
    std::cout << "cities: " << delegate->allCities->size() << " in " << countries.size() << " countries\n";
    for (const auto& [country, count] : countries)
        std::cout << "  " << country << ": " << count << (count == 1 ? " city\n" : " cities\n");
    delegate->logger->info([&] {
        return "Signed in; plan " + corvantis::UserSettings::plan().value_or("(none)") + ", " +
               std::to_string(delegate->allCities->size()) + " cities";
    });
    return 0;
}

// The backend client against the local test backend: a login, re-registration of a device the
// backend forgot, a maintenance reply, the keychain item and the login form's checks. Its
// settings and keychain live in the private temporary folder, apart from the user's own.
int reportBackendClient(const std::filesystem::path& folder) {
    corvantis::testbed::TestBackend backend;
    if (auto started = backend.start(); !started) {
        std::cerr << "test backend: " << started.error().message << "\n";
        return 1;
    }
    ::setenv("CORVANTIS_API_URL", backend.url().c_str(), 1);
    std::cout << "test backend listening on " << backend.url() << "\n";

    auto demoProfile = platform::Services::current();
    demoProfile.userDefaultsOverride = UserDefaults::open(folder / "demo-settings.json");
    demoProfile.keychainOverride = platform::security::KeychainStore::open(folder / "demo-keychain.json");
    orExit(demoProfile.userDefaultsOverride->removeObject("deviceId"));
    platform::ScopedServices scope(std::move(demoProfile));

    if (const int failed = reportLogin(backend)) return failed;
    backend.forgetDevices();
    reportDevice("after the backend forgot the device", getDeviceId());
    backend.setFailureMode(corvantis::testbed::TestBackend::FailureMode::maintenance);
    reportDevice("backend under maintenance", getDeviceId());
    backend.setFailureMode(corvantis::testbed::TestBackend::FailureMode::none);
    std::cout << "requests the backend received: " << backend.requests().size() << "\n";

    corvantis::UserSettings::setSavedOpenVPNPort(corvantis::OpenVPNPort::TCP);  // logged by the settings store
    std::cout << "settings: OpenVPN over " << rawValue(corvantis::UserSettings::savedOpenVPNPort()) << "\n";
    const auto reference = corvantis::Keychain::passwordForVPNID("com.corvantis.password");
    std::cout << "keychain: the login filed the VPN password under \"com.corvantis.password\", reference "
              << reference.value_or("(none)") << "\n";

    auto& validation = corvantis::Validation::shared();
    for (const auto& [email, password] : {std::pair{"demo@corvantis.test", "demo-password"},
                                          {"demo@corvantis", "demo-password"},
                                          {"demo@corvantis.test", "short"}}) {
        const bool valid =
            validation.validate({{corvantis::ValidationType::email, email}, {corvantis::ValidationType::password, password}});
        std::cout << "login form: " << email << " / " << password << (valid ? " passes" : " is refused") << "\n";
    }
    return 0;
}

// The application's own connection path, without its screens, against the testbed: signs in at
// a test backend that serves the testbed's client profile, builds the OpenVPN configuration the
// way the application does and asks the real helper (in the client namespace) through the real
// client to bring the tunnel up, then ends it with terminateAllVpnConnections.
class TunnelDemo {
    static constexpr const char* resolverBefore = "nameserver 198.51.100.1\n";

public:
    TunnelDemo(const std::filesystem::path& folder, const corvantis::testbed::OpenVpnTestbed& testbed)
        : folder_(folder), testbed_(testbed) {}

    int run() {
        auto configuration = corvantis::testbed::BackendConfiguration::demo();
        const auto profile = platform::foundation::FileSystem::readFile(testbed_.profileTemplate());
        if (!profile) return fail(profile.error().message);
        configuration.tcpConfig = configuration.udpConfig = profile.value();
        // The testbed's server, named by its address: the namespaces have no name service.
        auto& account = configuration.accounts.front();
        account.vpnPassword = testbed_.options().password;
        account.servers.push_back({"NL", "Testbed", corvantis::testbed::OpenVpnTestbed::serverAddress,
                                   corvantis::testbed::OpenVpnTestbed::serverAddress});
        corvantis::testbed::TestBackend backend(configuration);
        if (auto started = backend.start(); !started) return fail(started.error().message);
        ::setenv("CORVANTIS_API_URL", backend.url().c_str(), 1);

        // The configuration, holding the account's key material, goes with the demo's folder.
        ::setenv("TMPDIR", folder_.c_str(), 1);
        const auto socket = folder_ / "helper.sock";
        ::setenv("CORVANTIS_HELPER_SOCKET", socket.c_str(), 1);
        orExit(platform::foundation::FileSystem::writeFileAtomically(folder_ / "helper.conf", "", 0600));
        // The client namespace's resolver configuration, as a LAN's DHCP would have written it.
        orExit(platform::foundation::FileSystem::writeFileAtomically(folder_ / "resolv.conf", resolverBefore, 0644));
        const auto path = [&](const char* name) { return (folder_ / name).string(); };
        // No systemd here: a stand-in starts the kill-switch guard's unit as systemd would.
        orExit(platform::foundation::FileSystem::writeFileAtomically(folder_ / "systemctl", fileText(CORVANTIS_GUARD_SYSTEMCTL),
                                                                     0755));
        std::optional<corvantis::testbed::HelperDaemon> helper;
        {
            const StandardErrorInto helperLog(folder_ / "helper.log");
            // Every file the helper keeps on the system's behalf stays in the demo's folder.
            auto options = corvantis::testbed::HelperDaemon::privateFilesIn(folder_);
            options.insert(options.end(), {"--config", path("helper.conf"), "--bundle-resources", testbed_.bundle().string(),
                                           "--systemctl", path("systemctl")});
            helper.emplace(CORVANTIS_HELPER_PROGRAM, socket, options, testbed_.inClientNamespace());
        }
        std::cout << "openvpn: the real helper runs as root in the client namespace; its own lines follow the step, "
                     "marked \"helper:\"\n";
        std::cout << "openvpn: the application's console marks each OpenVPN step with the time it ran "
                     "(\"app console: OpenVPN Connection: <time>\")\n";
        const int status = runWith(*helper);
        helper.reset();
        // The guard outlives the helper, as its unit does; the demo's ends here.
        if (const int guard = std::atoi(fileText(folder_ / "guard.pid").c_str()); guard > 0) ::kill(guard, SIGTERM);
        printMarked(fileText(folder_ / "guard.log"), "guard: ");
        const auto helperLines = platform::foundation::FileSystem::readFile(folder_ / "helper.log");
        printHelperLines(helperLines ? helperLines.value() : helperLines.error().message);
        return status;
    }

private:
    int runWith(const corvantis::testbed::HelperDaemon&) {
        auto application = platform::Services::current();
        application.userDefaultsOverride = UserDefaults::open(folder_ / "settings.json");
        application.keychainOverride = platform::security::KeychainStore::open(folder_ / "keychain.json");
        application.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(folder_, testbed_.bundle());
        platform::ScopedServices scope(std::move(application));
        const auto delegate = std::make_shared<corvantis::AppDelegate>();
        delegate->helper = std::make_shared<corvantis::CorvantisHelperController>();
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(delegate->helper);

        if (const int failed = signIn()) return failed;
        if (const int failed = connect(*delegate)) return failed;
        if (const int failed = engageAndReleaseTheKillSwitch(*delegate)) return failed;
        delegate->helper->terminateAllVpnConnections();
        // The client checks the resolver file 3 s after the tunnel has ended.
        Services::current().mainQueue()->runUntil([] { return false; }, 3500ms);
        std::cout << "openvpn: terminateAllVpnConnections sent; routes in the client namespace now:\n" << testbed_.clientRoutes();
        Services::current().mainQueue()->runUntil([&] { return fileText(folder_ / "resolv.conf") == resolverBefore; }, 10s);
        printMarked(fileText(folder_ / "resolv.conf"), "openvpn: the resolver file once the tunnel has ended: ");
        return 0;
    }

    static int fail(const std::string& why) {
        std::cerr << "openvpn: " << why << "\n";
        return 1;
    }

    int signIn() const {
        const auto result = awaitResult<LoginResult>([](auto done) {
            corvantis::ApiService::checkLoginData(
                "demo@corvantis.test", "demo-password",
                [done](bool success, bool email, bool vpn, bool dns, const std::string& message) {
                    done(LoginResult{success, email, vpn, dns, message});
                });
        });
        if (!result || !result->success) return fail("the sign-in failed");
        corvantis::UserSettings::setHostname(std::string(corvantis::testbed::OpenVpnTestbed::serverAddress));
        std::cout << "openvpn: signed in at the test backend; server " << corvantis::UserSettings::serverName().value_or("?")
                  << " (" << corvantis::UserSettings::hostname().value_or("?") << "), OpenVPN over "
                  << rawValue(corvantis::UserSettings::savedOpenVPNPort()) << "\n";
        return 0;
    }

    int connect(const corvantis::AppDelegate& delegate) const {
        const auto connected = awaitResult<bool>([](auto done) {
            corvantis::OpenVPNConnection().connectUsingServerAddress(corvantis::UserSettings::hostname(),
                                                                     corvantis::UserSettings::email(),
                                                                     corvantis::UserSettings::vpnPassword(), done);
        });
        const auto written = corvantis::OpenVPNConnection::configurationPath();
        std::cout << "openvpn: configuration written to " << (written ? written->string() : "(nowhere)") << "\n";
        if (!connected) return fail("no answer from the helper");
        std::cout << "openvpn: the helper answered " << (*connected ? "connected" : "not connected") << "; tunnel gateway "
                  << delegate.openVpnGateway.value_or("(none)") << "\n";
        std::cout << "openvpn: routes in the client namespace while connected:\n" << testbed_.clientRoutes();
        // Names go through the tunnel, to the name server its server pushed.
        printMarked(fileText(folder_ / "resolv.conf"), "openvpn: the resolver file while connected: ");
        if (!*connected) return 1;
        return pingThroughTheTunnel(delegate.openVpnGateway.value_or(corvantis::testbed::OpenVpnTestbed::tunnelGateway));
    }

    // The application's route control engages the kill switch (the guard installed by the
    // helper, the default route gone) and releases it, with the guard's table after each.
    int engageAndReleaseTheKillSwitch(corvantis::AppDelegate& delegate) const {
        const auto main = Services::current().mainQueue();
        main->runUntil([&] { return delegate.gateway.has_value(); }, 10s);
        if (!delegate.gateway) return fail("the application found no gateway");
        bool engaged = false;
        delegate.removeDefaultRoute([&](bool) { engaged = true; });
        main->runUntil([&] { return engaged && guardTable().find("policy drop;") != std::string::npos; }, 20s);
        std::cout << "kill switch: engaged by the application through the gateway " << *delegate.gateway
                  << "; routes in the client namespace:\n"
                  << testbed_.clientRoutes() << "kill switch: the guard's table while engaged:\n"
                  << guardTable();
        if (guardTable().find("policy drop;") == std::string::npos) return fail("the guard does not hold traffic back");
        delegate.restoreDefaultRoute();
        main->runUntil([&] { return guardTable().find("policy accept;") != std::string::npos; }, 20s);
        std::cout << "kill switch: released by the application; routes in the client namespace:\n"
                  << testbed_.clientRoutes() << "kill switch: the guard's table once released:\n"
                  << guardTable();
        if (guardTable().find("policy accept;") == std::string::npos) return fail("the guard still holds traffic back");
        return 0;
    }

    std::string guardTable() const {
        const auto run = platform::foundation::runToEnd(
            *platform::foundation::PosixProcessLauncher::shared(),
            {"/sbin/ip",
             {"netns", "exec", "corvantis-vpn-client", "/usr/sbin/nft", "list", "table", "inet", "corvantis_guard"},
             {}});
        return run && run.value().exit.succeeded() ? run.value().standardOutput : "(no guard table)\n";
    }

    // Packets through the tunnel: its far end is reachable only over tun0.
    int pingThroughTheTunnel(const std::string& farEnd) const {
        auto command = testbed_.inClientNamespace({"/usr/bin/ping", "-n", "-c", "3", "-i", "0.2", "-W", "2", farEnd});
        const std::filesystem::path ip = "/sbin/ip";
        command.erase(command.begin());
        const auto run = platform::foundation::runToEnd(*platform::foundation::PosixProcessLauncher::shared(), {ip, command, {}});
        if (!run) return fail("ping: " + run.error().message);
        std::cout << "openvpn: ping through the tunnel to its far end " << farEnd << ":\n";
        std::istringstream lines(run.value().standardOutput);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("transmitted") != std::string::npos || line.starts_with("rtt")) std::cout << "  " << line << "\n";
        }
        if (!run.value().exit.succeeded()) return fail("no reply came back through the tunnel");
        return 0;
    }

    const std::filesystem::path folder_;
    const corvantis::testbed::OpenVpnTestbed& testbed_;
};

// The corvantis-vpn program as a user starts it, against a test backend and the real helper on a
// socket of the demo's own: launch lines, the main window set up, a clean end on SIGTERM.
class ApplicationStartDemo {
public:
    explicit ApplicationStartDemo(std::filesystem::path folder) : folder_(std::move(folder)) {}

    int run() {
        namespace fs = std::filesystem;
        constexpr uid_t nobody = 65534;
        ::chmod(folder_.c_str(), 0755);
        for (const char* owned : {"home", "tmp"}) {
            fs::create_directories(folder_ / owned);
            if (::chown((folder_ / owned).c_str(), nobody, nobody) != 0) return fail("cannot hand a folder to the user nobody");
            ::chmod((folder_ / owned).c_str(), 0700);
        }
        corvantis::testbed::TestBackend backend;
        if (auto started = backend.start(); !started) return fail(started.error().message);

        // The user runs a copy of the bundle: the build tree may lie where only root can reach.
        const auto copy = corvantis::testbed::ReachableCopy::in(folder_ / "bundle");
        if (!copy) return fail(copy.error().message);
        const auto copied = copy.value().bundle(CORVANTIS_VPN_PROGRAM, CORVANTIS_HELPER_PROGRAM);
        if (!copied) return fail(copied.error().message);
        const fs::path application = copied.value();

        // The helper keeps its root actions inside the demo's folder: routes are only recorded.
        namespace FileSystem = platform::foundation::FileSystem;
        orExit(FileSystem::writeFileAtomically(folder_ / "helper.conf", "", 0600));
        orExit(FileSystem::writeFileAtomically(folder_ / "resolv.conf", "nameserver 192.168.1.1\n", 0644));
        orExit(FileSystem::writeFileAtomically(folder_ / "ip", "#!/bin/sh\necho \"$*\" >> \"" + path("ip.log") + "\"\n", 0755));
        std::optional<corvantis::testbed::HelperDaemon> helper;
        {
            const StandardErrorInto helperLog(folder_ / "helper.log");
            auto options = corvantis::testbed::HelperDaemon::privateFilesIn(folder_);
            options.insert(options.end(),
                           {"--config", path("helper.conf"), "--allow-uid=" + std::to_string(nobody), "--ip=" + path("ip"),
                            "--bundle-resources=" + (application.parent_path() / "Resources").string()});
            helper.emplace(CORVANTIS_HELPER_PROGRAM, folder_ / "helper.sock", options);
        }
        ::chmod(path("helper.sock").c_str(), 0666);  // the helper itself decides whom it serves
        // The installed helper is the application's own copy, so start-up finds nothing to install.
        fs::create_directories(folder_ / "units");
        orExit(FileSystem::writeFileAtomically(
            folder_ / "units" / "com.corvantis.CorvantisHelper.service",
            "[Service]\nExecStart=" +
                (application.parent_path() / "Contents/Library/LaunchServices/com.corvantis.CorvantisHelper").string() + "\n",
            0644));
        // Beside the unit, the installed helper's configuration, which says whom it serves.
        orExit(FileSystem::writeFileAtomically(folder_ / "units" / "com.corvantis.CorvantisHelper.conf",
                                               "allow-uid = " + std::to_string(nobody) + "\n", 0644));

        std::vector<std::string> arguments{
            "--reuid=" + std::to_string(nobody),
            "--regid=" + std::to_string(nobody),
            "--clear-groups",
            "/usr/bin/env",
            "HOME=" + path("home"),
            "XDG_CONFIG_HOME=" + path("home") + "/.config",
            "TMPDIR=" + path("tmp"),
            "CORVANTIS_API_URL=" + backend.url(),
            "CORVANTIS_HELPER_SOCKET=" + path("helper.sock"),
            "CORVANTIS_SYSTEMD_UNIT_DIR=" + path("units"),
            "CORVANTIS_CRASH_DSN=http://5d1c8e0a7b3f4962a0e4c7b1d9f2a683@127.0.0.1:" + std::to_string(backend.port()) + "/4507",
            application.string()};
        std::cout << "corvantis-vpn: starting as the user nobody against the test backend on " << backend.url()
                  << " and the real helper on " << path("helper.sock") << "\n";
        const auto launcher = platform::foundation::PosixProcessLauncher::shared();
        const auto launched = launcher->launch({"/usr/bin/setpriv", arguments, folder_},
                                               {[this](platform::foundation::OutputStream, std::string_view chunk) {
                                                    std::lock_guard lock(mutex_);
                                                    output_ += chunk;
                                                    changed_.notify_all();
                                                },
                                                [this](platform::foundation::ProcessExit exit) {
                                                    std::lock_guard lock(mutex_);
                                                    ended_ = exit;
                                                    changed_.notify_all();
                                                }});
        if (!launched) return fail(launched.error().message);
        // The helper client writes to standard error at once; the log file follows shortly.
        waitFor([&] { return output_.find("Terminating VPN connection") != std::string::npos; });
        std::optional<fs::path> logFile;
        for (int tries = 0; tries < 100; ++tries) {
            if (const auto files = FileSystem::contentsOfDirectory(folder_ / "tmp" / "CorvantisLogs");
                files && !files.value().empty()) {
                logFile = files.value().front();
                const auto content = FileSystem::readFile(*logFile);
                if (content && content.value().find("The main window is set up") != std::string::npos) break;
            }
            std::this_thread::sleep_for(50ms);
        }
        (void)launcher->signalProcessGroup(launched.value(), SIGTERM);
        const bool ended = waitFor([&] { return ended_.has_value(); });
        if (!ended) (void)launcher->signalProcessGroup(launched.value(), SIGKILL);
        waitFor([&] { return ended_.has_value(); });
        helper.reset();

        if (logFile) {
            std::cout << "corvantis-vpn: its log file " << logFile->string() << " holds\n";
            const auto content = FileSystem::readFile(*logFile);
            printMarked(content ? content.value() : content.error().message, "  log: ");
        }
        std::cout << "corvantis-vpn: what it wrote to standard output and standard error\n";
        printMarked(output_, "  output: ");
        const auto helperLines = FileSystem::readFile(folder_ / "helper.log");
        printHelperLines(helperLines ? helperLines.value() : helperLines.error().message);
        const bool clean = ended && ended_->succeeded();
        std::cout << "corvantis-vpn: asked to end with SIGTERM, it "
                  << (clean ? "ended cleanly (status 0)" : "did NOT end cleanly")
                  << "; crash reports received by the test backend: " << backend.crashEvents().size() << "\n";
        return clean && logFile ? 0 : 1;
    }

private:
    std::string path(const char* name) const { return (folder_ / name).string(); }

    bool waitFor(const std::function<bool()>& done) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 20s, done);
    }

    static int fail(const std::string& why) {
        std::cerr << "corvantis-vpn: " << why << "\n";
        return 1;
    }

    const std::filesystem::path folder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::string output_;
    std::optional<platform::foundation::ProcessExit> ended_;
};

int reportApplicationStart() {
    if (::geteuid() != 0) {
        std::cout << "corvantis-vpn: skipped: the step runs the privileged helper, which needs root (run scripts/demo as root)\n";
        return 0;
    }
    char pattern[] = "/tmp/corvantis-demo-app-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    const int status = ApplicationStartDemo(folder).run();
    std::filesystem::remove_all(folder);
    return status;
}

// Inside the sandbox's namespaces: an OpenVPN server in a namespace of its own, the real helper in
// a client namespace, the application's connection path bringing the tunnel up and down.
int runOpenVpnTunnel() {
    using corvantis::testbed::OpenVpnTestbed;
    char pattern[] = "/tmp/corvantis-demo-openvpn-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::filesystem::path folder = pattern;
    OpenVpnTestbed::Options options;
    options.user = "demo@corvantis.test";
    auto testbed = OpenVpnTestbed::up(folder, options);
    if (!testbed) {
        std::cerr << "openvpn: " << testbed.error().message << "\n";
        return 1;
    }
    std::cout << "openvpn: server up in namespace corvantis-vpn-server on " << OpenVpnTestbed::serverAddress
              << " (udp 1194), tunnel network 203.0.113.0/24, fresh test PKI, account \"" << options.user << "\"\n";
    const int status = TunnelDemo(folder, *testbed.value()).run();
    testbed.value().reset();
    std::filesystem::remove_all(folder);
    std::cout << "openvpn: server stopped, namespaces removed\n";
    return status;
}

// The tunnel step changes routes and devices, so it runs inside scripts/sandbox, never on this
// machine's own network.
int reportOpenVpnTunnel() {
    if (::geteuid() != 0) {
        std::cout << "openvpn: skipped: the tunnel step makes network namespaces for the OpenVPN server, which needs "
                     "root (run scripts/demo as root)\n";
        return 0;
    }
    if (auto reason = corvantis::testbed::OpenVpnTestbed::unavailableBecause()) {
        std::cout << "openvpn: skipped: " << *reason << "\n";
        return 0;
    }
    std::promise<platform::foundation::ProcessExit> finished;
    auto launched = platform::foundation::PosixProcessLauncher::shared()->launch(
        {CORVANTIS_SANDBOX_SCRIPT, {std::filesystem::canonical("/proc/self/exe").string(), "--openvpn-tunnel"}, {}},
        {[](platform::foundation::OutputStream stream, std::string_view chunk) {
             (stream == platform::foundation::OutputStream::standardOutput ? std::cout : std::cerr) << chunk << std::flush;
         },
         [&finished](platform::foundation::ProcessExit exit) { finished.set_value(exit); }});
    if (!launched) {
        std::cerr << "openvpn: " << launched.error().message << "\n";
        return 1;
    }
    const auto exit = finished.get_future().get();
    if (exit.exitStatus == 77) return 0;  // the sandbox said why it skipped
    return exit.succeeded() ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    platform::installApplicationServices();
    auto labelled = Services::current();
    labelled.consoleOverride = std::make_shared<LabelledConsole>();
    const platform::ScopedServices console(std::move(labelled));
    if (argc == 2 && std::string(argv[1]) == "--openvpn-tunnel") {
        if (!corvantis::testbed::inSandbox()) {
            std::cerr << "--openvpn-tunnel runs only inside scripts/sandbox\n";
            return 2;
        }
        return runOpenVpnTunnel();
    }
    if (const int failed = reportPlatformCore()) return failed;
    if (const int failed = reportZipRoundTrip()) return failed;
    if (const int failed = writeThroughTheDefaultLogger()) return failed;
    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (const int failed = temporary ? reportBackendClient(temporary.value()) : 1) return failed;
    if (const int failed = reportApplicationStart()) return failed;
    return reportOpenVpnTunnel();
}
