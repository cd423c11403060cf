#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowDelegate.hpp"

#include <gtest/gtest.h>

#include <chrono>

using corvantis::testing::Person;
using corvantis::testing::shownWindow;
using platform::ui::Application;
using platform::ui::ApplicationDelegate;
using platform::ui::Event;
namespace EventMask = platform::ui::EventMask;
using platform::ui::EventType;
using platform::ui::ModalResponse;
namespace ModifierFlags = platform::ui::ModifierFlags;
using platform::ui::Object;
using platform::ui::Point;
using platform::ui::Rect;
using platform::ui::Responder;
using platform::ui::View;
using platform::ui::Window;
using Journal = std::vector<std::string>;

namespace {

// A view that writes the events it gets into a journal.
class ListeningView : public View {
public:
    ListeningView(std::string name, Journal& journal, Rect frame) : View(frame), name_(std::move(name)), journal_(journal) {}
    void mouseDown(const Event&) override { journal_.push_back(name_ + " down"); }
    void mouseUp(const Event&) override { journal_.push_back(name_ + " up"); }
    void rightMouseUp(const Event&) override { journal_.push_back(name_ + " right up"); }
    void keyDown(const Event& event) override { journal_.push_back(name_ + " key " + event.characters()); }
    bool acceptsFirstResponder() const override { return true; }
    bool performKeyEquivalent(const Event& event) override {
        if (event.characters() != "q") return View::performKeyEquivalent(event);
        journal_.push_back(name_ + " equivalent q");
        return true;
    }

private:
    std::string name_;
    Journal& journal_;
};

class RecordingDelegate : public Responder, public ApplicationDelegate {
public:
    explicit RecordingDelegate(Journal& journal) : journal_(journal) {}
    void applicationDidFinishLaunching() override {
        journal_.push_back("launched");
        if (onLaunch) onLaunch();
    }
    void applicationWillTerminate() override { journal_.push_back("will terminate"); }
    std::function<void()> onLaunch;

private:
    Journal& journal_;
};

class ApplicationTest : public corvantis::testing::UiTestCase {
protected:
    Application& application = Application::shared();
    Journal journal;
};

TEST_F(ApplicationTest, RawValuesAreAppKits) {
    const std::vector<std::pair<EventType, int>> types{{EventType::leftMouseDown, 1}, {EventType::leftMouseUp, 2},
                                                       {EventType::rightMouseUp, 4},  {EventType::mouseEntered, 8},
                                                       {EventType::keyDown, 10},      {EventType::keyUp, 11}};
    for (const auto& [type, raw] : types) {
        EXPECT_EQ(platform::ui::eventTypeFromRaw(raw), type) << raw;
        EXPECT_EQ(EventMask::of(type), std::uint64_t{1} << raw) << platform::ui::description(type);
    }
    EXPECT_EQ(platform::ui::eventTypeFromRaw(7), std::nullopt);
    EXPECT_EQ(EventMask::leftMouseDown, 2u);
    EXPECT_EQ(EventMask::leftMouseUp, 4u);
    EXPECT_EQ(EventMask::rightMouseUp, 16u);
    EXPECT_EQ(ModifierFlags::shift | ModifierFlags::option, 0xa0000u);
    EXPECT_EQ(ModifierFlags::command | ModifierFlags::shift, 0x120000u);
    EXPECT_EQ((ModifierFlags::capsLock | 0x1f) & ModifierFlags::deviceIndependentFlagsMask, 0x10000u);
}

TEST_F(ApplicationTest, EventsCarryNumbersAndTimestampsOfTheClock) {
    const auto first = Event::mouseEvent(EventType::leftMouseDown, {}, nullptr);
    time.advance(std::chrono::milliseconds(500));
    const auto second = Event::mouseEvent(EventType::leftMouseUp, {}, nullptr);
    EXPECT_GT(second.eventNumber(), first.eventNumber());
    EXPECT_DOUBLE_EQ(second.timestamp() - first.timestamp(), 0.5);
    EXPECT_EQ(Event::mouseEvent(EventType::leftMouseDown, {}, nullptr, 0, 1337).eventNumber(), 1337);
}

TEST_F(ApplicationTest, MonitorsRunInOrderAndANullResultSwallowsTheEvent) {
    auto window = shownWindow(Rect(0, 0, 100, 100));
    window->contentView()->addSubview(std::make_shared<ListeningView>("view", journal, Rect(0, 0, 100, 100)));
    application.addLocalMonitorForEvents(EventMask::leftMouseDown | EventMask::leftMouseUp, [&](const Event& event) {
        journal.push_back("first " + std::string(platform::ui::description(event.type())));
        EXPECT_EQ(application.currentEvent()->eventNumber(), event.eventNumber());
        return std::optional<Event>(event);
    });
    application.addLocalMonitorForEvents(EventMask::rightMouseUp, [&](const Event&) {
        journal.push_back("right monitor");
        return std::optional<Event>(std::nullopt);  // swallowed
    });
    application.addLocalMonitorForEvents(EventMask::leftMouseDown, [&](const Event&) {
        journal.push_back("second leftMouseDown");
        return std::optional<Event>(Event::mouseEvent(EventType::leftMouseDown, Point{5, 5}, window));
    });

    Person::mouse(EventType::leftMouseDown, window, {50, 50});
    Person::mouse(EventType::leftMouseUp, window, {50, 50});
    Person::mouse(EventType::rightMouseUp, window, {50, 50});

    EXPECT_EQ(journal, (Journal{"first leftMouseDown", "second leftMouseDown", "view down", "first leftMouseUp", "view up",
                                "right monitor"}));
    EXPECT_FALSE(application.currentEvent());
}

TEST_F(ApplicationTest, AMonitorRemovedDuringADispatchSeesNoMoreOfIt) {
    auto window = shownWindow(Rect(0, 0, 100, 100));
    platform::ui::EventMonitor second;
    application.addLocalMonitorForEvents(EventMask::any, [&](const Event& event) {
        journal.push_back("first");
        application.removeMonitor(second);
        return std::optional<Event>(event);
    });
    second = application.addLocalMonitorForEvents(EventMask::any, [&](const Event& event) {
        journal.push_back("second");
        return std::optional<Event>(event);
    });
    Person::mouse(EventType::leftMouseDown, window, {1, 1});
    Person::mouse(EventType::leftMouseDown, window, {1, 1});
    EXPECT_EQ(journal, (Journal{"first", "first"}));
}

TEST_F(ApplicationTest, MouseGoesToTheHitViewAndTheReleaseToWhereThePressWent) {
    auto window = shownWindow(Rect(0, 0, 200, 100));
    window->contentView()->addSubview(std::make_shared<ListeningView>("left", journal, Rect(0, 0, 100, 100)));
    window->contentView()->addSubview(std::make_shared<ListeningView>("right", journal, Rect(100, 0, 100, 100)));

    Person::mouse(EventType::leftMouseDown, window, {20, 20});
    Person::mouse(EventType::leftMouseUp, window, {150, 20});
    Person::mouse(EventType::rightMouseUp, window, {150, 20});
    EXPECT_EQ(journal, (Journal{"left down", "left up", "right right up"}));
}

TEST_F(ApplicationTest, KeysAreOfferedAsEquivalentsFirstThenGoToTheFirstResponder) {
    auto window = shownWindow(Rect(0, 0, 100, 100));
    auto view = std::make_shared<ListeningView>("view", journal, Rect(0, 0, 10, 10));
    window->contentView()->addSubview(view);
    window->makeKey();
    ASSERT_TRUE(window->makeFirstResponder(view));

    Person::press("q", ModifierFlags::command);
    Person::press("a");
    EXPECT_EQ(journal, (Journal{"view equivalent q", "view key a"}));

    // Without a key window the keys go nowhere.
    window->resignKey();
    Person::press("b");
    EXPECT_EQ(journal.size(), 2u);
}

TEST_F(ApplicationTest, ActionsTravelFromTheFirstResponderUpToTheDelegates) {
    auto window = shownWindow(Rect(0, 0, 100, 100));
    auto view = std::make_shared<ListeningView>("view", journal, Rect(0, 0, 10, 10));
    window->contentView()->addSubview(view);
    window->makeKey();
    window->makeFirstResponder(view);
    window->contentView()->setActionHandler("paste:", [&](Object*) { journal.push_back("content paste"); });
    auto delegate = std::make_shared<RecordingDelegate>(journal);
    delegate->setActionHandler("quit:", [&](Object* sender) { journal.push_back(sender ? "delegate quit" : "?"); });
    application.setDelegate(delegate);

    auto button = std::make_shared<platform::ui::Button>();
    EXPECT_TRUE(application.sendAction("paste:", nullptr, button.get()));
    EXPECT_TRUE(application.sendAction("quit:", nullptr, button.get()));
    EXPECT_FALSE(application.sendAction("copy:", nullptr, button.get()));
    // A target takes the action alone.
    EXPECT_FALSE(application.sendAction("paste:", view.get(), button.get()));
    EXPECT_EQ(journal, (Journal{"content paste", "delegate quit"}));

    window->resignKey();
    EXPECT_FALSE(application.sendAction("paste:", nullptr, button.get()));
}

TEST_F(ApplicationTest, TerminateTellsTheDelegateAndEndsTheRunLoop) {
    auto delegate = std::make_shared<RecordingDelegate>(journal);
    // The run loop runs until the delegate, once launched, quits.
    delegate->onLaunch = [&] { time.mainQueue().async([&] { application.terminate(); }); };
    application.setDelegate(delegate);
    EXPECT_EQ(platform::ui::applicationMain(), 0);
    EXPECT_EQ(journal, (Journal{"launched", "will terminate"}));
    EXPECT_TRUE(application.isTerminated());
}

TEST_F(ApplicationTest, DeactivatingMakesTheKeyWindowResignAndHidesWhatHidesOnDeactivate) {
    struct KeyJournal : platform::ui::WindowDelegate {
        Journal& journal;
        explicit KeyJournal(Journal& j) : journal(j) {}
        void windowDidResignKey(Window& window) override { journal.push_back("resign " + window.title()); }
    };
    auto listener = std::make_shared<KeyJournal>(journal);
    auto main = shownWindow(Rect(0, 0, 100, 100));
    main->setTitle("main");
    main->setDelegate(listener);
    auto panel = shownWindow(Rect(0, 0, 50, 50));
    panel->setHidesOnDeactivate(true);
    application.activate();
    main->makeKey();

    application.deactivate();
    EXPECT_FALSE(application.isActive());
    EXPECT_EQ(application.keyWindow(), nullptr);
    EXPECT_EQ(journal, (Journal{"resign main"}));
    EXPECT_TRUE(main->isVisible());
    EXPECT_FALSE(panel->isVisible());

    application.activate();
    EXPECT_TRUE(panel->isVisible());
}

TEST_F(ApplicationTest, AModalSessionWithoutAnAnswerAborts) {
    auto window = shownWindow(Rect(0, 0, 10, 10));
    EXPECT_EQ(application.runModal(*window), ModalResponse::abort);

    application.setModalHandler([&](Window& modal) {
        EXPECT_EQ(application.modalWindow(), &modal);
        EXPECT_TRUE(modal.isVisible());
        application.stopModal(ModalResponse::ok);
    });
    EXPECT_EQ(application.runModal(*window), ModalResponse::ok);
    EXPECT_EQ(application.modalWindow(), nullptr);
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
