// The popup's arithmetic and drawing: placement under the icon, the outline, the pinning formats.

#include "StatusPopup/StatusPopupBackgroundView.hpp"
#include "StatusPopup/StatusPopupContainerView.hpp"
#include "StatusPopup/StatusPopupLayout.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"

#include <gtest/gtest.h>

using corvantis::StatusPopupBackgroundView;
using corvantis::StatusPopupContainerView;
using corvantis::StatusPopupLayout;
using platform::ui::BezierPath;
using platform::ui::Point;
using platform::ui::Rect;

namespace {

using Type = BezierPath::ElementType;

TEST(StatusPopupLayoutTest, ThePanelKeepsTheArrowsHeightFromTheRightEdgeAndTheArrowStillPointsAtTheIcon) {
    const Rect screen{0, 0, 1440, 900};
    // An icon 22 wide whose centre lies 100 points left of the screen's right edge.
    const Rect icon{1440 - 100 - 11, 878, 22, 22};
    const auto band = StatusPopupLayout::bandBelow(icon);
    EXPECT_EQ(band, (Rect{1329, 856, 22, 22}));

    const auto placed = StatusPopupLayout::place(screen, band, {0, 0, 300, 400}, 8);
    // Centred, the right edge would lie 50 beyond the screen's; the clamp takes 58 more.
    EXPECT_EQ(placed.panelRect, (Rect{1340 - 150 - 58, 478, 300, 400}));
    EXPECT_EQ(placed.panelRect.maxX(), 1432);
    EXPECT_EQ(placed.panelRect.maxY(), 878) << "the top edge touches the icon's bottom edge";
    EXPECT_EQ(StatusPopupLayout::arrowX(band, placed.panelRect), 1340 - 1132);

    // Far from the edge nothing is clamped.
    EXPECT_EQ(StatusPopupLayout::place(screen, {500, 856, 22, 22}, {0, 0, 300, 400}, 8).panelRect, (Rect{361, 478, 300, 400}));
}

TEST(StatusPopupLayoutTest, UnderATrayAtTheBottomThePanelOpensAboveTheIconOnlyWhenItFitsThere) {
    const Rect icon{1000, 0, 24, 24};
    const auto placed = StatusPopupLayout::place({0, 0, 1440, 900}, StatusPopupLayout::bandBelow(icon), {0, 0, 300, 400}, 8);
    EXPECT_TRUE(placed.arrowPointsDown);
    EXPECT_EQ(placed.panelRect, (Rect{862, 24, 300, 400})) << "its bottom edge on the icon's top edge";

    // Room neither below nor above: it stays below as usual.
    const auto cramped = StatusPopupLayout::place({0, 0, 1440, 300}, StatusPopupLayout::bandBelow(icon), {0, 0, 300, 400}, 8);
    EXPECT_FALSE(cramped.arrowPointsDown);
    EXPECT_EQ(cramped.panelRect.maxY(), 0);
    EXPECT_FALSE(StatusPopupLayout::place({0, 0, 1440, 900}, {500, 856, 22, 22}, {0, 0, 300, 400}, 8).arrowPointsDown);

    // An icon at the bottom-left: the panel stays on the screen, its arrow still at the icon.
    const Rect leftIcon{4, 0, 24, 24};
    const auto left = StatusPopupLayout::place({0, 0, 1440, 900}, StatusPopupLayout::bandBelow(leftIcon), {0, 0, 300, 400}, 8);
    EXPECT_EQ(left.panelRect, (Rect{8, 24, 300, 400}));
    EXPECT_EQ(StatusPopupLayout::arrowX(StatusPopupLayout::bandBelow(leftIcon), left.panelRect), 8);
}

TEST(StatusPopupLayoutTest, HalvesRoundAwayFromZero) {
    const Rect screen{-2000, 0, 4000, 900};
    EXPECT_EQ(StatusPopupLayout::place(screen, {250.5, 0, 0, 0}, {0, 0, 300, 400}, 8).panelRect.minX(), 101);
    EXPECT_EQ(StatusPopupLayout::place(screen, {49.5, 0, 0, 0}, {0, 0, 300, 400}, 8).panelRect.minX(), -101);
    EXPECT_EQ(StatusPopupLayout::arrowX({100, 0, 1, 0}, {0, 0, 300, 400}), 101);
    EXPECT_EQ(StatusPopupLayout::arrowX({-101, 0, 1, 0}, {0, 0, 300, 400}), -101);
}

std::vector<BezierPath::Element> drawnOutline(StatusPopupBackgroundView& view) {
    platform::ui::RecordingGraphicsContext context;
    view.draw(context, {});
    EXPECT_EQ(context.operations().size(), 1u);
    const auto& fill = std::get<platform::ui::RecordingGraphicsContext::FillPath>(context.operations().at(0));
    EXPECT_EQ(fill.color, view.backgroundColor);
    EXPECT_EQ(fill.path.lineWidth(), 0);
    return fill.path.elements();
}

TEST(StatusPopupBackgroundViewTest, TheOutlineRunsFromTheArrowsTipClockwiseWithKappaCorners) {
    StatusPopupBackgroundView view(Rect{0, 0, 100, 50});
    view.backgroundColor = platform::ui::Color::white();
    view.setArrowX(40);
    // top = 50 - 8 = 42; r = 3; d = 3 × 0.55 - 3 = -1.35.
    const std::vector<BezierPath::Element> expected{
        {Type::moveTo, {{40, 50}}}, {Type::lineTo, {{46, 42}}},
        {Type::lineTo, {{97, 42}}}, {Type::curveTo, {{98.65, 42}, {100, 40.65}, {100, 39}}},
        {Type::lineTo, {{100, 3}}}, {Type::curveTo, {{100, 1.35}, {98.65, 0}, {97, 0}}},
        {Type::lineTo, {{3, 0}}},   {Type::curveTo, {{1.35, 0}, {0, 1.35}, {0, 3}}},
        {Type::lineTo, {{0, 39}}},  {Type::curveTo, {{0, 40.65}, {1.35, 42}, {3, 42}}},
        {Type::lineTo, {{34, 42}}}, {Type::closePath, {}},
    };
    const auto drawn = drawnOutline(view);
    ASSERT_EQ(drawn.size(), expected.size());
    for (std::size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(drawn[i].type, expected[i].type) << "element " << i;
        ASSERT_EQ(drawn[i].points.size(), expected[i].points.size()) << "element " << i;
        for (std::size_t p = 0; p < drawn[i].points.size(); ++p) {
            EXPECT_NEAR(drawn[i].points[p].x, expected[i].points[p].x, 1e-9) << "element " << i << " point " << p;
            EXPECT_NEAR(drawn[i].points[p].y, expected[i].points[p].y, 1e-9) << "element " << i << " point " << p;
        }
    }
}

TEST(StatusPopupBackgroundViewTest, WithoutRadiusTheBodyIsAPlainRectangleAndEveryArrowMoveAsksForARedraw) {
    StatusPopupBackgroundView view(Rect{0, 0, 100, 50});
    view.cornerRadius = 0;
    const auto drawn = drawnOutline(view);
    ASSERT_EQ(drawn.size(), 12u);
    // Every curve collapses onto its corner.
    for (const std::size_t curve : {3u, 5u, 7u, 9u}) {
        ASSERT_EQ(drawn[curve].type, Type::curveTo);
        EXPECT_EQ(drawn[curve].points[0], drawn[curve].points[2]);
        EXPECT_EQ(drawn[curve].points[1], drawn[curve].points[2]);
    }
    EXPECT_EQ(drawn[3].points[2], (Point{100, 42}));
    EXPECT_EQ(drawn[5].points[2], (Point{100, 0}));
    EXPECT_EQ(drawn[7].points[2], (Point{0, 0}));
    EXPECT_EQ(drawn[9].points[2], (Point{0, 42}));
    // With the tip at 0 the arrow leans: its base stays inside the bounds, whole.
    EXPECT_EQ(drawn[0].points[0], (Point{0, 50}));
    EXPECT_EQ(drawn[1].points[0], (Point{12, 42}));
    EXPECT_EQ(drawn[10].points[0], (Point{0, 42}));

    view.setNeedsDisplay(false);
    view.setArrowX(0);
    EXPECT_TRUE(view.needsDisplay()) << "the same position still asks for a redraw";
}

TEST(StatusPopupBackgroundViewTest, AnArrowPointingDownMirrorsTheShapeTopToBottom) {
    StatusPopupBackgroundView view(Rect{0, 0, 100, 50});
    view.setArrowX(40);
    const auto up = drawnOutline(view);
    view.arrowPointsDown = true;
    const auto down = drawnOutline(view);
    ASSERT_EQ(down.size(), up.size());
    EXPECT_EQ(down[0].points[0], (Point{40, 0})) << "the tip on the bottom edge";
    EXPECT_EQ(down[1].points[0], (Point{46, 8}));
    for (std::size_t i = 0; i < up.size(); ++i) {
        ASSERT_EQ(down[i].points.size(), up[i].points.size());
        for (std::size_t p = 0; p < up[i].points.size(); ++p) {
            EXPECT_EQ(down[i].points[p], (Point{up[i].points[p].x, 50 - up[i].points[p].y}));
        }
    }
}

TEST(StatusPopupContainerViewTest, PinningFormatsWriteNumbersAsTheSystemPrintsThem) {
    EXPECT_EQ(StatusPopupContainerView::horizontalFormat(0), "H:|-(0.0)-[containerView]-(0.0)-|");
    EXPECT_EQ(StatusPopupContainerView::verticalFormat(8, 0), "V:|-(8.0)-[containerView]-(0.0)-|");
    EXPECT_EQ(StatusPopupContainerView::verticalFormat(8, 2.5), "V:|-(10.5)-[containerView]-(2.5)-|");
    EXPECT_EQ(StatusPopupContainerView::verticalFormat(8, 0, true), "V:|-(0.0)-[containerView]-(8.0)-|");
}

TEST(StatusPopupContainerViewTest, TheContainerIsPinnedOnlyInsideTheBackgroundBelowTheArrow) {
    auto background = std::make_shared<StatusPopupBackgroundView>(Rect{0, 0, 300, 408});
    auto container = std::make_shared<StatusPopupContainerView>();
    background->addSubview(container);
    container->setup();
    EXPECT_EQ(container->frame(), (Rect{0, 0, 300, 400}));
    EXPECT_EQ(container->superviewConstraints().size(), 4u);

    container->contentInset = 5;
    container->resetConstraints();
    EXPECT_EQ(container->frame(), (Rect{5, 5, 290, 390}));
    EXPECT_EQ(background->constraints().size(), 4u) << "the old set is replaced";

    // In a plain view nothing changes.
    auto plain = std::make_shared<platform::ui::View>(Rect{0, 0, 10, 10});
    plain->addSubview(container);
    const auto kept = container->superviewConstraints();
    container->resetConstraints();
    EXPECT_EQ(container->superviewConstraints(), kept);
    EXPECT_TRUE(plain->constraints().empty());
}

TEST(StatusPopupContainerViewTest, ScreensArriveTransparentAndNoneOnlyForgets) {
    StatusPopupContainerView container(Rect{0, 0, 300, 400});
    auto connect = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    auto settings = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    container.setConnectView(connect);
    container.setSettingsView(settings);
    EXPECT_EQ(connect->alphaValue(), 0);
    EXPECT_TRUE(connect->isHidden());
    EXPECT_EQ(settings->alphaValue(), 0);
    EXPECT_FALSE(settings->isHidden());
    EXPECT_EQ(container.subviews(), (std::vector<std::shared_ptr<platform::ui::View>>{connect, settings}));

    container.setConnectView(nullptr);
    EXPECT_EQ(connect->superview(), &container);
    EXPECT_TRUE(connect->isHidden());
}

TEST(StatusPopupContainerViewTest, SwitchingSlidesTheNewViewInAndTheContentViewOneWidthLeft) {
    StatusPopupContainerView container(Rect{0, 0, 300, 400});
    auto content = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    auto first = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    auto second = std::make_shared<platform::ui::View>(Rect{0, 0, 300, 400});
    container.setContentView(content);
    container.switchView(first);
    EXPECT_EQ(first->frame().origin, (Point{0, 0}));
    EXPECT_EQ(content->frame().origin, (Point{-300, 0}));
    container.switchView(second);
    EXPECT_EQ(second->frame().origin, (Point{0, 0}));
    EXPECT_EQ(content->frame().origin, (Point{-600, 0}));
}

}  // namespace
