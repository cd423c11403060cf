// The info icons beside the kill switch and the Shield: their hints, shown in a popover only
// while the settings screen is open, and closed whenever the pointer leaves.

#include "app/InfoIconImage.hpp"
#include "fixtures/SettingsScreen.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/PopoverBubbleView.hpp"

#include <gtest/gtest.h>

using corvantis::InfoIconImage;

namespace {

constexpr const char* killSwitchHint = "Kill Switch will automatically disconnect the Internet when VPN connection is lost";
constexpr const char* shieldHint = "Corvantis Shield keeps the Internet off unless you're connected to VPN";

class HintPopoverTest : public corvantis::testing::SettingsScreen {
protected:
    void SetUp() override { openSettings(); }

    std::shared_ptr<InfoIconImage> icon(int tag) const {
        for (const auto& candidate : view->selfAndDescendants()) {
            if (auto found = std::dynamic_pointer_cast<InfoIconImage>(candidate); found && found->tag() == tag) return found;
        }
        throw std::logic_error("the screen has no info icon with tag " + std::to_string(tag));
    }

    // The pointer moves to the middle of `target`, or to a corner of the window away from the icons.
    void pointAt(platform::ui::View* target) {
        platform::ui::Point at{5, 5};
        if (target) at = target->convert(platform::ui::Point{target->bounds().midX(), target->bounds().midY()}, nullptr);
        platform::ui::Application::shared().sendEvent(
            platform::ui::Event::mouseEvent(platform::ui::EventType::mouseMoved, at, window));
    }
};

TEST_F(HintPopoverTest, EachIconTracksItsBoundsOnceWhereverItIsPlaced) {
    for (int tag : {0, 1}) {
        const auto areas = icon(tag)->trackingAreas();
        ASSERT_EQ(areas.size(), 1u);
        EXPECT_EQ(areas[0]->rect(), icon(tag)->bounds());
        EXPECT_EQ(areas[0]->options(), 0x81u);
    }
    const auto other = std::make_shared<platform::ui::Window>(platform::ui::Rect(0, 0, 300, 400));
    other->setContentView(std::make_shared<platform::ui::View>());
    other->contentView()->addSubview(view);
    corvantis::MainWindow::shared().popupController->containerView()->addSubview(view);
    EXPECT_EQ(icon(0)->trackingAreas().size(), 1u);
    ASSERT_TRUE(icon(0)->hintView);
}

TEST_F(HintPopoverTest, WhileTheScreenIsOpenTheHintShowsBelowItsIconAndClosesOnEveryExit) {
    ASSERT_TRUE(corvantis::MainWindow::shared().isOpen());
    const auto killSwitch = icon(0);
    pointAt(killSwitch.get());
    ASSERT_TRUE(killSwitch->popover.isShown());
    EXPECT_EQ(killSwitch->hintView->lblHint->stringValue(), killSwitchHint);
    // The 250 × 59 content under the bubble's arrow, whose tip touches the icon's lower edge.
    const auto& hint = *killSwitch->hintView;
    const auto content = killSwitch->popover.window()->convertToScreen(hint.convert(hint.bounds(), nullptr));
    const auto anchor = window->convertToScreen(killSwitch->convert(killSwitch->bounds(), nullptr));
    EXPECT_EQ(content.width(), 250);
    EXPECT_EQ(content.height(), 59);
    EXPECT_EQ(content.maxY(), anchor.minY() - platform::ui::PopoverBubbleView::arrowLength);
    EXPECT_EQ(content.midX(), anchor.midX());
    EXPECT_EQ(killSwitch->popover.window()->frame().maxY(), anchor.minY());
    pointAt(nullptr);
    EXPECT_FALSE(killSwitch->popover.isShown());

    // The popup stops being open while the hint shows: leaving the icon still closes it.
    pointAt(killSwitch.get());
    ASSERT_TRUE(killSwitch->popover.isShown());
    corvantis::MainWindow::shared().popupController->statusItem()->button()->highlight(false);
    pointAt(nullptr);
    EXPECT_FALSE(killSwitch->popover.isShown());
}

TEST_F(HintPopoverTest, WhileTheScreenIsNotOpenTheHintChangesButNoPopoverShows) {
    // The status button no longer shows the popup open, though the panel still takes the pointer.
    corvantis::MainWindow::shared().popupController->statusItem()->button()->highlight(false);
    ASSERT_FALSE(corvantis::MainWindow::shared().isOpen());
    pointAt(icon(1).get());
    EXPECT_EQ(icon(1)->hintView->lblHint->stringValue(), shieldHint);
    EXPECT_FALSE(icon(1)->popover.isShown());
    pointAt(icon(0).get());
    EXPECT_EQ(icon(0)->hintView->lblHint->stringValue(), killSwitchHint);
    EXPECT_FALSE(icon(0)->popover.isShown());
}

}  // namespace
