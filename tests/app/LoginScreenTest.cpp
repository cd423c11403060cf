// The login screen as a person uses it, against the test backend on loopback: typing and
// Return, the automatic sign-in, validation before any request, each outcome with its alert
// and form state, the route after signing in, and the links.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "fixtures/UserTexts.hpp"
#include "platform/animation/testing/Reset.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/Patience.hpp"
#include "support/RecordingWorkspaceOpener.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using corvantis::MainWindow;
using corvantis::UserSettings;
using platform::ui::Alert;

namespace {

using Texts = std::vector<std::string>;

const std::string demoUser = "demo@corvantis.test";
const std::string demoPassword = "demo-password";
const std::string invalidInput = "Please, enter correct username and password to sign in";

// The demo subscriber and one account for each outcome that is not a sign-in.
corvantis::testbed::BackendConfiguration accounts() {
    auto configuration = corvantis::testbed::BackendConfiguration::demo();
    const auto demo = configuration.accounts.front();
    const auto add = [&](const std::string& name, auto change) {
        auto account = demo;
        account.username = name;
        change(account);
        configuration.accounts.push_back(account);
    };
    add("unconfirmed@corvantis.test", [](auto& account) { account.emailConfirmed = "0"; });
    add("dns@corvantis.test", [](auto& account) { account.categories = {"1"}; });
    add("nothing@corvantis.test", [](auto& account) { account.categories = {}; });
    add("noplan@corvantis.test", [](auto& account) { account.subscriptions = {}; });
    return configuration;
}

// How the form looks to the user.
struct Form {
    bool fieldsEnabled;
    bool buttonEnabled;
    std::string title;
    bool operator==(const Form&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Form& form) {
    return out << "(fields " << form.fieldsEnabled << ", button " << form.buttonEnabled << ", \"" << form.title << "\")";
}

const Form ready{true, true, "Log in"};
const Form signingIn{false, false, "Logging in..."};
const Form signedIn{false, true, "Log in"};

class LoginScreenTest : public ::testing::Test {
protected:
    LoginScreenTest() {
        resetLayers();
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        for (const char* icon : {"EmailIcon", "PasswordIcon"}) platform::ui::Image::make({16, 16})->setName(icon);
    }
    ~LoginScreenTest() override { resetLayers(); }

    static void resetLayers() {
        platform::ui::testing::reset();
        platform::animation::testing::reset();
    }

    static platform::Services withOpener(std::shared_ptr<corvantis::testing::RecordingWorkspaceOpener> opener) {
        auto services = platform::Services::current();
        services.workspaceOpenerOverride = std::move(opener);
        return services;
    }

    // Builds the screens from the storyboard as start-up does: the popup opens on the login screen.
    void open() {
        MainWindow::shared().setup(corvantis::registerMainStoryboard());
        ASSERT_NE(login().window(), nullptr);
    }

    corvantis::LoginView& login() { return *MainWindow::shared().loginView; }

    Form form() {
        return {login().txtUsername->isEnabled() && login().txtPassword->isEnabled(), login().btnLogin->isEnabled(),
                login().btnLogin->title()};
    }

    // Types into the two fields as a person does, with the popup open: the e-mail, Tab, the
    // password, Return. Texts of an earlier attempt are cleared first.
    void signIn(const std::string& user, const std::string& password) {
        MainWindow::shared().show();
        login().txtUsername->setStringValue("");
        login().txtPassword->setStringValue("");
        login().txtUsername->type(user + "\t" + password + "\r");
    }

    // Back to the login screen the way the settings screen's log-out goes there.
    static void logOut() {
        MainWindow::shared().switchToView(corvantis::View::settingsView);
        MainWindow::shared().switchToView(corvantis::View::loginView);
    }

    // Runs the main queue until an alert is up or the login screen has left.
    void settle() {
        ASSERT_TRUE(environment.runMainQueueUntil(
            [] { return !Alert::pendingAlerts().empty() || MainWindow::shared().loginView->isHidden(); }));
    }

    // The alert on screen as (title, text, buttons); empty when there is none.
    Texts shownAlert() const {
        const auto alerts = Alert::pendingAlerts();
        if (alerts.size() != 1 || !alerts.front()->isShown()) return {};
        Texts shown{alerts.front()->messageText(), alerts.front()->informativeText()};
        for (const auto& button : alerts.front()->buttons()) shown.push_back(button->title());
        return shown;
    }

    void answer(const std::string& button) {
        ASSERT_TRUE(Alert::pendingAlerts().front()->answer(button));
        environment.runMainQueue();
    }

    std::size_t grants() const {
        std::size_t count = 0;
        for (const auto& request : backend->requests()) count += request.path == "/account/oauth/token" ? 1 : 0;
        return count;
    }

    bool connectScreenShown() const {
        const auto& mainWindow = MainWindow::shared();
        return !mainWindow.connectView->isHidden() && mainWindow.loginView->alphaValue() == 0 && mainWindow.loginView->isHidden();
    }

    // The route operations the sign-in started, by their breadcrumbs.
    Texts routeCalls() const {
        Texts calls;
        const auto scope = environment.reportScope();
        for (const auto& crumb : scope.breadcrumbs()) {
            if (crumb.category.starts_with("removeDefaultRoute(") || crumb.category == "restoreDefaultRoute()") {
                calls.push_back(crumb.category);
            }
        }
        return calls;
    }

    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::LoopbackBackend backend{accounts()};
    std::shared_ptr<corvantis::testing::RecordingWorkspaceOpener> opener =
        std::make_shared<corvantis::testing::RecordingWorkspaceOpener>();
    platform::ScopedServices openerScope{withOpener(opener)};
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
};

TEST_F(LoginScreenTest, TypingTheCredentialsAndReturnSignsInAndShowsTheConnectScreen) {
    open();
    EXPECT_EQ(form(), ready);
    signIn(demoUser, demoPassword);
    EXPECT_EQ(form(), signingIn) << "the request is under way";
    settle();
    EXPECT_TRUE(shownAlert().empty()) << shownAlert()[1];
    EXPECT_TRUE(connectScreenShown());
    EXPECT_EQ(form(), signedIn);
    EXPECT_EQ(UserSettings::username(), demoUser);

    // Back on the login screen the form is ready again with the texts as they were.
    logOut();
    EXPECT_EQ(form(), ready);
    EXPECT_EQ(login().txtUsername->stringValue(), demoUser);
    EXPECT_EQ(login().txtPassword->stringValue(), demoPassword);
}

TEST_F(LoginScreenTest, AWrongPasswordShowsLoginErrorLeavesTheFormReadyAndIsNotReported) {
    open();
    signIn(demoUser, "wrong-password");
    settle();
    EXPECT_EQ(shownAlert(), (Texts{"Login error", "Login failed: invalid username or password", "OK"}));
    EXPECT_EQ(form(), ready);
    EXPECT_FALSE(connectScreenShown());
    for (const auto& event : environment.reportedEvents()) EXPECT_EQ(event.message.find("invalid username"), std::string::npos);
    answer("OK");

    // Ready indeed: the right password now signs in.
    login().txtPassword->setStringValue(demoPassword);
    login().txtPassword->type("\r");
    settle();
    EXPECT_TRUE(connectScreenShown());
}

TEST_F(LoginScreenTest, OtherFailuresShowTheBackendsTextAndAreReported) {
    backend->setFailureMode(corvantis::testbed::TestBackend::FailureMode::maintenance);
    open();
    signIn(demoUser, demoPassword);
    settle();
    const auto alert = shownAlert();
    ASSERT_EQ(alert.size(), 3u);
    EXPECT_EQ(alert[0], "Login error");
    EXPECT_EQ(form(), ready);
    const auto events = environment.reportedEvents();
    EXPECT_TRUE(std::ranges::any_of(events, [&](const auto& event) { return event.message == alert[1]; })) << alert[1];
}

TEST_F(LoginScreenTest, ThePasswordNeverReachesALogLineABreadcrumbOrACrashReport) {
    auto log = std::make_shared<corvantis::testing::RecordingDestination>();
    log->setOutputLevel(prq::Level::verbose);
    delegate->logger = prq::PRQLogger::make("login", false);
    delegate->logger->add(log);
    open();
    signIn(demoUser, "wrong-password");
    settle();
    answer("OK");
    backend->setFailureMode(corvantis::testbed::TestBackend::FailureMode::maintenance);
    signIn(demoUser, demoPassword);
    settle();
    answer("OK");
    backend->setFailureMode(corvantis::testbed::TestBackend::FailureMode::none);
    signIn(demoUser, demoPassword);
    settle();
    ASSERT_TRUE(connectScreenShown());

    nlohmann::json seen = nlohmann::json::array();
    for (const auto& line : log->lines()) seen.push_back(line.message);
    const auto crumbs = [&](const auto& breadcrumbs) {
        for (const auto& crumb : breadcrumbs) seen.push_back({crumb.category, crumb.message, crumb.data});
    };
    crumbs(environment.reportScope().breadcrumbs());
    for (const auto& event : environment.reportedEvents()) {
        seen.push_back({event.message, event.extras, event.contexts});
        crumbs(event.breadcrumbs);
    }
    ASSERT_FALSE(environment.reportedEvents().empty());
    ASSERT_FALSE(log->lines().empty());
    for (const auto& password : Texts{"wrong-password", demoPassword}) {
        EXPECT_EQ(seen.dump().find(password), std::string::npos) << password;
    }
}

TEST_F(LoginScreenTest, InvalidInputIsRefusedBeforeAnyRequest) {
    open();
    const std::string six(6, 'p'), thirtyTwo(32, 'p');
    for (const auto& [user, password] : std::vector<std::pair<std::string, std::string>>{{"demo@corvantis", demoPassword},
                                                                                         {"demo@corvantis.t", demoPassword},
                                                                                         {"demo@corvantis.tests", demoPassword},
                                                                                         {" demo@corvantis.test", demoPassword},
                                                                                         {demoUser, std::string(5, 'p')},
                                                                                         {demoUser, std::string(33, 'p')},
                                                                                         {demoUser, ""}}) {
        login().txtUsername->setStringValue(user);
        login().txtPassword->setStringValue(password);
        login().btnLogin->click();
        EXPECT_EQ(shownAlert(), (Texts{"Login error", invalidInput, "OK"})) << user << " / " << password.size();
        EXPECT_EQ(form(), ready);
        answer("OK");
    }
    EXPECT_TRUE(backend->requests().empty());

    // The edges that pass reach the backend, which refuses them.
    for (const auto& password : {six, thirtyTwo}) {
        login().txtUsername->setStringValue(demoUser);
        login().txtPassword->setStringValue(password);
        login().btnLogin->click();
        settle();
        EXPECT_EQ(shownAlert().at(1), "Login failed: invalid username or password");
        answer("OK");
    }
    EXPECT_EQ(grants(), 2u);
}

TEST_F(LoginScreenTest, StoredCredentialsSignInByThemselvesWhenTheScreenIsFirstPlaced) {
    UserSettings::setUsername(demoUser);
    UserSettings::setPassword(demoPassword);
    open();
    EXPECT_EQ(login().txtUsername->stringValue(), demoUser);
    EXPECT_EQ(login().txtPassword->stringValue(), demoPassword);
    EXPECT_EQ(form(), signingIn);
    settle();
    EXPECT_TRUE(connectScreenShown());
}

TEST_F(LoginScreenTest, WithBothBoxesStoredOnTheAutomaticSignInEngagesOnceItsGatewayLookupAnswers) {
    const std::string gatewayQuery = "netstat -nr | grep '^default' | awk 'NR==1{print $2}'";
    const auto engaged = [&] {
        const auto commands = environment.helper->commands();
        return std::ranges::count_if(commands,
                                     [](const auto& line) { return line.ends_with("route -n delete default 192.168.1.1"); });
    };
    ASSERT_TRUE(environment.defaults->set(true, "isCorvantisShieldEnabled"));
    ASSERT_TRUE(environment.defaults->set(true, "isKillSwitchEnabled"));
    UserSettings::setUsername(demoUser);
    UserSettings::setPassword(demoPassword);
    open();
    settle();
    ASSERT_TRUE(connectScreenShown());
    // The sign-in asked to engage before its own gateway lookup answered.
    EXPECT_EQ(routeCalls(), Texts{"removeDefaultRoute() gateway = nil"});
    EXPECT_EQ(engaged(), 0);
    environment.helper->answerCommand(gatewayQuery, "192.168.1.1\n");
    environment.runMainQueue();
    EXPECT_EQ(engaged(), 1) << "the Shield is in force once the gateway is known";

    // Released before the gateway is known again: the release stands.
    environment.helper->clear();
    delegate->gateway.reset();
    delegate->removeDefaultRoute({});
    delegate->restoreDefaultRoute();
    delegate->getGateway();
    environment.helper->answerCommand(gatewayQuery, "192.168.1.1\n");
    environment.runMainQueue();
    EXPECT_EQ(engaged(), 0);
}

TEST_F(LoginScreenTest, AStoredEmptyUserNameEndsInTheInvalidInputAlertWithoutARequest) {
    UserSettings::setUsername("");
    UserSettings::setPassword(demoPassword);
    open();
    EXPECT_EQ(shownAlert(), (Texts{"Login error", invalidInput, "OK"}));
    EXPECT_EQ(form(), ready);
    EXPECT_TRUE(backend->requests().empty());
}

TEST_F(LoginScreenTest, AStoredUserNameWithoutAPasswordOnlyFillsTheEmailField) {
    UserSettings::setUsername(demoUser);
    open();
    EXPECT_EQ(login().txtUsername->stringValue(), demoUser);
    EXPECT_EQ(login().txtPassword->stringValue(), "");
    EXPECT_EQ(form(), ready);
    environment.runMainQueue();
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    EXPECT_TRUE(backend->requests().empty());
}

TEST_F(LoginScreenTest, WithNothingStoredTheFormIsEmptyWithItsPlaceholdersAndNothingIsSent) {
    open();
    EXPECT_EQ(login().txtUsername->stringValue(), "");
    EXPECT_EQ(login().txtPassword->stringValue(), "");
    const auto placeholder = login().txtUsername->placeholderAttributedString();
    ASSERT_TRUE(placeholder);
    EXPECT_EQ(placeholder->string(), "Email");
    const auto attributes = placeholder->attributes(0);
    EXPECT_EQ(attributes.foregroundColor, platform::ui::Color::calibrated(37.0 / 255, 47.0 / 255, 88.0 / 255, 1.0));
    ASSERT_TRUE(attributes.font);
    EXPECT_EQ(attributes.font->fontName(), "Montserrat-Medium");
    EXPECT_EQ(attributes.font->pointSize(), 12.0);
    EXPECT_EQ(login().txtPassword->placeholderAttributedString()->string(), "Password");
    environment.runMainQueue();
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    EXPECT_TRUE(backend->requests().empty());
}

TEST_F(LoginScreenTest, EachOutcomeThatIsNotASignInShowsItsAlertAndLeavesTheFormReady) {
    open();
    const auto attempt = [&](const std::string& user) {
        signIn(user, demoPassword);
        settle();
        return shownAlert();
    };
    EXPECT_EQ(attempt("unconfirmed@corvantis.test"),
              (Texts{"Login error", "Please verify email to activate account and trial", "OK"}));
    EXPECT_EQ(form(), ready);
    answer("OK");

    EXPECT_EQ(attempt("noplan@corvantis.test"), (Texts{"Login error", corvantis::testing::texts::checkInternet, "OK"}));
    EXPECT_EQ(form(), ready);
    answer("OK");

    EXPECT_EQ(attempt("dns@corvantis.test"),
              (Texts{"Login error", "You have no active VPN subscriptions. Please follow this guide to upgrade", "Learn More",
                     "Cancel"}));
    EXPECT_EQ(form(), ready) << "ready while the question is still open";
    answer("Learn More");
    EXPECT_EQ(attempt("nothing@corvantis.test"),
              (Texts{"Login error", "You have no active VPN subscriptions. Please, visit corvantisvpn.com to purchase", "Buy Now",
                     "Cancel"}));
    answer("Buy Now");
    EXPECT_EQ(opener->opened, (Texts{"https://support.corvantisvpn.com/article/101-how-to-upgrade-your-corvantis-subscription",
                                     "https://corvantisvpn.com/account/login/index"}));
    attempt("nothing@corvantis.test");
    answer("Cancel");
    EXPECT_EQ(form(), ready);
    EXPECT_EQ(opener->opened.size(), 2u);
    EXPECT_FALSE(connectScreenShown());
}

TEST_F(LoginScreenTest, SigningInBringsTheDefaultRouteInLineWithTheShieldAndTheKillSwitch) {
    open();
    struct Case {
        bool shield;
        bool killSwitch;
        corvantis::ConnectionState state;
        Texts calls;
    };
    using corvantis::ConnectionState;
    for (const auto& [shield, killSwitch, state, calls] :
         std::vector<Case>{{true, true, ConnectionState::disconnected, {"removeDefaultRoute() gateway = nil"}},
                           {true, true, ConnectionState::connecting, {}},
                           {true, false, ConnectionState::disconnected, {"restoreDefaultRoute()"}},
                           {false, true, ConnectionState::connected, {"restoreDefaultRoute()"}}}) {
        // Stored directly: the settings' own setters would move the route themselves.
        ASSERT_TRUE(environment.defaults->set(shield, "isCorvantisShieldEnabled"));
        ASSERT_TRUE(environment.defaults->set(killSwitch, "isKillSwitchEnabled"));
        MainWindow::shared().connectView->connectionState = state;
        environment.reporter->configureScope([](auto& scope) { scope.clearBreadcrumbs(); });
        logOut();
        signIn(demoUser, demoPassword);
        settle();
        ASSERT_TRUE(connectScreenShown());
        EXPECT_EQ(routeCalls(), calls) << shield << killSwitch << static_cast<int>(state);
    }
}

TEST_F(LoginScreenTest, ShowFadesTheScreenAndLogoInAndPlaysItHideIsAtOnce) {
    open();
    auto& view = login();
    view.hide();
    EXPECT_EQ(view.alphaValue(), 0.0);
    EXPECT_TRUE(view.isHidden() && view.txtUsername->isHidden() && view.txtPassword->isHidden() && view.btnLogin->isHidden());
    EXPECT_EQ(view.lottieLogo->alphaValue(), 0.0);

    const int plays = view.lottieLogo->playCount();
    view.show();
    EXPECT_FALSE(view.isHidden() || view.txtUsername->isHidden() || view.txtPassword->isHidden() || view.btnLogin->isHidden());
    EXPECT_EQ(view.lottieLogo->playCount(), plays + 1);
    for (const void* faded : {static_cast<const void*>(&view), static_cast<const void*>(view.lottieLogo.get())}) {
        const auto records = platform::ui::AnimationLog::shared().records(faded);
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.back().property, "alphaValue");
        EXPECT_EQ(std::get<double>(records.back().target), 1.0);
        EXPECT_EQ(records.back().duration, 0.7);
    }
    EXPECT_TRUE(view.lottieLogo->loopAnimation());
    ASSERT_TRUE(view.lottieLogo->sceneModel()) << "the shipped scene";
    EXPECT_EQ(view.lottieLogo->sceneModel()->name(), "waves");
}

TEST_F(LoginScreenTest, LinksOpenTheirPagesByTagOnlyWhileTheLoginScreenIsShown) {
    open();
    const auto& controller = *MainWindow::shared().loginViewController;
    controller.btnSignUp->click();
    controller.btnForgotPassword->click();
    EXPECT_EQ(opener->opened,
              (Texts{"https://corvantisvpn.com/account/signup/trial", "https://corvantisvpn.com/account/login/index"}));
    EXPECT_FALSE(controller.btnSignUp->isHighlighted());

    login().hide();
    const auto press = platform::ui::Event::mouseEvent(platform::ui::EventType::leftMouseDown, {}, nullptr);
    controller.btnSignUp->mouseDown(press);
    controller.btnForgotPassword->mouseDown(press);
    EXPECT_EQ(opener->opened.size(), 2u);
}

// The real application object started against the test backend, crash reports included.
class LaunchedApplicationTest : public LoginScreenTest {
protected:
    void launch() {
        std::filesystem::create_directories(environment.folder / "tmp");
        platform::ui::Application::shared().setDelegate(delegate);
        ::testing::internal::CaptureStdout();
        platform::ui::Application::shared().finishLaunching();
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(environment.runMainQueueUntil([] { return MainWindow::shared().loginView != nullptr; }));
        environment.runMainQueue();
        ASSERT_NE(login().window(), nullptr) << "the login screen lives in the popup's window";
    }

    corvantis::testing::ScopedEnvironment temporary{"TMPDIR", (environment.folder / "tmp").string()};
    corvantis::testing::ScopedEnvironment reports{"CORVANTIS_CRASH_DSN",
                                                  "http://k@127.0.0.1:" + std::to_string(backend->port()) + "/9"};
};

TEST_F(LaunchedApplicationTest, TypingAndReturnSignsInAndAWrongPasswordShowsLoginErrorWithTheFormReady) {
    launch();
    EXPECT_EQ(form(), ready);
    signIn(demoUser, "not-the-password");
    settle();
    EXPECT_EQ(shownAlert(), (Texts{"Login error", "Login failed: invalid username or password", "OK"}));
    EXPECT_EQ(form(), ready);
    answer("OK");

    signIn(demoUser, demoPassword);
    settle();
    EXPECT_TRUE(shownAlert().empty());
    EXPECT_TRUE(connectScreenShown());
    EXPECT_FALSE(MainWindow::shared().connectView->isHiddenOrHasHiddenAncestor());
}

TEST_F(LaunchedApplicationTest, AFailureTextThatQuotesThePasswordReachesTheCrashReportsMasked) {
    launch();
    backend->enqueueReply("/account/oauth/token", {503, "application/json",
                                                   R"({"status":"maintenance","message":"Password quoted-secret was refused"})"});
    signIn(demoUser, "quoted-secret");
    settle();
    EXPECT_EQ(shownAlert().at(1), "Password quoted-secret was refused") << "the user sees the backend's text";
    ASSERT_TRUE(
        platform::crashreporting::CrashReporter::current()->flush(corvantis::testing::patience(std::chrono::seconds(60))));
    const auto events = backend->crashEvents();
    ASSERT_FALSE(events.empty());
    bool reported = false;
    for (const auto& event : events) {
        EXPECT_EQ(event.dump().find("quoted-secret"), std::string::npos) << event.dump();
        reported = reported || event.dump().find("Password ******** was refused") != std::string::npos;
    }
    EXPECT_TRUE(reported);
}

}  // namespace
