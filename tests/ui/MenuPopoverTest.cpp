#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/ImageView.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/Popover.hpp"
#include "platform/ui/PopoverBubbleView.hpp"
#include "platform/ui/ViewController.hpp"

#include <gtest/gtest.h>

using corvantis::testing::shownWindow;
using platform::ui::ImageView;
using platform::ui::Menu;
using platform::ui::MenuItem;
using platform::ui::Object;
using platform::ui::Point;
using platform::ui::Popover;
using platform::ui::PopoverBehavior;
using platform::ui::Rect;
using platform::ui::RectEdge;
using platform::ui::Responder;
using platform::ui::Size;
using platform::ui::View;
using platform::ui::ViewController;

namespace {

class MenuPopoverTest : public corvantis::testing::UiTestCase {};

TEST_F(MenuPopoverTest, TheMenuHandlerChoosesAndTheItemSendsItsAction) {
    auto controller = std::make_shared<Responder>();
    std::vector<Object*> senders;
    controller->setActionHandler("quitMenuItemClick:", [&](Object* sender) { senders.push_back(sender); });
    Menu menu;
    auto quit = menu.addItem("Quit", "quitMenuItemClick:", "");
    quit->setTarget(controller);

    EXPECT_FALSE(menu.popUp(nullptr, Point{1340, 878}, nullptr));  // nobody to choose

    std::vector<Point> shownAt;
    Menu::setPopUpHandler([&](const Menu::PopUp& popUp) {
        shownAt.push_back(popUp.location);
        EXPECT_EQ(popUp.positioningItem, nullptr);
        return popUp.menu.items().front();
    });
    EXPECT_TRUE(menu.popUp(nullptr, Point{1340, 878}, nullptr));
    EXPECT_EQ(senders, (std::vector<Object*>{quit.get()}));
    EXPECT_EQ(shownAt, (std::vector<Point>{{1340, 878}}));

    // Dismissed, or answered with an item of another menu: nothing is sent.
    Menu::setPopUpHandler([](const Menu::PopUp&) { return std::shared_ptr<MenuItem>(); });
    EXPECT_FALSE(menu.popUp(nullptr, {}, nullptr));
    auto stranger = std::make_shared<MenuItem>("Quit", "quitMenuItemClick:", "q");
    Menu::setPopUpHandler([&](const Menu::PopUp&) { return stranger; });
    EXPECT_FALSE(menu.popUp(nullptr, {}, nullptr));
    EXPECT_EQ(senders.size(), 1u);
}

class HintController : public ViewController {
public:
    std::vector<std::string> journal;
    void viewDidLoad() override { journal.push_back("loaded"); }
    void viewWillAppear() override { journal.push_back("will appear"); }
    void viewDidAppear() override { journal.push_back("did appear"); }
};

TEST_F(MenuPopoverTest, APopoverShowsItsControllersViewBesideTheRectangle) {
    auto window = shownWindow(Rect(100, 100, 360, 400));
    auto icon = std::make_shared<ImageView>(Rect(200, 100, 16, 16));
    window->contentView()->addSubview(icon);
    auto controller = std::make_shared<HintController>();
    Popover popover;
    popover.setBehavior(PopoverBehavior::applicationDefined);
    popover.setContentViewController(controller);
    popover.setContentSize(Size{250, 59});

    popover.show(icon->bounds(), *icon, RectEdge::minY);
    ASSERT_TRUE(popover.isShown());
    // Centred under the icon, which lies at (300, 200) on the screen: the bubble's arrow stands
    // on its top edge, its tip at the icon's lower edge.
    const auto onScreen = [&] {
        const auto view = controller->view();
        return popover.window()->convertToScreen(view->convert(view->bounds(), nullptr));
    };
    const auto tip = [&] {
        const auto bubble = popover.bubble();
        const auto at = bubble->convert(bubble->arrowTip(), nullptr);
        return platform::ui::Point{popover.window()->frame().minX() + at.x, popover.window()->frame().minY() + at.y};
    };
    EXPECT_EQ(onScreen(), Rect(308 - 125, 200 - 8 - 59, 250, 59));
    EXPECT_EQ(popover.window()->frame(), Rect(308 - 125, 200 - 8 - 59, 250, 59 + 8));
    EXPECT_EQ(tip(), (platform::ui::Point{308, 200}));
    EXPECT_EQ(controller->view()->window(), popover.window().get());
    EXPECT_EQ(controller->view()->frame().size, (Size{250, 59}));
    popover.show(icon->bounds(), *icon, RectEdge::maxX);  // moves, appears no second time
    EXPECT_EQ(onScreen(), Rect(316 + 8, 208 - 29.5, 250, 59));
    EXPECT_EQ(tip(), (platform::ui::Point{316, 208}));
    EXPECT_EQ(controller->journal, (std::vector<std::string>{"loaded", "will appear", "did appear"}));

    popover.close();
    EXPECT_FALSE(popover.isShown());
    EXPECT_FALSE(popover.window()->isVisible());

    // A view in no window has nowhere to show it.
    auto loose = std::make_shared<View>(Rect(0, 0, 10, 10));
    popover.show(loose->bounds(), *loose, RectEdge::minY);
    EXPECT_FALSE(popover.isShown());
}

}  // namespace
