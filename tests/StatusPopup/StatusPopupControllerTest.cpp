// The status item and its popup driven as a person would: clicks on the icon, a held press, a
// right click, Escape, loss of focus, with the virtual clock for the fade-out.

#include "StatusPopup/StatusPopup.hpp"
#include "StatusPopup/StatusPopupController.hpp"
#include "StatusPopup/StatusPopupHost.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "ui/Person.hpp"
#include "ui/UiTestCase.hpp"

#include <chrono>

using corvantis::StatusPopupController;
using corvantis::StatusPopupHost;
using corvantis::StatusPopupKeys;
using corvantis::testing::Person;
using platform::ui::Application;
using platform::ui::Event;
using platform::ui::EventType;
using platform::ui::Rect;
namespace Flags = platform::ui::ModifierFlags;
using namespace std::chrono_literals;

namespace {

class StatusPopupControllerTest : public corvantis::testing::UiTestCase {
protected:
    StatusPopupControllerTest() {
        StatusPopupHost::install({});
        popup->statusItem()->setLength(22);
        popup->willOpenPopup = [this](StatusPopupKeys keys) { journal.push_back("will open " + name(keys)); };
        popup->didOpenPopup = [this] { journal.push_back("did open"); };
        popup->willClosePopup = [this] { journal.push_back("will close"); };
        popup->didClosePopup = [this] { journal.push_back("did close"); };
    }
    ~StatusPopupControllerTest() override { StatusPopupHost::install({}); }

    static std::string name(StatusPopupKeys keys) {
        switch (keys) {
            case StatusPopupKeys::none: return "none";
            case StatusPopupKeys::shift: return "shift";
            case StatusPopupKeys::option: return "option";
            case StatusPopupKeys::shiftOption: return "shiftOption";
        }
        return "?";
    }

    std::shared_ptr<platform::ui::Window> iconWindow() const { return popup->statusItem()->window(); }
    void onIcon(EventType type, std::uint64_t modifiers = 0, std::optional<std::int64_t> number = std::nullopt) {
        Application::shared().sendEvent(Event::mouseEvent(type, {11, 11}, iconWindow(), modifiers, number));
    }
    void clickIcon() {
        onIcon(EventType::leftMouseDown);
        onIcon(EventType::leftMouseUp);
    }
    bool highlighted() const { return popup->statusItem()->button()->isHighlighted(); }

    std::vector<std::string> journal;
    std::shared_ptr<platform::ui::View> content = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    std::shared_ptr<StatusPopupController> popup = StatusPopupController::make(content);
};

TEST_F(StatusPopupControllerTest, TheModifierKeysOfAClick) {
    const auto keys = [](std::uint64_t flags) {
        return corvantis::pressedModifiers(Event::mouseEvent(EventType::leftMouseDown, {}, nullptr, flags));
    };
    EXPECT_EQ(keys(0), StatusPopupKeys::none);
    EXPECT_EQ(keys(Flags::shift), StatusPopupKeys::shift);
    EXPECT_EQ(keys(Flags::option), StatusPopupKeys::option);
    EXPECT_EQ(keys(Flags::shift | Flags::option), StatusPopupKeys::shiftOption);
    EXPECT_EQ(keys(Flags::shift | Flags::command), StatusPopupKeys::none);
    EXPECT_EQ(keys(Flags::capsLock | Flags::option), StatusPopupKeys::none);
    // Device-dependent bits below the mask do not count.
    EXPECT_EQ(keys(Flags::shift | 0x102), StatusPopupKeys::shift);
}

TEST_F(StatusPopupControllerTest, AClickOnTheIconOpensThePanelUnderItAndAnotherClosesIt) {
    onIcon(EventType::leftMouseDown, Flags::shift);
    EXPECT_EQ(journal, (std::vector<std::string>{"will open shift", "did open"}));
    EXPECT_TRUE(popup->isOpen());
    EXPECT_TRUE(highlighted());
    const auto panel = popup->panel();
    EXPECT_TRUE(panel->isKeyWindow());
    EXPECT_EQ(panel->alphaValue(), 1.0);
    // The icon is the rightmost 22 points of the bar at the top of the 1440 × 900 screen.
    EXPECT_EQ(panel->frame(), (Rect{1432 - 300, 878 - 408, 300, 408}));
    EXPECT_EQ(popup->backgroundView()->arrowX(), 1429 - 1132);
    EXPECT_EQ(popup->containerView()->frame(), (Rect{0, 0, 300, 400}));
    EXPECT_FALSE(content->isHidden());

    journal.clear();
    clickIcon();
    EXPECT_EQ(journal, (std::vector<std::string>{"will close"}));
    EXPECT_FALSE(popup->isOpen());
    EXPECT_TRUE(content->isHidden());
    EXPECT_EQ(panel->alphaValue(), 0);
    EXPECT_TRUE(panel->isVisible()) << "the closed popup is never ordered out";
    EXPECT_TRUE(highlighted()) << "until the fade-out ends";
    time.advance(200ms);
    EXPECT_FALSE(highlighted());
    EXPECT_EQ(journal, (std::vector<std::string>{"will close", "did close"}));

    journal.clear();
    clickIcon();
    EXPECT_TRUE(popup->isOpen());
    EXPECT_EQ(journal, (std::vector<std::string>{"will open none", "did open"}));
}

TEST_F(StatusPopupControllerTest, ClicksElsewhereAndEventNumber1337TriggerNothing) {
    onIcon(EventType::leftMouseDown, 0, 1337);
    Person::mouse(EventType::leftMouseDown, popup->panel(), {10, 10});
    auto other = corvantis::testing::shownWindow(Rect{0, 0, 100, 100});
    Person::mouse(EventType::leftMouseDown, other, {11, 11});
    // Another status item's button is not ours.
    const auto stranger = platform::ui::StatusBar::system().statusItem(22);
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDown, {11, 11}, stranger->window()));
    EXPECT_TRUE(journal.empty());
    EXPECT_FALSE(highlighted());

    // A toggle without a click's permission leaves a closed popup closed.
    popup->togglePopup();
    EXPECT_TRUE(journal.empty());
    EXPECT_FALSE(popup->isOpen());
}

TEST_F(StatusPopupControllerTest, OurButtonSkipsItsOwnPressHandlingOthersKeepIt) {
    EXPECT_EQ(corvantis::StatusPopup::statusItemButton(), popup->statusItem()->button());
    const auto stranger = platform::ui::StatusBar::system().statusItem(22);
    stranger->button()->setActionHandler("strangerClick:", [this](platform::ui::Object*) { journal.push_back("stranger"); });
    stranger->button()->setAction("strangerClick:");
    stranger->button()->setTarget(stranger->button());
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDown, {11, 11}, stranger->window()));
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseUp, {11, 11}, stranger->window()));
    EXPECT_EQ(journal, (std::vector<std::string>{"stranger"}));
}

TEST_F(StatusPopupControllerTest, AReleaseOnTheIconStrictlyAfter035SecondsCloses) {
    for (const auto held : {200ms, 350ms}) {
        onIcon(EventType::leftMouseDown);
        ASSERT_TRUE(popup->isOpen());
        time.advance(held);
        onIcon(EventType::leftMouseUp);
        EXPECT_TRUE(popup->isOpen()) << "held " << held.count() << " ms";
        popup->closePopup();
        time.advance(1s);
    }
    onIcon(EventType::leftMouseDown);
    time.advance(500ms);
    // Released away from the icon: nothing.
    Person::mouse(EventType::leftMouseUp, popup->panel(), {10, 10});
    EXPECT_TRUE(popup->isOpen());
    onIcon(EventType::leftMouseUp);
    EXPECT_FALSE(popup->isOpen());
}

TEST_F(StatusPopupControllerTest, ReopeningDuringTheFadeOutKeepsTheHighlightAndSkipsDidClose) {
    clickIcon();
    clickIcon();
    time.advance(100ms);
    clickIcon();
    journal.clear();
    time.advance(150ms);
    EXPECT_TRUE(highlighted());
    EXPECT_TRUE(popup->isOpen());
    EXPECT_TRUE(journal.empty());
}

TEST_F(StatusPopupControllerTest, LosingFocusClosesExceptOnceRightAfterTheHelperWasInstalled) {
    bool helperJustInstalled = true;
    StatusPopupHost::install({[&] { return helperJustInstalled; }, [&](bool value) { helperJustInstalled = value; }, {}});
    auto other = corvantis::testing::shownWindow(Rect{0, 0, 100, 100});
    clickIcon();
    other->makeKey();
    EXPECT_TRUE(popup->isOpen());
    EXPECT_FALSE(helperJustInstalled);

    popup->panel()->makeKey();
    other->makeKey();
    EXPECT_FALSE(popup->isOpen());

    // While an open is in progress (as after start-up) losing focus closes nothing.
    clickIcon();
    popup->isOpening = true;
    other->makeKey();
    EXPECT_TRUE(popup->isOpen());
}

TEST_F(StatusPopupControllerTest, EscapeInThePanelClosesThePopup) {
    popup->openPopup();
    ASSERT_TRUE(popup->panel()->isKeyWindow());
    Person::press("\x1b");
    EXPECT_FALSE(popup->isOpen());
    EXPECT_FALSE(popup->panel()->isKeyWindow());
}

TEST_F(StatusPopupControllerTest, ARightClickAnywhereOffersQuitAtTheIconsLowerLeftCorner) {
    int quits = 0;
    StatusPopupHost::install({{}, {}, [&] { ++quits; }});
    std::vector<std::string> titles;
    std::vector<platform::ui::Point> places;
    platform::ui::Menu::setPopUpHandler([&](const platform::ui::Menu::PopUp& shown) {
        for (const auto& item : shown.menu.items()) titles.push_back(item->title());
        places.push_back(shown.location);
        return shown.menu.items().front();
    });
    onIcon(EventType::rightMouseUp);
    Person::mouse(EventType::rightMouseUp, popup->panel(), {10, 10});
    EXPECT_EQ(titles, (std::vector<std::string>{"Quit", "Quit"}));
    EXPECT_EQ(places, (std::vector<platform::ui::Point>{{1418, 878}, {1418, 878}}));
    EXPECT_EQ(quits, 2);
    EXPECT_FALSE(popup->isOpen()) << "a right click does not open the popup";
}

TEST_F(StatusPopupControllerTest, OpeningFromCodeGivesNoKeysAndRunsTheWholeOpenAgain) {
    Application::shared().sendEvent(Event::keyEvent(EventType::keyDown, nullptr, "x", Flags::shift));
    popup->openPopup();
    popup->openPopup();
    EXPECT_EQ(journal, (std::vector<std::string>{"will open none", "did open", "will open none", "did open"}));
}

TEST_F(StatusPopupControllerTest, ResizingKeepsTheTopEdgeAndTheCentre) {
    popup->openPopup();
    const auto before = popup->panel()->frame();
    popup->resizePopup(320, 400);
    EXPECT_EQ(popup->panel()->frame(), (Rect{before.minX() - 10, before.minY(), 320, 408}));
    popup->resizePopup(320, 450);
    EXPECT_EQ(popup->panel()->frame(), (Rect{before.minX() - 10, before.minY() - 50, 320, 458}));
    EXPECT_EQ(popup->panel()->frame().maxY(), before.maxY());

    // A new inset sizes the panel around the container as it was.
    popup->setContentInset(5);
    EXPECT_EQ(popup->panel()->frame().size, (platform::ui::Size{330, 468}));
    EXPECT_EQ(popup->containerView()->frame(), (Rect{5, 5, 320, 450}));
}

TEST_F(StatusPopupControllerTest, UnderATrayAtTheBottomThePopupOpensAboveTheIconWithTheArrowBelow) {
    iconWindow()->setFrame({1418, 0, 22, 22});
    clickIcon();
    EXPECT_EQ(popup->panel()->frame(), (Rect{1132, 22, 300, 408}));
    EXPECT_TRUE(popup->backgroundView()->arrowPointsDown);
    EXPECT_EQ(popup->containerView()->frame(), (Rect{0, 8, 300, 400})) << "the arrow's strip is at the bottom";

    // Back at the top, the next open hangs below again.
    clickIcon();
    iconWindow()->setFrame({1418, 878, 22, 22});
    clickIcon();
    EXPECT_FALSE(popup->backgroundView()->arrowPointsDown);
    EXPECT_EQ(popup->containerView()->frame(), (Rect{0, 0, 300, 400}));
    EXPECT_EQ(popup->panel()->frame().maxY(), 878);
}

TEST_F(StatusPopupControllerTest, AClosedPopupTakesNoInputMeantForOthers) {
    class Counter : public platform::ui::View {
    public:
        using View::View;
        int presses = 0;
        void mouseDown(const Event&) override { ++presses; }
    };
    auto counter = std::make_shared<Counter>(Rect{0, 0, 300, 8});
    popup->backgroundView()->addSubview(counter);
    popup->openPopup();
    Person::mouse(EventType::leftMouseDown, popup->panel(), {10, 4});
    EXPECT_EQ(counter->presses, 1);
    popup->closePopup();
    Person::mouse(EventType::leftMouseDown, popup->panel(), {10, 4});
    EXPECT_EQ(counter->presses, 1);
}

TEST_F(StatusPopupControllerTest, ReleasingTheControllerTakesItsItemAndMonitorsAway) {
    const std::weak_ptr<StatusPopupController> weak = popup;
    const std::weak_ptr<platform::ui::StatusItem> item = popup->statusItem();
    popup.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(platform::ui::StatusBar::system().items().empty());
    // A later click reaches no one and breaks nothing.
    Application::shared().sendEvent(Event::mouseEvent(EventType::leftMouseDown, {11, 11}, nullptr));
    EXPECT_TRUE(journal.empty());
}

}  // namespace
