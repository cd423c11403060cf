// The real application object started against the test backend: its status item and popup,
// driven through the UI layer's events as a person would.

#include "HelperService/CorvantisHelperController/HelperService.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/animation/AnimationView.hpp"
#include "platform/animation/testing/Reset.hpp"
#include "platform/render/ViewTreeRenderer.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"
#include "platform/ui/testing/Reset.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using corvantis::MainWindow;
using platform::ui::Application;
using platform::ui::Event;
using platform::ui::EventType;
using namespace std::chrono_literals;

namespace {

class PopupInTheApplicationTest : public ::testing::Test {
protected:
    PopupInTheApplicationTest() { resetLayers(); }
    ~PopupInTheApplicationTest() override { resetLayers(); }

    static void resetLayers() {
        platform::ui::testing::reset();
        platform::animation::testing::reset();
    }

    void launch() {
        std::filesystem::create_directories(environment.folder / "tmp");
        corvantis::AppDelegate::setShared(delegate);
        Application::shared().setDelegate(delegate);
        ::testing::internal::CaptureStdout();
        Application::shared().finishLaunching();
        ASSERT_TRUE(environment.runMainQueueUntil([] { return MainWindow::shared().popupController != nullptr; }));
        environment.runMainQueue();
        ::testing::internal::GetCapturedStdout();
    }

    corvantis::StatusPopupController& popup() { return *MainWindow::shared().popupController; }
    bool shown() {
        return popup().isOpen() && popup().panel()->alphaValue() == 1.0 && !MainWindow::shared().loginView->isHidden();
    }

    // A press and release on the status item, as the tray hands them over.
    void clickStatusItem(EventType down = EventType::leftMouseDown, EventType up = EventType::leftMouseUp) {
        const auto window = popup().statusItem()->window();
        Application::shared().sendEvent(Event::mouseEvent(down, {11, 11}, window));
        Application::shared().sendEvent(Event::mouseEvent(up, {11, 11}, window));
        environment.time.advance(300ms);
    }

    void pressEscape() {
        const auto key = Application::shared().keyWindow();
        Application::shared().sendEvent(Event::keyEvent(EventType::keyDown, key, "\x1b"));
        Application::shared().sendEvent(Event::keyEvent(EventType::keyUp, key, "\x1b"));
    }

    corvantis::testing::LoopbackBackend backend;
    corvantis::testing::AppTestEnvironment environment;
    corvantis::testing::ScopedEnvironment temporary{"TMPDIR", (environment.folder / "tmp").string()};
    corvantis::testing::ScopedEnvironment noReports{"CORVANTIS_CRASH_DSN", ""};
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
};

TEST_F(PopupInTheApplicationTest, StartsWithTheStatusItemAndThePopupOpenOnTheLoginScreenWhichClicksAndEscapeClose) {
    launch();
    const auto items = platform::ui::StatusBar::system().items();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0], popup().statusItem());
    EXPECT_EQ(items[0]->length(), 22);
    EXPECT_EQ(items[0]->image(), platform::ui::Image::named("StatusBarIconInactive"));
    EXPECT_TRUE(shown());
    EXPECT_EQ(popup().contentView, MainWindow::shared().loginView);
    EXPECT_TRUE(popup().panel()->isKeyWindow());
    EXPECT_TRUE(items[0]->button()->isHighlighted());
    // The popup hangs under the item.
    EXPECT_EQ(popup().panel()->frame().maxY(), items[0]->window()->frame().minY());
    // The other screens wait in the popup, transparent, so they take no clicks.
    const auto& window = MainWindow::shared();
    const std::vector<std::shared_ptr<platform::ui::View>> others{window.connectView, window.settingsView, window.locationsView};
    for (const auto& screen : others) {
        EXPECT_EQ(screen->superview(), popup().containerView().get());
        EXPECT_EQ(screen->alphaValue(), 0);
    }
    EXPECT_FALSE(window.isOpen()) << "open, but not on the settings screen";

    clickStatusItem();
    EXPECT_FALSE(popup().isOpen());
    EXPECT_EQ(popup().panel()->alphaValue(), 0);
    EXPECT_FALSE(items[0]->button()->isHighlighted());
    clickStatusItem();
    EXPECT_TRUE(shown());

    // The helper was installed during this start: the first loss of focus is forgiven.
    ASSERT_TRUE(delegate->helperJustInstalled);
    popup().panel()->resignKey();
    EXPECT_TRUE(shown());
    EXPECT_FALSE(delegate->helperJustInstalled);
    popup().panel()->makeKey();
    pressEscape();
    EXPECT_FALSE(popup().isOpen());
    environment.time.advance(200ms);
    EXPECT_FALSE(items[0]->button()->isHighlighted());
}

TEST_F(PopupInTheApplicationTest, EscapeClosesThePopupThatOpensAtStartUpWhichLosingTheKeysLeavesOpen) {
    launch();
    ASSERT_TRUE(shown());
    popup().panel()->resignKey();
    EXPECT_TRUE(shown()) << "the start-up popup stays when the keys go elsewhere";
    popup().panel()->makeKey();
    pressEscape();
    EXPECT_FALSE(popup().isOpen());
    clickStatusItem();
    EXPECT_TRUE(shown());
}

TEST_F(PopupInTheApplicationTest, ScreensNobodySeesStopTheirAnimationsAndAClosedPopupAnimatesNothing) {
    launch();
    auto& main = MainWindow::shared();
    const auto waves = main.loginView->lottieLogo;
    const auto pulse = main.connectView->animationView;
    ASSERT_TRUE(waves && pulse);
    EXPECT_TRUE(waves->isAnimationPlaying());
    main.switchToView(corvantis::View::connectView);  // where a sign-in leads
    EXPECT_FALSE(waves->isAnimationPlaying()) << "the login screen is hidden";
    EXPECT_TRUE(pulse->isAnimationPlaying());
    main.switchToView(corvantis::View::settingsView);
    EXPECT_FALSE(pulse->isAnimationPlaying()) << "the connect screen is hidden";
    main.switchToView(corvantis::View::connectView);
    EXPECT_TRUE(pulse->isAnimationPlaying());

    // What a display draws frames for: the pulse on the open popup, nothing once it is closed.
    platform::render::ViewTreeRenderer renderer;
    environment.time.advance(1s);
    EXPECT_TRUE(renderer.isAnimating(*popup().panel()));
    clickStatusItem();
    EXPECT_FALSE(renderer.isAnimating(*popup().panel())) << "the pulse plays in a closed popup";
    // Reopened on the settings screen, nothing moves, though every open plays both screens' animations.
    clickStatusItem();
    main.switchToView(corvantis::View::settingsView);
    environment.time.advance(1s);
    EXPECT_TRUE(waves->isAnimationPlaying());
    EXPECT_FALSE(renderer.isAnimating(*popup().panel()));
}

TEST_F(PopupInTheApplicationTest, ARightClickOnTheStatusItemOffersQuitWhichEndsTheApplicationFromTheLoginScreen) {
    launch();
    std::vector<std::string> offered;
    platform::ui::Menu::setPopUpHandler([&](const platform::ui::Menu::PopUp& shown) {
        for (const auto& item : shown.menu.items()) offered.push_back(item->title());
        return shown.menu.items().front();
    });
    clickStatusItem(EventType::rightMouseDown, EventType::rightMouseUp);
    EXPECT_EQ(offered, std::vector<std::string>{"Quit"});
    EXPECT_TRUE(Application::shared().isTerminated());
}

}  // namespace
