// The application as a user runs it, with the real helper program on a socket of the test's own:
// the corvantis-vpn program starting and ending, and quitting with the route restored.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/FileDescriptor.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/foundation/PosixProcessLauncher.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"
#include "platform/xpc/XpcConnector.hpp"
#include "support/Patience.hpp"
#include "support/ProgramRun.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/HelperDaemon.hpp"
#include "testbed/helper/ReachableCopy.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using corvantis::testing::ScopedEnvironment;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;
namespace FileSystem = platform::foundation::FileSystem;

constexpr uid_t ordinaryUser = 65534;  // nobody

// The helper program serving root and `user` for the bundle whose resources are `resources`, with
// its root actions kept inside `folder`: the route tool records its arguments, the resolver and
// keychain files are the folder's own.
std::unique_ptr<corvantis::testbed::HelperDaemon> startHelper(const std::filesystem::path& folder, uid_t user,
                                                              const std::filesystem::path& resources) {
    EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "resolv.conf", "nameserver 192.168.1.1\n", 0644));
    EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "helper.conf", "", 0600));
    EXPECT_TRUE(FileSystem::writeFileAtomically(folder / "ip",
                                                "#!/bin/sh\necho \"$*\" >> \"" + (folder / "ip.log").string() + "\"\n", 0755));
    const auto path = [&](const char* name) { return (folder / name).string(); };
    // The helper's own lines go to "helper.log": its standard error is ours while it starts.
    const platform::foundation::FileDescriptor log(
        ::open(path("helper.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    const platform::foundation::FileDescriptor savedError(::dup(STDERR_FILENO));
    ::dup2(log.get(), STDERR_FILENO);
    auto options = corvantis::testbed::HelperDaemon::privateFilesIn(folder);
    options.insert(options.end(), {"--config", path("helper.conf"), "--allow-uid=" + std::to_string(user), "--ip=" + path("ip"),
                                   "--bundle-resources=" + resources.string()});
    auto daemon = std::make_unique<corvantis::testbed::HelperDaemon>(CORVANTIS_HELPER_PROGRAM, folder / "helper.sock", options);
    ::dup2(savedError.get(), STDERR_FILENO);
    ::chmod((folder / "helper.sock").c_str(), 0666);  // the helper itself decides whom it serves
    return daemon;
}

// Waits for an outside process to have written `text` into `file`.
bool waitForText(const std::filesystem::path& file, const std::string& text) {
    return corvantis::testing::eventually([&] {
        const auto content = FileSystem::readFile(file);
        return content && content.value().find(text) != std::string::npos;
    });
}

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "the helper serves root and the users root configured; this test is not root";
        ::chmod(folder.path().c_str(), 0755);
        for (const char* owned : {"home", "tmp", "runtime"}) {
            ASSERT_TRUE(FileSystem::createDirectories(folder / owned));
            ASSERT_EQ(::chown((folder / owned).c_str(), ordinaryUser, ordinaryUser), 0);
            ::chmod((folder / owned).c_str(), 0700);
        }
        // The user runs a copy of the bundle: the build tree may lie where only root can reach.
        const auto copy = corvantis::testbed::ReachableCopy::in(folder / "bundle");
        ASSERT_TRUE(copy) << copy.error().message;
        const auto copied = copy.value().bundle(CORVANTIS_VPN_PROGRAM, CORVANTIS_HELPER_PROGRAM);
        ASSERT_TRUE(copied) << copied.error().message;
        application = copied.value();
        // The installed helper is the bundle's own copy, so nothing needs installing.
        ASSERT_TRUE(FileSystem::createDirectories(folder / "units"));
        ASSERT_TRUE(FileSystem::writeFileAtomically(
            folder / "units" / "com.corvantis.CorvantisHelper.service",
            "[Service]\nExecStart=" +
                (application.parent_path() / "Contents/Library/LaunchServices/com.corvantis.CorvantisHelper").string() + "\n",
            0644));
        // Beside it, the installed helper's configuration, which says whom it serves.
        ASSERT_TRUE(FileSystem::writeFileAtomically(folder / "units" / "com.corvantis.CorvantisHelper.conf",
                                                    "allow-uid = " + std::to_string(ordinaryUser) + "\n", 0644));
        helper = startHelper(folder.path(), ordinaryUser, application.parent_path() / "Resources");
    }

    // A program the test did not end is not left behind.
    void TearDown() override {
        if (started > 0 && !waitUntilFor(0s)) {
            (void)launcher->signalProcessGroup(started, SIGKILL);
            waitUntilFor(corvantis::testing::patience(60s));
        }
    }

    bool waitUntilFor(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return ended.has_value(); });
    }

    // The program as the ordinary user runs it: setpriv's arguments.
    Texts asOrdinaryUser() const {
        Texts arguments{"--reuid=" + std::to_string(ordinaryUser), "--regid=" + std::to_string(ordinaryUser), "--clear-groups",
                        "/usr/bin/env"};
        // The launcher hands programs a fixed environment; these are the settings a user would export.
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "TMPDIR", "CORVANTIS_API_URL",
                                 "CORVANTIS_HELPER_SOCKET", "CORVANTIS_SYSTEMD_UNIT_DIR", "CORVANTIS_CRASH_DSN"}) {
            arguments.push_back(std::string(name) + "=" + std::getenv(name));
        }
        arguments.push_back(application.string());
        return arguments;
    }

    // Starts the program as the ordinary user; its output collects in `output`.
    pid_t start() {
        const auto launched = launcher->launch({"/usr/bin/setpriv", asOrdinaryUser(), folder.path()},
                                               {[this](platform::foundation::OutputStream, std::string_view chunk) {
                                                    std::lock_guard lock(mutex);
                                                    output += chunk;
                                                    changed.notify_all();
                                                },
                                                [this](platform::foundation::ProcessExit exit) {
                                                    std::lock_guard lock(mutex);
                                                    ended = exit;
                                                    changed.notify_all();
                                                }});
        EXPECT_TRUE(launched);
        started = launched ? launched.value() : -1;
        return started;
    }

    bool waitUntil(const std::function<bool()>& done) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, corvantis::testing::patience(120s), done);
    }

    corvantis::testing::TemporaryFolder folder;
    corvantis::testing::LoopbackBackend backend;
    std::filesystem::path application;
    ScopedEnvironment home{"HOME", (folder / "home").string()};
    ScopedEnvironment config{"XDG_CONFIG_HOME", (folder / "home" / ".config").string()};
    ScopedEnvironment tmpdir{"TMPDIR", (folder / "tmp").string()};
    ScopedEnvironment runtime{"XDG_RUNTIME_DIR", (folder / "runtime").string()};
    ScopedEnvironment socket{"CORVANTIS_HELPER_SOCKET", (folder / "helper.sock").string()};
    ScopedEnvironment units{"CORVANTIS_SYSTEMD_UNIT_DIR", (folder / "units").string()};
    ScopedEnvironment reports{"CORVANTIS_CRASH_DSN",
                              "http://5d1c8e0a7b3f4962a0e4c7b1d9f2a683@127.0.0.1:" + std::to_string(backend->port()) + "/4507"};
    std::unique_ptr<corvantis::testbed::HelperDaemon> helper;
    std::shared_ptr<platform::foundation::ProcessLauncher> launcher = platform::foundation::PosixProcessLauncher::shared();
    std::mutex mutex;
    std::condition_variable changed;
    std::string output;
    std::optional<platform::foundation::ProcessExit> ended;
    pid_t started = -1;
};

TEST(Program, HelpAndVersionAnswerWithoutStartingAnythingAndOtherArgumentsAreRefused) {
    const auto version = corvantis::testing::runProgram({CORVANTIS_VPN_PROGRAM, {"--version"}, {}});
    EXPECT_TRUE(version.exit.succeeded());
    EXPECT_EQ(version.standardOutput, "corvantis-vpn 1.0.0\n");
    const auto help = corvantis::testing::runProgram({CORVANTIS_VPN_PROGRAM, {"--help"}, {}});
    EXPECT_TRUE(help.exit.succeeded());
    EXPECT_TRUE(help.standardOutput.starts_with("usage: corvantis-vpn [--help] [--version]\n"));
    EXPECT_EQ(help.standardOutput.find("Hello"), std::string::npos);
    const auto both = corvantis::testing::runProgram({CORVANTIS_VPN_PROGRAM, {"--help", "--version"}, {}});
    EXPECT_TRUE(both.exit.succeeded()) << both.standardError;
    EXPECT_EQ(both.standardOutput, version.standardOutput + help.standardOutput);
    const auto wrong = corvantis::testing::runProgram({CORVANTIS_VPN_PROGRAM, {"--connect"}, {}});
    EXPECT_EQ(wrong.exit.exitStatus, 2);
    EXPECT_NE(wrong.standardError.find("unexpected argument \"--connect\""), std::string::npos);
}

TEST(Program, HelpListsEveryEnvironmentOverrideTheProgramReads) {
    const auto help = corvantis::testing::runProgram({CORVANTIS_VPN_PROGRAM, {"--help"}, {}}).standardOutput;
    // Every "CORVANTIS_…" text in the program's sources names a variable it reads, but for the
    // clipboard's X atom.
    const std::regex name("\"(CORVANTIS_[A-Z_]+)\"");
    std::set<std::string> unlisted;
    for (const char* folder : {"app", "platform", "StatusPopup", "HelperService/CorvantisHelperController",
                               "HelperService/CorvantisHelperInterface", "PRQLogger", "Zip"}) {
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::path(CORVANTIS_SOURCE_DIR) / folder)) {
            if (entry.path().extension() != ".cpp" && entry.path().extension() != ".hpp") continue;
            std::istringstream lines(FileSystem::readFile(entry.path()).value());
            for (std::string line; std::getline(lines, line);) {
                if (line.find("atom(") != std::string::npos) continue;
                for (std::sregex_iterator found(line.begin(), line.end(), name), end; found != end; ++found) {
                    if (help.find((*found)[1].str()) == std::string::npos) unlisted.insert((*found)[1].str());
                }
            }
        }
    }
    EXPECT_TRUE(unlisted.empty()) << ::testing::PrintToString(unlisted);
}

TEST_F(ProgramTest, AsAnOrdinaryUserTheProgramStartsUpLogsAndEndsCleanlyWhenAskedTo) {
    const auto pid = start();
    ASSERT_GT(pid, 0);
    // Standard error is unbuffered: the helper client's lines arrive as they are written.
    ASSERT_TRUE(waitUntil([&] { return output.find("Terminating VPN connection") != std::string::npos || ended; })) << output;
    ASSERT_FALSE(ended) << output;
    EXPECT_NE(output.find("Helper tool is installed."), std::string::npos) << "the installed helper was confirmed";

    const auto files = FileSystem::contentsOfDirectory(folder / "tmp" / "CorvantisLogs");
    ASSERT_TRUE(files);
    ASSERT_EQ(files.value().size(), 1u);
    const auto& logFile = files.value().front();
    EXPECT_TRUE(logFile.filename().string().starts_with("CorvantisVPN_")) << logFile;
    struct stat status {};
    ASSERT_EQ(::stat(logFile.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, ordinaryUser) << "the log is the user's own";
    EXPECT_TRUE(waitForText(logFile, "applicationDidFinishLaunching(_:) > Hello Corvantis MacOS"));
    EXPECT_TRUE(waitForText(logFile, "appInit() > The main window is set up"));

    ASSERT_TRUE(launcher->signalProcessGroup(pid, SIGTERM));
    ASSERT_TRUE(waitUntil([&] { return ended.has_value(); })) << output;
    EXPECT_TRUE(ended->succeeded()) << "status " << ended->exitStatus << ", signal " << ended->signal << "\n" << output;
    EXPECT_NE(output.find("Hello Corvantis MacOS\n"), std::string::npos) << "the greeting on standard output";
    EXPECT_TRUE(backend->crashEvents().empty()) << "a start-up without failures reports nothing";
}

TEST_F(ProgramTest, QuittingHasTheRealHelperRestoreTheRouteBeforeTheApplicationEnds) {
    // The application in this process, as root, against the same helper.
    corvantis::testing::AppTestEnvironment environment{nullptr, platform::xpc::UnixSocketXpcConnector::shared()};
    platform::ui::Application::shared().reset();
    auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.loginView = std::make_shared<corvantis::LoginView>();
    mainWindow.connectView = std::make_shared<corvantis::ConnectView>();
    auto popup = std::make_shared<platform::ui::Window>(platform::ui::Rect(0, 0, 300, 400));
    popup->setContentView(std::make_shared<platform::ui::View>());
    popup->contentView()->addSubview(mainWindow.loginView);
    mainWindow.loginView->setAlphaValue(0);
    mainWindow.connectView->connectionState = corvantis::ConnectionState::connected;
    delegate->gateway = "192.168.1.1";

    delegate->quit();
    const auto alerts = platform::ui::Alert::pendingAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    ASSERT_TRUE(alerts.front()->answer("Quit"));
    environment.runMainQueue();
    EXPECT_TRUE(platform::ui::Application::shared().isTerminated());
    // Both calls were written before terminate returned; the helper carries them out on its own.
    EXPECT_TRUE(waitForText(folder / "ip.log", "-4 route add default via 192.168.1.1"));
    EXPECT_TRUE(waitForText(folder / "helper.log", "terminating openvpn process")) << "the tunnels were ended";
    platform::ui::Alert::forgetPendingAlerts();
    platform::ui::Application::shared().reset();
}

TEST_F(ProgramTest, ASecondStartOpensTheRunningOnesPopupAndEndsWithoutTouchingTheHelper) {
    ASSERT_GT(start(), 0);
    const auto logs = folder / "tmp" / "CorvantisLogs";
    ASSERT_TRUE(waitUntil([&] { return output.find("Terminating VPN connection") != std::string::npos || ended; })) << output;
    const auto files = FileSystem::contentsOfDirectory(logs);
    ASSERT_TRUE(files && files.value().size() == 1u);
    const auto logFile = files.value().front();
    ASSERT_TRUE(waitForText(logFile, "appInit() > The main window is set up"));

    const auto second = corvantis::testing::runProgram({"/usr/bin/setpriv", asOrdinaryUser(), folder.path()});
    EXPECT_TRUE(second.exit.succeeded()) << second.standardError;
    EXPECT_EQ(second.standardOutput, "Corvantis VPN is running already: its popup opens there.\n");
    EXPECT_EQ(second.standardError, "") << "no helper call, no log file, no crash reporting";
    EXPECT_TRUE(waitForText(logFile, "Another start of the application asks for the popup"));
    EXPECT_EQ(FileSystem::contentsOfDirectory(logs).value().size(), 1u);
    EXPECT_FALSE(ended) << "the first start runs on";
}

TEST_F(ProgramTest, AHelperThatCannotBeInstalledSaysWhyOnStandardErrorAndInTheLog) {
    // No helper installed, and this machine cannot install one (no systemd, no pkexec).
    std::filesystem::remove(folder / "units" / "com.corvantis.CorvantisHelper.service");
    ASSERT_GT(start(), 0);
    ASSERT_TRUE(waitUntil([&] {
        return output.find("Start-up stops: the helper cannot be installed: ") != std::string::npos || ended;
    })) << output;
    EXPECT_FALSE(ended) << "the program keeps running, as the alert's road goes";
    const auto files = FileSystem::contentsOfDirectory(folder / "tmp" / "CorvantisLogs");
    ASSERT_TRUE(files && files.value().size() == 1u);
    EXPECT_TRUE(
        waitForText(files.value().front(), "Start-up stops: the helper cannot be installed: Helper tool installing failed ("));
    EXPECT_NE(output.find("kill " + std::to_string(started)), std::string::npos) << "standard error says how to end it";
}

}  // namespace
