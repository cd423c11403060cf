#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Panel.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/TrackingArea.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowDelegate.hpp"

#include <gtest/gtest.h>

#include <chrono>

using corvantis::testing::Person;
using corvantis::testing::shownWindow;
using platform::ui::AnimationLog;
using platform::ui::Application;
using platform::ui::Cursor;
using platform::ui::Event;
using platform::ui::EventType;
using platform::ui::ModalResponse;
using platform::ui::Panel;
using platform::ui::Point;
using platform::ui::Rect;
using platform::ui::Screen;
using platform::ui::TextField;
using platform::ui::TrackingArea;
using platform::ui::View;
using platform::ui::Window;
using Journal = std::vector<std::string>;

namespace {

class JournalDelegate : public platform::ui::WindowDelegate {
public:
    explicit JournalDelegate(Journal& journal) : journal_(journal) {}
    void windowWillClose(Window& window) override { journal_.push_back(window.title() + " will close"); }
    void windowDidResize(Window& window) override { journal_.push_back(window.title() + " resized"); }
    void windowDidResignKey(Window& window) override {
        journal_.push_back(window.title() + " resigned");
        if (onResign) onResign(window);
    }
    void windowDidBecomeKey(Window& window) override { journal_.push_back(window.title() + " key"); }
    std::function<void(Window&)> onResign;

private:
    Journal& journal_;
};

// A view that tells when the pointer comes and goes.
class HoverView : public View {
public:
    HoverView(Journal& journal, Rect frame) : View(frame), journal_(journal) {}
    void mouseEntered(const Event&) override { journal_.push_back("entered"); }
    void mouseExited(const Event&) override { journal_.push_back("exited"); }
    void mouseDown(const Event&) override { journal_.push_back("down"); }

private:
    Journal& journal_;
};

// Notes the keys it gets as first responder and the Command key equivalents offered to it.
class KeyNotingView : public View {
public:
    explicit KeyNotingView(std::vector<std::string>& received) : received_(received) {}
    bool acceptsFirstResponder() const override { return true; }
    void keyDown(const platform::ui::Event& event) override { received_.push_back("key " + event.characters()); }
    bool performKeyEquivalent(const platform::ui::Event& event) override {
        if ((event.modifierFlags() & platform::ui::ModifierFlags::command) == 0) return false;
        received_.push_back("equivalent " + event.characters());
        return true;
    }

private:
    std::vector<std::string>& received_;
};

class WindowTest : public corvantis::testing::UiTestCase {
protected:
    Journal journal;
    std::shared_ptr<JournalDelegate> delegate = std::make_shared<JournalDelegate>(journal);

    std::shared_ptr<Window> titled(const std::string& title) {
        auto window = shownWindow(Rect(0, 0, 200, 100));
        window->setTitle(title);
        window->setDelegate(delegate);
        return window;
    }
};

TEST_F(WindowTest, OneKeyWindowAndMakingAnotherKeyMakesTheFirstResignFirst) {
    auto popup = titled("popup");
    auto other = titled("other");
    popup->makeKey();
    other->makeKey();
    other->makeKey();  // already key: nothing more
    EXPECT_EQ(journal, (Journal{"popup key", "popup resigned", "other key"}));
    EXPECT_FALSE(popup->isKeyWindow());
    EXPECT_TRUE(other->isKeyWindow());
    EXPECT_EQ(Application::shared().keyWindow(), other);
}

TEST_F(WindowTest, AResignationMayCascadeIntoMoreWindowWork) {
    // As the popup does: losing key status closes it, which orders it out.
    auto popup = titled("popup");
    auto other = titled("other");
    delegate->onResign = [&](Window& window) {
        if (&window == popup.get()) popup->close();
    };
    popup->makeKey();
    other->makeKey();
    EXPECT_EQ(journal, (Journal{"popup key", "popup resigned", "popup will close", "other key"}));
    EXPECT_FALSE(popup->isVisible());
    EXPECT_TRUE(other->isKeyWindow());
}

TEST_F(WindowTest, BorderlessWindowsCannotBecomeKeyAndOrderingOutResigns) {
    auto borderless = std::make_shared<Window>(Rect(0, 0, 10, 10), platform::ui::WindowStyleMask::borderless);
    borderless->makeKeyAndOrderFront();
    EXPECT_TRUE(borderless->isVisible());
    EXPECT_FALSE(borderless->isKeyWindow());

    auto window = titled("main");
    window->makeKey();
    window->orderOut();
    EXPECT_EQ(Application::shared().keyWindow(), nullptr);
    EXPECT_EQ(journal, (Journal{"main key", "main resigned"}));
}

TEST_F(WindowTest, AWindowAtAlphaZeroIsVisibleButTakesNoMouseInput) {
    auto window = shownWindow(Rect(0, 0, 100, 100));
    window->contentView()->addSubview(std::make_shared<HoverView>(journal, Rect(0, 0, 100, 100)));
    window->setAlphaValue(0);
    EXPECT_TRUE(window->isVisible());
    Person::mouse(EventType::leftMouseDown, window, {10, 10});
    EXPECT_TRUE(journal.empty());
    window->setAlphaValue(0.5);
    Person::mouse(EventType::leftMouseDown, window, {10, 10});
    EXPECT_EQ(journal, (Journal{"down"}));
}

TEST_F(WindowTest, AKeyWindowAtAlphaZeroTakesNoKeysNorKeyEquivalents) {
    auto window = titled("popup");
    std::vector<std::string> received;
    auto field = std::make_shared<KeyNotingView>(received);
    window->contentView()->addSubview(field);
    window->makeKey();
    ASSERT_TRUE(window->makeFirstResponder(field));
    window->setAlphaValue(0);
    Person::press("a");
    Person::press("q", platform::ui::ModifierFlags::command);
    EXPECT_TRUE(received.empty());
    EXPECT_TRUE(window->isKeyWindow());
    window->setAlphaValue(1);
    Person::press("a");
    Person::press("q", platform::ui::ModifierFlags::command);
    EXPECT_EQ(received, (std::vector<std::string>{"key a", "equivalent q"}));
}

TEST_F(WindowTest, TheContentViewFillsTheWindowAndResizesWithIt) {
    auto window = titled("main");
    window->setFrame(Rect(10, 20, 200, 100));  // moved only
    window->setFrame(Rect(10, 20, 300, 120));
    EXPECT_EQ(window->contentView()->frame(), Rect(0, 0, 300, 120));
    EXPECT_EQ(journal, (Journal{"main resized"}));
    EXPECT_EQ(window->convertToScreen(Rect(5, 5, 1, 1)), Rect(15, 25, 1, 1));
}

TEST_F(WindowTest, AnAnimatedFrameChangeIsLoggedAndAPlainOneIsNot) {
    auto window = titled("main");
    window->setFrame(Rect(0, 0, 250, 100), true, true);
    window->setFrame(Rect(0, 0, 260, 100), true, false);
    const auto records = AnimationLog::shared().records(window.get());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].property, "frame");
    EXPECT_DOUBLE_EQ(records[0].duration, Window::frameAnimationDuration);
    EXPECT_TRUE(records[0].cancelled);  // the plain change ended it
    EXPECT_TRUE(window->contentView()->needsDisplay());

    window->animator().setAlphaValue(0);
    EXPECT_EQ(window->alphaValue(), 0);
    EXPECT_TRUE(AnimationLog::shared().isAnimating(window.get(), "alphaValue"));
}

TEST_F(WindowTest, FirstResponderRulesAndTheKeyViewLoop) {
    auto window = titled("form");
    auto email = std::make_shared<TextField>(Rect(0, 50, 100, 20));
    auto password = std::make_shared<TextField>(Rect(0, 20, 100, 20));
    auto label = std::make_shared<TextField>(Rect(0, 0, 100, 20));
    label->setEditable(false);
    label->setSelectable(false);
    for (const auto& field : {email, password, label}) window->contentView()->addSubview(field);
    email->setNextKeyView(label);
    label->setNextKeyView(password);
    password->setNextKeyView(email);

    EXPECT_EQ(window->firstResponder(), window);
    EXPECT_FALSE(window->makeFirstResponder(label));  // a plain label refuses
    EXPECT_EQ(window->firstResponder(), window);
    EXPECT_TRUE(window->makeFirstResponder(email));
    window->selectKeyViewFollowingView(*email);  // skips the label
    EXPECT_EQ(window->firstResponder(), password);

    // Hidden views are passed over; with nowhere to go, the role stays.
    window->makeFirstResponder(email);
    password->setHidden(true);
    window->selectKeyViewFollowingView(*email);
    EXPECT_EQ(window->firstResponder(), email);
    password->setHidden(false);

    // A view taken out of the window gives the role back to the window.
    window->makeFirstResponder(email);
    email->removeFromSuperview();
    EXPECT_EQ(window->firstResponder(), window);
}

TEST_F(WindowTest, TheInitialFirstResponderTakesTheRoleOnTheFirstOrderFront) {
    auto window = std::make_shared<Window>(Rect(0, 0, 100, 100));
    window->setContentView(std::make_shared<View>());
    auto field = std::make_shared<TextField>(Rect(0, 0, 100, 20));
    window->contentView()->addSubview(field);
    window->setInitialFirstResponder(field);
    window->orderFront();
    EXPECT_EQ(window->firstResponder(), field);
}

TEST_F(WindowTest, ASheetWiderThanItsWindowIsNarrowedToItAndLiesOnIt) {
    // A 300-wide window 8 points from the right edge of the 1440-wide screen, and a 420-wide sheet.
    auto narrow = std::make_shared<Window>(Rect(1132, 400, 300, 400));
    narrow->setContentView(std::make_shared<View>());
    narrow->makeKeyAndOrderFront();
    auto sheet = std::make_shared<Panel>(Rect(0, 0, 420, 160));
    narrow->beginSheet(sheet, nullptr);
    EXPECT_EQ(sheet->frame(), Rect(1132, 800 - 160, 300, 160));
}

TEST_F(WindowTest, SheetsQueuePerWindowAndCompleteOnTheMainQueue) {
    auto main = titled("main");
    main->makeKey();
    auto first = std::make_shared<Panel>(Rect(0, 0, 80, 40));
    first->setTitle("first");
    auto second = std::make_shared<Panel>(Rect(0, 0, 80, 40));
    std::vector<std::pair<std::string, ModalResponse>> completions;
    main->beginSheet(first, [&](ModalResponse response) { completions.emplace_back("first", response); });
    main->beginSheet(second, [&](ModalResponse response) { completions.emplace_back("second", response); });
    main->beginSheet(first, [&](ModalResponse) { completions.emplace_back("again", ModalResponse::ok); });  // refused

    EXPECT_EQ(main->attachedSheet(), first);
    EXPECT_EQ(main->sheets(), (std::vector<std::shared_ptr<Window>>{first, second}));
    EXPECT_TRUE(first->isVisible());
    EXPECT_TRUE(first->isKeyWindow());
    EXPECT_FALSE(second->isVisible());
    // Hung from the top of its window, centred.
    EXPECT_EQ(first->frame(), Rect(60, 60, 80, 40));

    main->endSheet(*first, ModalResponse::alertSecondButtonReturn);
    EXPECT_TRUE(completions.empty());  // not before the main queue runs
    EXPECT_FALSE(first->isVisible());
    EXPECT_EQ(main->attachedSheet(), second);
    EXPECT_TRUE(second->isKeyWindow());
    time.runDue();
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_EQ(completions[0], std::make_pair(std::string("first"), ModalResponse::alertSecondButtonReturn));

    main->endSheet(*first, ModalResponse::ok);  // no longer queued: nothing
    main->endSheet(*second, ModalResponse::cancel);
    time.runDue();
    EXPECT_EQ(completions.size(), 2u);
    EXPECT_EQ(main->attachedSheet(), nullptr);
    EXPECT_TRUE(main->isKeyWindow());  // the key role comes back
    EXPECT_EQ(second->sheetParent(), nullptr);
}

TEST_F(WindowTest, TrackingAreasHearThePointerComeAndGo) {
    auto window = shownWindow(Rect(0, 0, 200, 100));
    auto icon = std::make_shared<HoverView>(journal, Rect(10, 10, 20, 20));
    window->contentView()->addSubview(icon);
    icon->addTrackingArea(
        std::make_shared<TrackingArea>(icon->bounds(), TrackingArea::mouseEnteredAndExited | TrackingArea::activeAlways, icon));
    auto other = shownWindow(Rect(300, 0, 50, 50));

    Person::mouse(EventType::mouseMoved, window, {100, 50});
    Person::hover(*icon);
    Person::mouse(EventType::mouseMoved, window, {15, 15});  // still inside
    Person::mouse(EventType::mouseMoved, window, {100, 50});
    Person::hover(*icon);
    Person::mouse(EventType::mouseMoved, other, {5, 5});  // over another window
    EXPECT_EQ(journal, (Journal{"entered", "exited", "entered", "exited"}));

    // An area active only in the key window stays silent elsewhere.
    journal.clear();
    icon->removeTrackingArea(icon->trackingAreas().front());
    icon->addTrackingArea(std::make_shared<TrackingArea>(
        icon->bounds(), TrackingArea::mouseEnteredAndExited | TrackingArea::activeInKeyWindow, icon));
    Person::hover(*icon);
    EXPECT_TRUE(journal.empty());
    window->makeKey();
    Person::mouse(EventType::mouseMoved, window, {100, 50});
    Person::hover(*icon);
    EXPECT_EQ(journal, (Journal{"entered"}));
}

// A button-like view that shows a hand over itself once it has a cursor.
class HandView : public View {
public:
    using View::View;
    std::shared_ptr<Cursor> cursor;
    void resetCursorRects() override {
        if (cursor) addCursorRect(bounds(), cursor);
    }
};

TEST_F(WindowTest, TheCursorComesFromTheTopmostCursorRectangle) {
    auto window = shownWindow(Rect(0, 0, 200, 100));
    auto below = std::make_shared<HandView>(Rect(0, 0, 100, 100));
    auto above = std::make_shared<HandView>(Rect(50, 0, 100, 100));
    window->contentView()->addSubview(below);
    window->contentView()->addSubview(above);
    EXPECT_EQ(window->cursorAt({60, 10}), Cursor::arrow());
    below->cursor = Cursor::pointingHand();
    above->cursor = std::make_shared<Cursor>("other");
    EXPECT_EQ(window->cursorAt({10, 10}), Cursor::pointingHand());
    EXPECT_EQ(window->cursorAt({60, 10})->name(), "other");
    above->setHidden(true);
    EXPECT_EQ(window->cursorAt({60, 10}), Cursor::pointingHand());
    EXPECT_EQ(window->cursorAt({180, 10}), Cursor::arrow());
}

TEST_F(WindowTest, ScreensAreConfigurableAndAWindowLiesOnTheOneHoldingMostOfIt) {
    ASSERT_NE(Screen::main(), nullptr);
    EXPECT_EQ(Screen::main()->frame(), Rect(0, 0, 1440, 900));
    Screen::setScreenFrames({Rect(0, 0, 1000, 800), Rect(1000, 0, 1920, 1080)});
    auto window = shownWindow(Rect(900, 100, 300, 100));
    EXPECT_EQ(window->screen(), Screen::screens()[1]);
    window->setFrame(Rect(-500, -500, 10, 10));
    EXPECT_EQ(window->screen(), nullptr);
    Screen::setScreenFrames({});
    EXPECT_EQ(Screen::main(), nullptr);
}

}  // namespace
