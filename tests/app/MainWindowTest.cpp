// The main window's set-up from the storyboard, its screen switching, the status icon, the shown
// location and its behaviour before set-up, with screens that note what they are asked to do.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "StatusPopup/StatusPopupHost.hpp"
#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/RecordingDestination.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/testing/Reset.hpp"

#include <gtest/gtest.h>

using corvantis::MainWindow;
using corvantis::View;

namespace {

using Texts = std::vector<std::string>;

// What the screens were asked to do, in order.
struct Journal {
    Texts entries;
    // Runs before each entry is written.
    std::function<void()> beforeEntry;
    void note(const std::string& entry) {
        if (beforeEntry) beforeEntry();
        entries.push_back(entry);
    }
};

// A screen of the popup's class that only notes what it is asked and shows or hides itself at
// once; none of the real screen's own set-up runs.
template <class Screen>
class Noting : public Screen {
public:
    Noting(std::string name, Journal& journal)
        : Screen(platform::ui::Rect(0, 0, 300, 400)), name_(std::move(name)), journal_(journal) {}
    void show() override {
        journal_.note(name_ + " show");
        this->setHidden(false);
        this->setAlphaValue(1);
    }
    void hide() override {
        journal_.note(name_ + " hide");
        this->setAlphaValue(0);
        this->setHidden(true);
    }
    void viewDidMoveToSuperview() override {}

protected:
    std::string name_;
    Journal& journal_;
};

class NotingLoginView : public Noting<corvantis::LoginView> {
public:
    using Noting::Noting;
    void playAnimation() override { journal_.note("login playAnimation"); }
};

template <class Screen>
class NotingLocatedView : public Noting<Screen> {
public:
    NotingLocatedView(std::string name, Journal& journal) : Noting<Screen>(std::move(name), journal) {
        this->lblLocation = std::make_shared<platform::ui::TextField>();
    }
    void alignLocationLabel() override { this->journal_.note(this->name_ + " align " + this->lblLocation->stringValue()); }
};

class NotingConnectView : public NotingLocatedView<corvantis::ConnectView> {
public:
    using NotingLocatedView::NotingLocatedView;
    void playAnimation() override { journal_.note("connect playAnimation"); }
};

// A screen's controller whose own set-up of its outlets does not run.
template <class Controller>
class Bare : public Controller {
public:
    void viewDidLoad() override {}
};

class NotingLoginViewController : public Bare<corvantis::LoginViewController> {
public:
    explicit NotingLoginViewController(Journal& journal) : journal_(journal) {}
    void hideError() override { journal_.note("login hideError"); }

private:
    Journal& journal_;
};

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        platform::ui::testing::reset();
        corvantis::StatusPopupHost::install({});
        corvantis::AppDelegate::setShared(delegate);
        corvantis::HelperService::setShared(std::make_shared<corvantis::CorvantisHelperController>());
        inactive->setName("StatusBarIconInactive");
        active->setName("StatusBarIconActive");
        registerScenes();
    }
    ~MainWindowTest() override {
        MainWindow::resetShared();
        platform::ui::testing::reset();
    }

    // The four scenes, their roots as the real storyboard leaves them: settings and locations hidden.
    void registerScenes() {
        storyboard->registerScene(
            "loginViewController", [this] { return std::make_shared<NotingLoginViewController>(journal); },
            [this](platform::ui::ViewController&) { return std::make_shared<NotingLoginView>("login", journal); });
        storyboard->registerScene(
            "connectViewController", [] { return std::make_shared<Bare<corvantis::ConnectViewController>>(); },
            [this](platform::ui::ViewController&) { return std::make_shared<NotingConnectView>("connect", journal); });
        storyboard->registerScene(
            "settingsViewController", [] { return std::make_shared<Bare<corvantis::SettingsViewController>>(); },
            [this](platform::ui::ViewController&) {
                auto view = std::make_shared<Noting<corvantis::SettingsView>>("settings", journal);
                view->setHidden(true);
                return view;
            });
        storyboard->registerScene(
            "locationsViewController", [] { return std::make_shared<Bare<corvantis::LocationsViewController>>(); },
            [this](platform::ui::ViewController&) {
                auto view = std::make_shared<NotingLocatedView<corvantis::LocationsView>>("locations", journal);
                view->setHidden(true);
                return view;
            });
    }

    Texts switching(View view) {
        journal.entries.clear();
        MainWindow::shared().switchToView(view);
        return journal.entries;
    }

    corvantis::testing::AppTestEnvironment environment;
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
    std::shared_ptr<platform::ui::Image> inactive = platform::ui::Image::make({18, 18});
    std::shared_ptr<platform::ui::Image> active = platform::ui::Image::make({18, 18});
    std::shared_ptr<platform::ui::Storyboard> storyboard = std::make_shared<platform::ui::Storyboard>("Main");
    Journal journal;
};

TEST_F(MainWindowTest, SetupOpensThePopupOnTheLoginScreenWithTheOtherScreensStackedTransparent) {
    auto& window = MainWindow::shared();
    window.setup(storyboard);
    EXPECT_EQ(journal.entries, (Texts{"login playAnimation", "connect playAnimation"}));
    ASSERT_TRUE(window.popupController);
    const auto& popup = *window.popupController;
    EXPECT_TRUE(popup.isOpen());
    EXPECT_TRUE(popup.panel()->isKeyWindow());
    EXPECT_EQ(popup.contentView, window.loginView);
    EXPECT_EQ(popup.containerView()->subviews(),
              (std::vector<std::shared_ptr<platform::ui::View>>{window.loginView, window.connectView, window.settingsView,
                                                                window.locationsView}));
    EXPECT_EQ(popup.containerView()->loginView(), nullptr);
    EXPECT_EQ(window.loginView->alphaValue(), 1.0);
    const std::vector<std::shared_ptr<platform::ui::View>> others{window.connectView, window.settingsView, window.locationsView};
    for (const auto& screen : others) {
        EXPECT_EQ(screen->alphaValue(), 0);
        EXPECT_TRUE(screen->isHidden());
    }

    const auto item = popup.statusItem();
    EXPECT_EQ(item->title(), "");
    EXPECT_EQ(item->image(), inactive);
    EXPECT_EQ(item->length(), 22);
    EXPECT_EQ(popup.backgroundView()->backgroundColor, platform::ui::Color::white());
    EXPECT_EQ(popup.arrowSize(), (platform::ui::Size{12, 8}));
    EXPECT_EQ(popup.contentInset(), 0);
    EXPECT_EQ(popup.closeDuration, 0.2);
    EXPECT_EQ(popup.panel()->frame().size, (platform::ui::Size{300, 408}));
    EXPECT_TRUE(environment.helper->calls().empty());
}

TEST_F(MainWindowTest, EachSwitchHidesAndShowsExactlyItsScreens) {
    auto& window = MainWindow::shared();
    window.setup(storyboard);
    EXPECT_EQ(switching(View::connectView),
              (Texts{"connect show", "login hide", "login hideError", "settings hide", "locations hide"}));
    EXPECT_EQ(switching(View::locationsView), (Texts{"connect hide", "locations show"}));
    EXPECT_EQ(switching(View::connectView),
              (Texts{"connect show", "login hide", "login hideError", "settings hide", "locations hide"}));
    EXPECT_TRUE(window.locationsView->isHidden());
    EXPECT_EQ(switching(View::settingsView), (Texts{"connect hide", "settings show"}));
    EXPECT_TRUE(environment.helper->calls().empty());

    // The login screen comes only after the helper was told to end every tunnel.
    bool tunnelsEndedFirst = false;
    journal.beforeEntry = [&] {
        if (journal.entries.empty()) tunnelsEndedFirst = environment.helper->selectors() == Texts{"disconnect"};
    };
    EXPECT_EQ(switching(View::loginView), (Texts{"settings hide", "login show"}));
    EXPECT_TRUE(tunnelsEndedFirst);
}

TEST_F(MainWindowTest, IsOpenOnlyWhileTheOpenPopupShowsTheSettings) {
    auto& window = MainWindow::shared();
    window.setup(storyboard);
    EXPECT_FALSE(window.isOpen()) << "open on the login screen";
    window.switchToView(View::connectView);
    EXPECT_FALSE(window.isOpen());
    window.switchToView(View::settingsView);
    EXPECT_TRUE(window.isOpen());
    window.popupController->closePopup();
    environment.time.advance(std::chrono::milliseconds(200));
    EXPECT_FALSE(window.isOpen());
    window.show();
    EXPECT_TRUE(window.isOpen());
    EXPECT_TRUE(window.popupController->panel()->isKeyWindow());
}

TEST_F(MainWindowTest, TheStatusIconAndTheShownLocation) {
    auto& window = MainWindow::shared();
    window.setup(storyboard);
    window.setStatusBarIcon(true);
    EXPECT_EQ(window.popupController->statusItem()->image(), active);
    window.setStatusBarIcon(false);
    window.setStatusBarIcon(false);
    EXPECT_EQ(window.popupController->statusItem()->image(), inactive);

    auto city = std::make_shared<corvantis::City>();
    city->domain = "nl-ams.corvantis.test";
    city->shortName = "NL - Amsterdam";
    delegate->allCities = std::vector{city};
    journal.entries.clear();
    window.changeShowedLocation();
    EXPECT_EQ(journal.entries, (Texts{"connect align NL - Amsterdam", "locations align NL - Amsterdam"}));

    // Without a city list both labels are emptied.
    delegate->allCities.reset();
    journal.entries.clear();
    window.changeShowedLocation();
    EXPECT_EQ(journal.entries, (Texts{"connect align ", "locations align "}));
}

TEST_F(MainWindowTest, BeforeSetupEveryOperationOnlyLogsAnError) {
    auto log = std::make_shared<corvantis::testing::RecordingDestination>();
    const auto logger = prq::PRQLogger::defaultLogger();
    ASSERT_TRUE(logger->add(log));
    auto& window = MainWindow::shared();
    window.show();
    EXPECT_FALSE(window.isOpen());
    window.switchToView(View::loginView);
    window.switchToView(View::connectView);
    window.setStatusBarIcon(true);
    window.changeShowedLocation();
    window.reloadServersListView();
    logger->remove(log);

    EXPECT_EQ(log->logged(prq::Level::error).size(), 7u);
    EXPECT_EQ(log->lines().size(), 7u);
    EXPECT_EQ(log->lines().front().message, "The main window is not set up");
    EXPECT_TRUE(environment.helper->calls().empty());
    EXPECT_TRUE(journal.entries.empty());
    EXPECT_TRUE(platform::ui::StatusBar::system().items().empty());
}

}  // namespace
