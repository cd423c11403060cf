// Start-up: this run's log file, the crash reports' masking and what of them reaches the
// service, the order of the start-up steps, and the road that ends start-up with the support
// alert.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/CrashReportMasking.hpp"
#include "app/LoginView.hpp"
#include "app/MainWindow.hpp"
#include "app/ProductConstants.hpp"
#include "app/RunningInstance.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "fixtures/UserTexts.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/FontRegistry.hpp"
#include "support/Patience.hpp"
#include "support/RecordingWorkspaceOpener.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using corvantis::AppDelegate;
using corvantis::MainWindow;
using platform::crashreporting::Event;
using platform::ui::Alert;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::ui::Application::shared().reset();
        Alert::forgetPendingAlerts();
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(temporary));
        delegate->logger = prq::PRQLogger::make("launch", false);
        delegate->logger->add(log);
        AppDelegate::setShared(delegate);
    }

    void TearDown() override {
        Alert::forgetPendingAlerts();
        platform::ui::Application::shared().reset();
    }

    // Runs the second stage until the backend's device id has come back.
    void launchSecondStage() {
        delegate->appInit();
        ASSERT_TRUE(environment.runMainQueueUntil(
            [&] { return !environment.serviceManager->steps.empty() || environment.serviceManager->installedProgram; }));
        environment.runMainQueue();
    }

    Texts messages() const {
        Texts found;
        for (const auto& event : environment.reportedEvents()) found.push_back(event.message);
        return found;
    }

    corvantis::testing::LoopbackBackend backend;
    corvantis::testing::AppTestEnvironment environment;
    std::filesystem::path temporary = environment.folder / "tmp";
    corvantis::testing::ScopedEnvironment tmpdir{"TMPDIR", temporary.string()};
    corvantis::testing::ScopedEnvironment noReports{"CORVANTIS_CRASH_DSN", ""};
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<corvantis::testing::RecordingDestination> log = std::make_shared<corvantis::testing::RecordingDestination>();
};

TEST_F(LaunchTest, EachRunLogsToAFileNamedByItsMinuteAndARunInTheSameMinuteAppendsToIt) {
    const auto folder = temporary / "CorvantisLogs";
    const auto read = [](const std::filesystem::path& file) { return platform::foundation::FileSystem::readFile(file).value(); };
    ::testing::internal::CaptureStdout();
    delegate->applicationDidFinishLaunching();  // the virtual clock starts at 7 December 2026, 22:02:20 UTC
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Hello Corvantis MacOS\n");
    const auto file = folder / "CorvantisVPN_071220262202.log";
    ASSERT_TRUE(platform::foundation::FileSystem::fileExists(file));
    ASSERT_FALSE(log->logged().empty());
    EXPECT_EQ(log->logged().back(), "applicationDidFinishLaunching(_:): Hello Corvantis MacOS");
    // Start-up goes on in the device check's completion, which arrives when the machine lets it:
    // the first run has settled once its main window is set up.
    ASSERT_TRUE(environment.runMainQueueUntil(
        [&] { return read(file).find("The main window is set up") != std::string::npos; }));
    const auto first = read(file);
    EXPECT_NE(first.find("Hello Corvantis MacOS"), std::string::npos);
    EXPECT_EQ(first.find("-- ** ** ** --"), std::string::npos) << "a new file has no append marker";

    environment.time.advance(39s);  // 22:02:59
    auto second = std::make_shared<AppDelegate>();
    second->logger = prq::PRQLogger::make("second", false);
    ::testing::internal::CaptureStdout();
    second->applicationDidFinishLaunching();
    ::testing::internal::GetCapturedStdout();
    const auto both = read(file);
    ASSERT_TRUE(both.starts_with(first)) << "the first run's lines stay as they were";
    const auto appended = both.substr(first.size());
    EXPECT_TRUE(appended.starts_with("-- ** ** ** --\n")) << appended;
    EXPECT_NE(appended.find("PRQLogger appending log to: file://"), std::string::npos) << appended;
    EXPECT_NE(appended.find("Hello Corvantis MacOS"), std::string::npos);

    environment.time.advance(1s);  // 22:03:00
    auto third = std::make_shared<AppDelegate>();
    third->logger = prq::PRQLogger::make("third", false);
    ::testing::internal::CaptureStdout();
    third->applicationDidFinishLaunching();
    ::testing::internal::GetCapturedStdout();
    const auto greetings = [](const std::string& text) {
        std::size_t count = 0;
        for (auto at = text.find("Hello Corvantis MacOS"); at != std::string::npos;
             at = text.find("Hello Corvantis MacOS", at + 1)) {
            ++count;
        }
        return count;
    };
    // The earlier runs go on logging into their own file; the third run greets only in its own.
    ASSERT_TRUE(platform::foundation::FileSystem::fileExists(folder / "CorvantisVPN_071220262203.log"));
    EXPECT_EQ(greetings(read(folder / "CorvantisVPN_071220262203.log")), 1u);
    EXPECT_EQ(greetings(read(file)), 2u);
}

TEST_F(LaunchTest, AFolderThatCannotBeMadeIsReportedAndStartUpGoesOn) {
    ASSERT_TRUE(
        platform::foundation::FileSystem::writeFileAtomically(temporary / "CorvantisLogs", "a file in the folder's place", 0600));
    environment.reporter->start({}, environment.sink);
    corvantis::testing::ScopedEnvironment reports{"CORVANTIS_CRASH_DSN",
                                                  "http://k@127.0.0.1:" + std::to_string((*backend).port()) + "/9"};
    ::testing::internal::CaptureStdout();
    delegate->applicationDidFinishLaunching();
    ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(log->logged().empty()) << "no greeting line without a log file";
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return !environment.serviceManager->steps.empty(); }))
        << "the device id is asked for all the same";
    ASSERT_TRUE(environment.reporter->flush(corvantis::testing::patience(60s)));
    const auto events = (*backend).crashEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[0]["message"]["formatted"].get<std::string>().rfind("Logger init error: ", 0), 0u);
}

TEST_F(LaunchTest, TheHookMasksThePasswordAndTheUserNameInTheRequestBody) {
    const auto masked = [](const std::string& password, std::optional<std::string> username, nlohmann::json extras) {
        corvantis::ApiService::password = password;
        corvantis::UserSettings::setUsername(std::move(username));
        Event event;
        event.extras = std::move(extras);
        return corvantis::maskCredentials(std::move(event)).extras;
    };
    const nlohmann::json body{{"request.httpBody", "username=ann@x.test&password=s3cret&again=s3cret"}};
    EXPECT_EQ(masked("s3cret", "ann@x.test", body),
              (nlohmann::json{{"request.httpBody", "username=********&password=********&again=********"}}));
    EXPECT_EQ(masked("", "ann@x.test", body), body) << "no password known: unchanged";
    EXPECT_EQ(masked("s3cret", "", body),
              (nlohmann::json{{"request.httpBody", "username=ann@x.test&password=********&again=********"}}));
    EXPECT_EQ(masked("s3cret", std::nullopt, body),
              (nlohmann::json{{"request.httpBody", "username=ann@x.test&password=********&again=********"}}));
    EXPECT_EQ(masked("a\"b\\c", "ann", nlohmann::json{{"request.httpBody", "p=a\"b\\c&u=ann"}}),
              (nlohmann::json{{"request.httpBody", "p=********&u=********"}}));
    EXPECT_EQ(masked("s3cret", "ann", nlohmann::json{{"url", "u"}}), (nlohmann::json{{"url", "u"}, {"request.httpBody", "nil"}}));
    EXPECT_EQ(masked("s3cret", "ann", nlohmann::json::object()), nlohmann::json::object()) << "no extras: unchanged";
    EXPECT_EQ(masked("ab", "abab", nlohmann::json{{"request.httpBody", "ababab"}}),
              (nlohmann::json{{"request.httpBody", "************************"}}));
}

TEST_F(LaunchTest, TheHookMasksAHeldSecretInEveryTextAlsoAsJsonEscapesIt) {
    corvantis::UserSettings::setVpnPassword("vpn/held \u00e9");
    Event event;
    event.message = "refused for vpn/held \u00e9";
    event.breadcrumbs.push_back({.category = "reply", .data = {{"body", R"({"note":"vpn\/held \u00e9"})"}}});
    const auto masked = corvantis::maskCredentials(std::move(event));
    EXPECT_EQ(masked.message, "refused for ********");
    EXPECT_EQ(masked.breadcrumbs.at(0).data["body"], R"({"note":"********"})");
}

TEST_F(LaunchTest, ReportsOfFailedSignedInCallsReachTheServiceWithoutAnySecretAndWithTheReplyCut) {
    corvantis::testing::ScopedEnvironment reports{"CORVANTIS_CRASH_DSN",
                                                  "http://k@127.0.0.1:" + std::to_string((*backend).port()) + "/9"};
    ::testing::internal::CaptureStdout();
    delegate->applicationDidFinishLaunching();
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(environment.runMainQueueUntil([] { return MainWindow::shared().loginView != nullptr; }));
    std::vector<std::string> secrets{"demo-password", "refresh-5d1c8e0a7b3f", "vpn-demo-secret"};
    const auto signInAndFail = [&] {
        MainWindow::shared().show();
        MainWindow::shared().loginView->txtUsername->setStringValue("");
        MainWindow::shared().loginView->txtPassword->setStringValue("");
        MainWindow::shared().loginView->txtUsername->type("demo@corvantis.test\tdemo-password\r");
        ASSERT_TRUE(environment.runMainQueueUntil([] { return !Alert::pendingAlerts().empty(); }));
        ASSERT_TRUE(Alert::pendingAlerts().front()->answer("OK"));
        secrets.push_back(corvantis::ApiService::token.value_or("no token"));
    };

    // A signed-in call whose long reply names a refresh token, then a profile refused with the
    // VPN password in it.
    std::string trace;
    for (int i = 0; i < 100000; ++i) trace += "\u20ac";  // three bytes each: no cut may split one
    const nlohmann::json failure{
        {"error", "server_error"}, {"message", "Internal error"}, {"refresh_token", "refresh-5d1c8e0a7b3f"}, {"trace", trace}};
    (*backend).enqueueReply("/account/api2/available-products", {500, "application/json", failure.dump()});
    signInAndFail();
    auto refused = corvantis::testbed::TestBackend::profileOf(corvantis::testbed::BackendConfiguration::demo().accounts[0]);
    refused.update({{"error", "access_denied"}, {"message", "Account on hold"}});
    (*backend).enqueueReply("/account/api2/me", {403, "application/json", refused.dump()});
    signInAndFail();
    ASSERT_TRUE(environment.reporter->flush(corvantis::testing::patience(60s)));

    std::vector<nlohmann::json> sent;
    for (const auto& request : (*backend).requests()) {
        if (request.path != "/api/9/store/") continue;
        for (const auto& secret : secrets) EXPECT_EQ(request.body.find(secret), std::string::npos) << secret;
        EXPECT_LT(request.body.size(), 4 * corvantis::longestReportedText);
        sent.push_back(nlohmann::json::parse(request.body));
    }
    ASSERT_EQ(sent.size(), 2u);
    for (const auto& event : sent) {
        EXPECT_EQ(event["message"]["formatted"], corvantis::testing::texts::checkInternet);
        const auto& request = event["contexts"]["API request"];
        EXPECT_NE(request["headers"].get<std::string>().find("\"Bearer ********\""), std::string::npos) << request["headers"];
    }
    // Deliveries travel side by side: the long reply is the one without the profile in it.
    const auto& longReply = sent[sent[0].dump().find("freeradius_pass") == std::string::npos ? 0 : 1];
    const auto data = longReply["contexts"]["API request"]["response.data"].get<std::string>();
    EXPECT_LE(data.size(), corvantis::longestReportedText + 40);
    EXPECT_TRUE(data.starts_with(R"({"error":"server_error")")) << data.substr(0, 60);
    EXPECT_NE(data.find(corvantis::cutMarker), std::string::npos);
    EXPECT_TRUE(data.ends_with(" bytes]")) << data.substr(data.size() - 60);
}

TEST_F(LaunchTest, StartUpInstallsTheHelperThenCleansUpThenBuildsTheMainWindow) {
    launchSecondStage();
    EXPECT_EQ(environment.serviceManager->steps, Texts{"bless com.corvantis.CorvantisHelper"});
    EXPECT_TRUE(delegate->helperJustInstalled);
    ASSERT_TRUE(delegate->helper);
    EXPECT_EQ(delegate->helper, corvantis::HelperService::shared());
    EXPECT_EQ(environment.helper->selectors(), (Texts{"disconnect", "runCommand:withReply:", "toggleIpv6:withReply:"}));
    ASSERT_EQ(environment.helper->commands().size(), 1u);
    EXPECT_TRUE(environment.helper->commands()[0].starts_with("sh \""));
    EXPECT_TRUE(environment.helper->commands()[0].ends_with("/down.sh\""));
    EXPECT_TRUE(MainWindow::shared().loginView) << "the main window is set up";
    const auto& popup = MainWindow::shared().popupController;
    ASSERT_TRUE(popup);
    EXPECT_TRUE(popup->statusItemClicked);
    EXPECT_TRUE(popup->isOpening);
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    const auto user = environment.reportScope().user();
    ASSERT_TRUE(user);
    EXPECT_TRUE((*backend).knowsDevice(user->userId)) << "the crash reports name the registered device";
    EXPECT_EQ(log->logged().back(), "appInit(): The main window is set up");
}

TEST_F(LaunchTest, AHelperThatCannotBeInstalledEndsStartUpWithTheSupportAlert) {
    environment.serviceManager->blessFailure = platform::foundation::DomainError{"d", 5, "The user cancelled"};
    auto opener = std::make_shared<corvantis::testing::RecordingWorkspaceOpener>();
    auto services = platform::Services::current();
    services.workspaceOpenerOverride = opener;
    platform::ScopedServices withOpener(std::move(services));
    std::shared_ptr<Alert> shown;
    platform::ui::Application::shared().setModalHandler([&](platform::ui::Window&) {
        shown = Alert::pendingAlerts().front();
        shown->answer("Support");
    });

    launchSecondStage();
    ASSERT_TRUE(shown);
    const auto deviceId = environment.reportScope().user().value().userId;
    EXPECT_FALSE(deviceId.empty());
    EXPECT_EQ(shown->messageText(), "Looks like Corvantis crashed");
    EXPECT_EQ(shown->informativeText(),
              "Please, contact support to investigate the issue. UserID: " + deviceId +
                  "\n\nThe helper cannot be installed: Helper tool installing failed (The user cancelled).");
    // The reason reaches the log file and standard error as well, not only the crash reports.
    const std::string reason =
        "Start-up stops: the helper cannot be installed: Helper tool installing failed (The user cancelled)";
    EXPECT_EQ(log->logged(prq::Level::error), Texts{"appInit(): " + reason});
    const auto console = environment.console->messages();
    EXPECT_TRUE(std::ranges::any_of(console, [&](const std::string& line) {
        return line.starts_with(reason + ". The program keeps running");
    })) << ::testing::PrintToString(console);
    EXPECT_EQ(shown->buttons().size(), 2u);
    EXPECT_EQ(shown->buttons()[1]->title(), "Close");
    // In the screens' face, though no screen exists yet.
    for (const auto& view : shown->window()->contentView()->subviews()) {
        if (const auto* control = dynamic_cast<const platform::ui::Control*>(view.get())) {
            EXPECT_EQ(control->font().fontName(), platform::ui::FontRegistry::screenFaceName);
        }
    }
    ASSERT_EQ(opener->opened.size(), 1u);
    EXPECT_EQ(opener->opened[0], corvantis::product::supportSite());
    EXPECT_EQ(messages(), (Texts{"Helper Tool install error. Helper tool installing failed (The user cancelled)",
                                 "App initialization error. Helper tool installing failed (The user cancelled)"}));
    EXPECT_FALSE(MainWindow::shared().loginView) << "no main window";
    EXPECT_TRUE(environment.helper->calls().empty()) << "no clean-up, down script or IPv6 request";
    EXPECT_FALSE(delegate->helperJustInstalled);
    EXPECT_TRUE(corvantis::HelperService::shared()) << "the client is kept all the same";
}

TEST_F(LaunchTest, AMissingResourceEndsStartUpLikeAFailedInstallation) {
    const auto resources = environment.folder / "Resources";
    ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(resources));
    auto services = platform::Services::current();
    services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(
        platform::foundation::Bundle::forCurrentExecutable()->bundlePath(), resources);
    platform::ScopedServices withoutDownScript(std::move(services));
    bool alerted = false;
    platform::ui::Application::shared().setModalHandler([&](platform::ui::Window&) { alerted = true; });

    launchSecondStage();
    EXPECT_TRUE(alerted);
    EXPECT_EQ(messages(), Texts{"App initialization error. Missing the resource \"down.sh\""});
    EXPECT_EQ(log->logged(prq::Level::error), Texts{"appInit(): Start-up stops: missing the resource \"down.sh\""});
    EXPECT_FALSE(MainWindow::shared().loginView);
    EXPECT_TRUE(environment.helper->calls().empty());
}

TEST_F(LaunchTest, ALaterStartFindsTheRunningInstanceWhichOpensItsPopup) {
    launchSecondStage();
    const auto& popup = MainWindow::shared().popupController;
    ASSERT_TRUE(popup);
    popup->closePopup();
    environment.time.advance(2s);  // the fade-out
    ASSERT_FALSE(popup->isOpen());
    const auto folder = environment.folder / "runtime";
    ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(folder, 0700));

    auto first = corvantis::RunningInstance::claim(folder);
    ASSERT_TRUE(first) << first.error().message;
    ASSERT_TRUE(first.value());
    first.value()->serve([&] { delegate->showMainWindow(); });
    const auto later = corvantis::RunningInstance::claim(folder);
    ASSERT_TRUE(later);
    EXPECT_FALSE(later.value()) << "a later start finds the lock taken";
    EXPECT_TRUE(corvantis::RunningInstance::askToOpenPopup(folder));
    EXPECT_TRUE(environment.runMainQueueUntil([&] { return popup->isOpen(); })) << "the running instance opened its popup";

    // Once the running instance has ended, the next start runs, over the socket file left behind.
    first.value().reset();
    const auto next = corvantis::RunningInstance::claim(folder);
    ASSERT_TRUE(next) << next.error().message;
    EXPECT_TRUE(next.value());
}

}  // namespace
