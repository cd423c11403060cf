// Resident memory across sign-ins: the login screen signs the demo subscriber in ten times in one
// process against the test backend with 10,000 servers (a process of its own, so its memory is
// not counted), and each time the user opens the city list, goes back and logs out, as a person
// would. Crash reports go to the backend's store endpoint as they would to the service. Prints
// the resident memory after each sign-in (city list seen) on standard error and one table row,
// the largest of them against the first (see scripts/bench).
#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ConnectView.hpp"
#include "app/CrashReportMasking.hpp"
#include "app/LocationsView.hpp"
#include "app/LoginView.hpp"
#include "app/MainWindow.hpp"
#include "app/SettingsView.hpp"
#include "app/SettingsViewButton.hpp"
#include "bench/ComparisonRow.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/crashreporting/HttpEventSink.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Button.hpp"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using corvantis::MainWindow;
using corvantis::bench::formatted;
using namespace std::chrono_literals;

constexpr int signIns = 10;
constexpr const char* servers = "10000";

// The test backend as a child process; its URL once it listens.
class Testbed {
public:
    Testbed() {
        int output[2];
        if (::pipe(output) != 0) throw std::runtime_error("pipe failed");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, output[1], 1);
        posix_spawn_file_actions_addclose(&actions, output[0]);
        std::vector<std::string> arguments = {
            CORVANTIS_TESTBED_PROGRAM, "--port", "0", "--servers", servers, "--countries", "200"};
        std::vector<char*> argv;
        for (auto& argument : arguments) argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(output[1]);
        if (spawned != 0) throw std::runtime_error("cannot start the test backend");
        std::string said;
        char byte = 0;
        const std::string marker = "listening on ";
        while (::read(output[0], &byte, 1) == 1 && byte != '\n') said += byte;
        ::close(output[0]);
        const auto at = said.find(marker);
        if (at == std::string::npos) throw std::runtime_error("the test backend did not start: " + said);
        url_ = said.substr(at + marker.size());
    }
    ~Testbed() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    const std::string& url() const { return url_; }
    // host:port of the URL.
    std::string authority() const { return url_.substr(url_.find("//") + 2, url_.rfind('/') - url_.find("//") - 2); }

private:
    pid_t pid_ = 0;
    std::string url_;
};

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with("VmRSS:")) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

platform::ui::Button& buttonSending(platform::ui::View& screen, const std::string& action) {
    for (const auto& view : screen.selfAndDescendants()) {
        if (auto* button = dynamic_cast<platform::ui::Button*>(view.get()); button && button->action() == action) return *button;
    }
    throw std::runtime_error("no button sends " + action);
}

platform::ui::Control& settingsLabel(int tag) {
    for (const auto& view : MainWindow::shared().settingsView->selfAndDescendants()) {
        if (auto* label = dynamic_cast<corvantis::SettingsViewButton*>(view.get()); label && label->tag() == tag) return *label;
    }
    throw std::runtime_error("no settings label has the tag " + std::to_string(tag));
}

void waitFor(const std::function<bool()>& done, const char* what) {
    const auto mainQueue = platform::Services::current().mainQueue();
    if (!mainQueue->runUntil(done, 60s)) throw std::runtime_error(std::string("timed out waiting until ") + what);
}

// Crash reporting as the application starts it, to the backend's store endpoint.
void startCrashReporting(const Testbed& testbed) {
    const std::string text = "http://benchkey@" + testbed.authority() + "/1";
    auto dsn = platform::crashreporting::Dsn::parse(text);
    if (!dsn) throw std::runtime_error(dsn.error().message);
    platform::crashreporting::CrashReporter::Options options{
        .dsn = text, .debug = true, .beforeSend = corvantis::maskCredentials};
    platform::crashreporting::CrashReporter::current()->start(
        std::move(options), std::make_shared<platform::crashreporting::HttpEventSink>(
                                std::move(dsn.value()), "corvantis-vpn", true, platform::Services::current().urlSession()));
}

// One sign-in as a person makes it, then a look at the city list; throws when it fails.
void signInAndBrowse() {
    auto& mainWindow = MainWindow::shared();
    mainWindow.show();
    auto& login = *mainWindow.loginView;
    login.txtUsername->setStringValue("");
    login.txtPassword->setStringValue("");
    login.txtUsername->type("demo@corvantis.test\tdemo-password\r");
    waitFor([&] { return !platform::ui::Alert::pendingAlerts().empty() || login.isHidden(); }, "the sign-in ended");
    if (!platform::ui::Alert::pendingAlerts().empty()) throw std::runtime_error("the sign-in failed with an alert");
    mainWindow.connectView->btnLocation->click();
    waitFor([&] { return !mainWindow.locationsView->isHidden(); }, "the city list showed");
    platform::Services::current().mainQueue()->runUntil([] { return false; }, 200ms);
}

void logOut() {
    auto& mainWindow = MainWindow::shared();
    buttonSending(*mainWindow.locationsView, "btnBackButtonClick:").click();
    buttonSending(*mainWindow.connectView, "btnSettingsClick:").click();
    mainWindow.settingsView->btnAccount->click();
    settingsLabel(corvantis::SettingsViewButton::logOutTag).click();
    waitFor([&] { return !mainWindow.loginView->isHidden(); }, "the login screen is back");
    platform::Services::current().mainQueue()->runUntil([] { return false; }, 200ms);
}

}  // namespace

int main() {
    platform::installApplicationServices();
    std::string pattern = (fs::temp_directory_path() / "corvantis-compare-signin-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "compare_signin_memory: cannot make a folder\n";
        return 1;
    }
    const fs::path folder = pattern;
    int exitCode = 0;
    try {
        const Testbed testbed;
        ::setenv("CORVANTIS_API_URL", testbed.url().c_str(), 1);
        ::setenv("CORVANTIS_HELPER_SOCKET", (folder / "no-helper.sock").c_str(), 1);
        ::setenv("TMPDIR", folder.c_str(), 1);
        platform::Services services;
        services.userDefaultsOverride = platform::foundation::UserDefaults::open(folder / "defaults.json");
        services.keychainOverride = platform::security::KeychainStore::open(folder / "keychain.json");
        services.localeOverride = std::make_shared<const platform::foundation::Locale>("en_US");
        const platform::ScopedServices scope(services);

        startCrashReporting(testbed);
        const auto delegate = std::make_shared<corvantis::AppDelegate>();
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        MainWindow::shared().setup(corvantis::registerMainStoryboard());

        std::vector<double> resident;
        for (int signIn = 1; signIn <= signIns; ++signIn) {
            signInAndBrowse();
            resident.push_back(residentMegabytes());
            std::cerr << "compare_signin_memory: resident memory after sign-in " << signIn << ": "
                      << formatted("%.1f MB", resident.back()) << "\n";
            logOut();
        }
        const double largest = std::ranges::max(resident);
        const double ratio = largest / resident.front();
        corvantis::bench::printRow("largest resident memory over " + std::to_string(signIns) + " sign-ins with " +
                                       std::string(servers) + " servers vs after the 1st",
                                   formatted("%.1f MB", largest), formatted("%.1f MB", resident.front()),
                                   formatted("%.3fx", ratio), "<= 1.05x", ratio <= 1.05);
        MainWindow::resetShared();
        corvantis::AppDelegate::setShared(nullptr);
    } catch (const std::exception& error) {
        std::cerr << "compare_signin_memory: " << error.what() << "\n";
        exitCode = 1;
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return exitCode;
}
