// The delegate's questions to the user, the quit road by screen and connection state, and the
// down script's command line.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "platform/foundation/Bundle.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Window.hpp"

#include <gtest/gtest.h>

using corvantis::AppDelegate;
using corvantis::ConnectionState;
using corvantis::MainWindow;
using platform::ui::Alert;
using platform::ui::Application;
using namespace std::chrono_literals;

namespace {

using Texts = std::vector<std::string>;

class AlertAndQuitTest : public ::testing::Test {
protected:
    void SetUp() override {
        Application::shared().reset();
        Alert::forgetPendingAlerts();
        AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        auto& mainWindow = MainWindow::shared();
        mainWindow.loginView = std::make_shared<corvantis::LoginView>();
        mainWindow.connectView = std::make_shared<corvantis::ConnectView>();
        popup->setContentView(std::make_shared<platform::ui::View>());
        popup->contentView()->addSubview(mainWindow.loginView);
        popup->contentView()->addSubview(mainWindow.connectView);
        popup->orderFront();
    }

    void TearDown() override {
        Alert::forgetPendingAlerts();
        Application::shared().reset();
    }

    // The one alert on screen.
    std::shared_ptr<Alert> shownAlert() const {
        const auto alerts = Alert::pendingAlerts();
        return alerts.size() == 1 && alerts.front()->isShown() ? alerts.front() : nullptr;
    }

    // Leaves the login screen, as signing in does.
    void signedIn(ConnectionState state) {
        MainWindow::shared().loginView->setAlphaValue(0);
        MainWindow::shared().connectView->connectionState = state;
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<AppDelegate> delegate = std::make_shared<AppDelegate>();
    std::shared_ptr<platform::ui::Window> popup = std::make_shared<platform::ui::Window>(platform::ui::Rect(0, 0, 300, 400));
};

TEST_F(AlertAndQuitTest, TheFirstButtonAloneAnswersYesAndTheSecondNo) {
    std::vector<bool> answers;
    delegate->alert("Title", "Details", "OK", std::nullopt, [&](bool yes) { answers.push_back(yes); });
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->messageText(), "Title");
    EXPECT_EQ(alert->informativeText(), "Details");
    EXPECT_EQ(alert->alertStyle(), platform::ui::AlertStyle::warning);
    ASSERT_EQ(alert->buttons().size(), 1u);
    EXPECT_TRUE(answers.empty()) << "the sheet does not block";
    ASSERT_TRUE(alert->answer("OK"));
    environment.runMainQueue();
    EXPECT_EQ(popup->attachedSheet(), nullptr) << "the sheet hangs on the popup's window";

    delegate->alert("Title", "Details", "Yes", "No", [&](bool yes) { answers.push_back(yes); });
    alert = shownAlert();
    ASSERT_TRUE(alert);
    ASSERT_EQ(alert->buttons().size(), 2u);
    ASSERT_TRUE(alert->answer("No"));
    environment.runMainQueue();
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
}

TEST_F(AlertAndQuitTest, WithoutThePopupsWindowNothingIsShownAndNobodyIsCalledBack) {
    MainWindow::shared().loginView->removeFromSuperview();
    bool called = false;
    delegate->alert("Title", "Details", "OK", "Cancel", [&](bool) { called = true; });
    environment.runMainQueue();
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    EXPECT_FALSE(called);
}

TEST_F(AlertAndQuitTest, OnTheLoginScreenQuitEndsAtOnceWithoutAQuestionOrHelperCalls) {
    delegate->gateway = "192.168.1.1";
    delegate->quit();
    EXPECT_TRUE(Application::shared().isTerminated());
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    EXPECT_TRUE(environment.helper->calls().empty());
}

TEST_F(AlertAndQuitTest, TheQuestionDependsOnTheConnectionState) {
    const std::vector<std::tuple<ConnectionState, std::string, std::string>> cases{
        {ConnectionState::connected, "Are you sure you want to quit?", "Your current VPN connection will be disconnected"},
        {ConnectionState::connecting, "Corvantis", "Are you sure you want to quit?"},
        {ConnectionState::disconnected, "Corvantis", "Are you sure you want to quit?"},
    };
    for (const auto& [state, message, informative] : cases) {
        signedIn(state);
        delegate->quit();
        const auto alert = shownAlert();
        ASSERT_TRUE(alert) << static_cast<int>(state);
        EXPECT_EQ(alert->messageText(), message);
        EXPECT_EQ(alert->informativeText(), informative);
        ASSERT_EQ(alert->buttons().size(), 2u);
        EXPECT_EQ(alert->buttons()[0]->title(), "Quit");
        EXPECT_EQ(alert->buttons()[1]->title(), "Cancel");
        ASSERT_TRUE(alert->answer("Cancel"));
        environment.runMainQueue();
        EXPECT_FALSE(Application::shared().isTerminated());
        EXPECT_TRUE(environment.helper->calls().empty()) << "Cancel changes nothing";
    }
}

TEST_F(AlertAndQuitTest, QuittingRestoresTheRouteThenEndsTheTunnelsThenTerminates) {
    delegate->gateway = "192.168.1.1";
    signedIn(ConnectionState::connected);
    delegate->quit();
    const auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_TRUE(environment.helper->calls().empty());
    ASSERT_TRUE(alert->answer("Quit"));
    environment.runMainQueue();
    EXPECT_TRUE(Application::shared().isTerminated());
    EXPECT_EQ(environment.helper->selectors(), (Texts{"runCommand:withReply:", "disconnect"}));
    EXPECT_EQ(environment.helper->commands(), Texts{"route -n add default 192.168.1.1"});
}

TEST_F(AlertAndQuitTest, TheDownScriptRunsAsRootWithItsPathSafelyInDoubleQuotes) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"Corvantis VPN.app/Contents/Resources", "Corvantis VPN.app/Contents/Resources/down.sh\""},
        {"a \"b\" $HOME `id` \\ c", "a \\\"b\\\" \\$HOME \\`id\\` \\\\ c/down.sh\""},
    };
    for (const auto& [folder, quotedEnd] : cases) {
        const auto resources = environment.folder / folder;
        ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(resources));
        ASSERT_TRUE(platform::foundation::FileSystem::writeFileAtomically(resources / "down.sh", "exit 0\n", 0755));
        auto services = platform::Services::current();
        services.mainBundleOverride = std::make_shared<platform::foundation::Bundle>(environment.folder.path(), resources);
        platform::ScopedServices bundle(std::move(services));
        environment.helper->clear();
        delegate->runDownScript();
        EXPECT_EQ(environment.helper->commands(), Texts{"sh \"" + environment.folder.path().string() + "/" + quotedEnd});
    }
    const auto scope = environment.reportScope();
    ASSERT_FALSE(scope.breadcrumbs().empty());
    EXPECT_EQ(scope.breadcrumbs().back().category, "runDownScript()");
}

}  // namespace

namespace {

// With the real popup: a question asked while it is closed opens it, and it is open when the
// completion runs.
TEST(AlertOnThePopup, AQuestionOpensTheClosedPopupWhichIsOpenWhenTheCompletionRuns) {
    corvantis::testing::AppTestEnvironment environment;
    Application::shared().reset();
    Alert::forgetPendingAlerts();
    auto delegate = std::make_shared<AppDelegate>();
    AppDelegate::setShared(delegate);
    auto& mainWindow = MainWindow::shared();
    mainWindow.setup(corvantis::registerMainStoryboard());
    ASSERT_TRUE(mainWindow.popupController);
    mainWindow.popupController->closePopup();
    environment.time.advance(1s);
    ASSERT_FALSE(mainWindow.popupController->isOpen());

    std::optional<bool> openWhenAnswered;
    delegate->alert("Title", "Details", "OK", "Cancel", [&](bool) { openWhenAnswered = mainWindow.popupController->isOpen(); });
    const auto alerts = Alert::pendingAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_TRUE(mainWindow.popupController->isOpen()) << "the question is on a popup nobody sees";
    ASSERT_TRUE(alerts.front()->answer("Cancel"));
    environment.runMainQueue();
    EXPECT_EQ(openWhenAnswered, true);
    Alert::forgetPendingAlerts();
    Application::shared().reset();
}

TEST(AlertOnThePopup, TheSheetIsWrittenInTheScreensFaceAndTextColour) {
    corvantis::testing::AppTestEnvironment environment;
    Application::shared().reset();
    Alert::forgetPendingAlerts();
    auto delegate = std::make_shared<AppDelegate>();
    AppDelegate::setShared(delegate);
    MainWindow::shared().setup(corvantis::registerMainStoryboard());

    delegate->alert("Login error", "Please verify email to activate account and trial", "OK", std::nullopt, {});
    const auto alerts = Alert::pendingAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    const auto navy = platform::ui::Color::sRGB(37.0 / 255, 47.0 / 255, 88.0 / 255, 1.0);
    int texts = 0;
    for (const auto& view : alerts.front()->window()->contentView()->selfAndDescendants()) {
        if (const auto label = std::dynamic_pointer_cast<platform::ui::TextField>(view)) {
            EXPECT_EQ(label->font().fontName(), "Montserrat-Medium") << label->stringValue();
            EXPECT_EQ(label->textColor(), navy) << label->stringValue();
            ++texts;
        } else if (const auto button = std::dynamic_pointer_cast<platform::ui::Button>(view)) {
            EXPECT_EQ(button->attributedTitle().attributes(0).font->fontName(), "Montserrat-Medium");
            EXPECT_EQ(button->attributedTitle().attributes(0).foregroundColor, navy);
            ++texts;
        }
    }
    EXPECT_EQ(texts, 3) << "the message, the details and the button";
    Alert::forgetPendingAlerts();
    Application::shared().reset();
}

}  // namespace
