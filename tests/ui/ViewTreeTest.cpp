#include "RecordingView.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/GestureRecognizer.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/TrackingArea.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using corvantis::testing::RecordingView;
using platform::ui::GestureRecognizer;
using platform::ui::Point;
using platform::ui::Rect;
using platform::ui::TrackingArea;
using platform::ui::View;
using platform::ui::Window;
using Journal = std::vector<std::string>;

namespace {

class ViewTreeTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<Journal> journal = std::make_shared<Journal>();
    std::shared_ptr<RecordingView> make(const std::string& name, Rect frame = {}) {
        return std::make_shared<RecordingView>(name, journal, frame);
    }
};

TEST_F(ViewTreeTest, SuperviewHooksRunAtOnceAndNestedAddsFinishInsideTheOuterOne) {
    auto container = make("container");
    auto screen = make("screen");
    auto logo = make("logo");
    auto logoPart = make("logoPart");
    logo->addSubview(logoPart);
    journal->clear();
    // As a screen that builds its animation view when it is placed.
    screen->onMoveToSuperview = [&](RecordingView& self) {
        self.addSubview(logo);
        journal->push_back("screen done");
    };

    container->addSubview(screen);

    // The moved view hears it; views that come along inside it do not.
    EXPECT_EQ(*journal, (Journal{"screen superview container", "logo superview screen", "screen done"}));
    EXPECT_EQ(screen->superview(), container.get());
    EXPECT_EQ(logo->superview(), screen.get());
    EXPECT_EQ(screen->nextResponder(), container);
}

TEST_F(ViewTreeTest, SubviewsKeepTheirOrderAndMovingAViewTakesItFromItsOldSuperview) {
    auto a = make("a");
    auto b = make("b");
    auto first = make("first");
    auto second = make("second");
    a->addSubview(first);
    a->addSubview(second);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>>{first, second}));

    a->addSubview(first);  // already there: brought to the top
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>>{second, first}));

    journal->clear();
    b->addSubview(first);
    EXPECT_EQ(a->subviews(), (std::vector<std::shared_ptr<View>>{second}));
    EXPECT_EQ(b->subviews(), (std::vector<std::shared_ptr<View>>{first}));
    EXPECT_EQ(*journal, (Journal{"first superview b"}));

    first->removeFromSuperview();
    EXPECT_TRUE(b->subviews().empty());
    EXPECT_EQ(first->superview(), nullptr);
    EXPECT_EQ(first->nextResponder(), nullptr);
    EXPECT_EQ(journal->back(), "first superview none");
}

TEST_F(ViewTreeTest, AViewCannotBeAddedIntoItself) {
    auto outer = make("outer");
    auto inner = make("inner");
    outer->addSubview(inner);
    EXPECT_THROW(inner->addSubview(outer), std::invalid_argument);
    EXPECT_THROW(inner->addSubview(inner), std::invalid_argument);
    EXPECT_EQ(outer->superview(), nullptr);
}

TEST_F(ViewTreeTest, WindowHooksReachTheWholeMovedTreeBeforeTheSuperviewHook) {
    auto window = std::make_shared<Window>(Rect(100, 500, 300, 200));
    auto content = make("content");
    window->setContentView(content);
    EXPECT_EQ(content->frame(), Rect(0, 0, 300, 200));
    EXPECT_EQ(content->nextResponder(), window);

    auto icon = make("icon");
    auto iconPart = make("iconPart");
    icon->addSubview(iconPart);
    journal->clear();
    content->addSubview(icon);
    EXPECT_EQ(*journal, (Journal{"icon window yes", "iconPart window yes", "icon superview content"}));
    EXPECT_EQ(iconPart->window(), window.get());

    // Moving within the same window changes no window.
    auto other = make("other");
    content->addSubview(other);
    journal->clear();
    other->addSubview(icon);
    EXPECT_EQ(*journal, (Journal{"icon superview other"}));

    journal->clear();
    icon->removeFromSuperview();
    EXPECT_EQ(*journal, (Journal{"icon window none", "iconPart window none", "icon superview none"}));
    EXPECT_EQ(iconPart->window(), nullptr);
}

TEST_F(ViewTreeTest, WindowSizesItsContentViewAndLetsTheOldOneGo) {
    auto window = std::make_shared<Window>(Rect(0, 0, 100, 100));
    auto first = make("first");
    auto second = make("second");
    window->setContentView(first);
    journal->clear();
    window->setContentView(second);
    EXPECT_EQ(*journal, (Journal{"first window none", "second window yes"}));
    EXPECT_EQ(first->window(), nullptr);

    window->setFrame(Rect(10, 20, 250, 80));
    EXPECT_EQ(second->frame(), Rect(0, 0, 250, 80));
}

TEST_F(ViewTreeTest, HidingTellsTheViewAndEverySubviewThatWasShown) {
    auto screen = make("screen");
    auto label = make("label");
    auto alreadyHidden = make("alreadyHidden");
    screen->addSubview(label);
    screen->addSubview(alreadyHidden);
    alreadyHidden->setHidden(true);
    journal->clear();

    screen->setHidden(true);
    EXPECT_EQ(*journal, (Journal{"screen hidden", "label hidden"}));
    EXPECT_TRUE(label->isHiddenOrHasHiddenAncestor());
    EXPECT_FALSE(label->isHidden());

    journal->clear();
    label->setHidden(true);  // already out of sight: nothing changes for anybody
    screen->setHidden(true);
    EXPECT_TRUE(journal->empty());

    screen->setHidden(false);
    EXPECT_EQ(*journal, (Journal{"screen shown"}));
}

TEST_F(ViewTreeTest, HitTestingFindsTheTopmostVisibleViewUnderThePoint) {
    auto root = make("root", Rect(0, 0, 200, 200));
    auto back = make("back", Rect(0, 0, 100, 100));
    auto front = make("front", Rect(50, 50, 100, 100));
    auto inner = make("inner", Rect(10, 10, 20, 20));
    root->addSubview(back);
    root->addSubview(front);
    front->addSubview(inner);

    struct Case {
        const char* what;
        Point point;
        std::function<void()> change;
        const View* expected;
    };
    const std::vector<Case> cases = {
        {"overlap goes to the later subview", {55, 55}, [] {}, front.get()},
        {"inside a subview's subview", {65, 65}, [] {}, inner.get()},
        {"only the back view there", {20, 20}, [] {}, back.get()},
        {"the root's own area", {190, 10}, [] {}, root.get()},
        {"outside everything", {250, 10}, [] {}, nullptr},
        {"a hidden view and its subviews are passed over", {65, 65}, [&] { front->setHidden(true); }, back.get()},
        {"so is a view at alpha 0", {65, 65}, [&] { front->setHidden(false), front->setAlphaValue(0); }, back.get()},
        {"any alpha above 0 takes the hit", {65, 65}, [&] { front->setAlphaValue(0.01); }, inner.get()},
        {"a hidden root takes nothing", {65, 65}, [&] { root->setHidden(true); }, nullptr},
    };
    for (const Case& c : cases) {
        c.change();
        EXPECT_EQ(root->hitTest(c.point), c.expected) << c.what;
    }
}

TEST_F(ViewTreeTest, ConversionToTheWindowFollowsFramesAndFlippedSuperviews) {
    auto window = std::make_shared<Window>(Rect(0, 0, 400, 300));
    auto content = make("content");
    auto panel = make("panel", Rect(20, 30, 200, 100));
    auto button = make("button", Rect(5, 10, 40, 20));
    window->setContentView(content);
    content->addSubview(panel);
    panel->addSubview(button);

    EXPECT_EQ(button->convert(button->bounds(), nullptr), Rect(25, 40, 40, 20));
    EXPECT_EQ(button->convert(Point{0, 0}, panel.get()), (Point{5, 10}));
    EXPECT_EQ(button->convertFrom(Point{25, 40}, nullptr), (Point{0, 0}));
    EXPECT_EQ(panel->convert(Point{1, 1}, button.get()), (Point{-4, -9}));

    // In a flipped view y runs down from its top edge: button's origin is 10 below the top.
    panel->flipped = true;
    EXPECT_EQ(button->convert(button->bounds(), nullptr), Rect(25, 30 + 100 - 10 - 20, 40, 20));
    EXPECT_EQ(button->convertFrom(button->convert(Point{3, 4}, nullptr), nullptr), (Point{3, 4}));
    // A point keeps its place in the button: its bottom-left corner is 30 below the panel's top.
    EXPECT_EQ(button->convert(Point{0, 0}, nullptr), (Point{25, 100}));

    // A flipped view in a flipped view: both count down, so the offsets simply add up.
    button->flipped = true;
    EXPECT_EQ(button->convert(Point{0, 0}, panel.get()), (Point{5, 10}));
    EXPECT_EQ(button->convert(Point{0, 0}, nullptr), (Point{25, 120}));
    EXPECT_EQ(button->convert(button->bounds(), nullptr), Rect(25, 100, 40, 20));
}

TEST_F(ViewTreeTest, LayerExistsExactlyWhileTheViewWantsOne) {
    auto view = make("view");
    EXPECT_EQ(view->layer(), nullptr);
    view->setWantsLayer(true);
    ASSERT_NE(view->layer(), nullptr);
    view->layer()->cornerRadius = 4.0;
    view->setWantsLayer(true);  // asking again keeps the same layer and its settings
    EXPECT_EQ(view->layer()->cornerRadius, 4.0);
    view->setWantsLayer(false);
    EXPECT_EQ(view->layer(), nullptr);
}

TEST_F(ViewTreeTest, GestureRecognizersSendTheirActionWithThemselvesAsSender) {
    auto settings = make("settings");
    auto label = make("label");
    settings->addSubview(label);
    std::vector<platform::ui::Object*> senders;
    settings->setActionHandler("chkKillSwitchClick:", [&](platform::ui::Object* sender) { senders.push_back(sender); });

    auto click = std::make_shared<GestureRecognizer>(settings, "chkKillSwitchClick:");
    label->addGestureRecognizer(click);
    EXPECT_EQ(click->view(), label.get());
    EXPECT_TRUE(click->sendAction());
    EXPECT_EQ(senders, (std::vector<platform::ui::Object*>{click.get()}));

    // Without a target the action goes up the chain from the recogniser's view.
    auto untargeted = std::make_shared<GestureRecognizer>(nullptr, "chkKillSwitchClick:");
    label->addGestureRecognizer(untargeted);
    EXPECT_TRUE(untargeted->sendAction());
    EXPECT_EQ(senders.size(), 2u);

    untargeted->setEnabled(false);
    EXPECT_FALSE(untargeted->sendAction());
    EXPECT_EQ(label->gestureRecognizers().size(), 2u);

    label->setGestureRecognizers({});
    EXPECT_TRUE(label->gestureRecognizers().empty());
    EXPECT_EQ(click->view(), nullptr);
    EXPECT_FALSE(untargeted->sendAction());
}

TEST_F(ViewTreeTest, ARecognizerMayTakeItselfOffItsViewWhileSending) {
    auto label = make("label");
    auto click = std::make_shared<GestureRecognizer>(label, "rbTcpClick:");
    std::weak_ptr<GestureRecognizer> watch = click;
    label->setActionHandler("rbTcpClick:", [&](platform::ui::Object*) { label->setGestureRecognizers({}); });
    label->addGestureRecognizer(std::move(click));
    EXPECT_TRUE(watch.lock()->sendAction());
    EXPECT_TRUE(watch.expired());
}

TEST_F(ViewTreeTest, TrackingAreasAreKeptUntilRemoved) {
    auto icon = make("icon", Rect(0, 0, 16, 16));
    auto area =
        std::make_shared<TrackingArea>(icon->bounds(), TrackingArea::mouseEnteredAndExited | TrackingArea::activeAlways, icon);
    icon->addTrackingArea(area);
    ASSERT_EQ(icon->trackingAreas().size(), 1u);
    EXPECT_EQ(icon->trackingAreas().front()->options(), 0x81u);
    EXPECT_EQ(icon->trackingAreas().front()->owner(), icon);
    icon->removeTrackingArea(area);
    EXPECT_TRUE(icon->trackingAreas().empty());
}

TEST_F(ViewTreeTest, NextKeyViewIsHeldWeakly) {
    auto email = make("email");
    auto password = make("password");
    email->setNextKeyView(password);
    EXPECT_EQ(email->nextKeyView(), password);
    password.reset();
    EXPECT_EQ(email->nextKeyView(), nullptr);
}

TEST_F(ViewTreeTest, AReleasedSuperviewLeavesItsSubviewsWithoutOne) {
    auto child = make("child");
    {
        auto parent = make("parent");
        parent->addSubview(child);
    }
    EXPECT_EQ(child->superview(), nullptr);
    EXPECT_EQ(child->window(), nullptr);
}

}  // namespace
