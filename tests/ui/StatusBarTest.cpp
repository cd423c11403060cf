#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/Screen.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"

#include <gtest/gtest.h>

using platform::ui::Application;
using platform::ui::Image;
using platform::ui::Rect;
using platform::ui::Screen;
using platform::ui::Size;
using platform::ui::StatusBar;
using platform::ui::StatusBarWindow;

namespace {

class StatusBarTest : public corvantis::testing::UiTestCase {
protected:
    StatusBar& bar = StatusBar::system();
};

TEST_F(StatusBarTest, ItemsLineUpFromTheRightAlongTheTopOfTheMainScreen) {
    Screen::setScreenFrames({Rect(0, 0, 1000, 700), Rect(1000, 0, 800, 600)});
    auto first = bar.statusItem(30);
    auto popup = bar.statusItem(StatusBar::variableLength);
    auto square = bar.statusItem(StatusBar::squareLength);
    popup->setTitle("");
    popup->setImage(Image::make(Size{18, 16}));
    EXPECT_EQ(first->window()->frame(), Rect(970, 678, 30, 22));
    EXPECT_EQ(popup->window()->frame(), Rect(942, 678, 28, 22));  // 18 points of image and 5 each side
    EXPECT_EQ(square->window()->frame(), Rect(920, 678, 22, 22));

    popup->setLength(22);
    EXPECT_EQ(popup->window()->frame(), Rect(948, 678, 22, 22));
    EXPECT_EQ(square->window()->frame().origin.x, 926);
    // The button fills the item's window, which knows its item and is on screen.
    EXPECT_EQ(popup->button()->frame(), Rect(0, 0, 22, 22));
    EXPECT_EQ(popup->button()->window(), popup->window().get());
    EXPECT_EQ(popup->window()->statusItem(), popup);
    EXPECT_TRUE(popup->window()->isVisible());
    EXPECT_FALSE(popup->window()->canBecomeKey());
    EXPECT_EQ(popup->window()->level(), platform::ui::WindowLevel::statusBar);
}

TEST_F(StatusBarTest, RemovedOrReleasedItemsLeaveTheBarAndTheOthersCloseUp) {
    auto first = bar.statusItem(30);
    auto second = bar.statusItem(20);
    auto third = bar.statusItem(10);
    bar.removeStatusItem(first);
    EXPECT_EQ(first->statusBar(), nullptr);
    EXPECT_FALSE(first->window()->isVisible());
    EXPECT_EQ(second->window()->frame().origin.x, 1420);
    std::weak_ptr<StatusBarWindow> window = second->window();
    second.reset();
    bar.layoutItems();
    EXPECT_TRUE(window.expired());
    EXPECT_EQ(third->window()->frame().origin.x, 1430);
    EXPECT_EQ(bar.items(), (std::vector<std::shared_ptr<platform::ui::StatusItem>>{third}));
    EXPECT_EQ(Application::shared().windows().size(), 1u);
}

TEST_F(StatusBarTest, ATrayThatSaysWhereItShowsAnItemPlacesItThereAndTheRestStayInTheBar) {
    auto first = bar.statusItem(30);
    auto second = bar.statusItem(30);
    bar.setItemPlacer([&](const platform::ui::StatusItem& item) -> std::optional<Rect> {
        if (&item == first.get()) return Rect(400, 0, 24, 24);  // a panel along the bottom edge
        return std::nullopt;
    });
    EXPECT_EQ(first->window()->frame(), Rect(400, 0, 24, 24));
    EXPECT_EQ(second->window()->frame(), Rect(1440 - 60, 900 - 22, 30, 22));
    bar.setItemPlacer(nullptr);
    EXPECT_EQ(first->window()->frame(), Rect(1440 - 30, 900 - 22, 30, 22));
}

TEST_F(StatusBarTest, WithoutAScreenItemsHaveNoPlace) {
    Screen::setScreenFrames({});
    auto item = bar.statusItem(22);
    EXPECT_EQ(item->window()->frame(), Rect());
    EXPECT_EQ(item->window()->screen(), nullptr);
}

}  // namespace
