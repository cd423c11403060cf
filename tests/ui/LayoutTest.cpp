#include "RecordingView.hpp"
#include "UiTestCase.hpp"

#include "platform/foundation/NumberText.hpp"
#include "platform/ui/AutoresizingMask.hpp"
#include "platform/ui/LayoutConstraint.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using corvantis::testing::RecordingView;
using platform::foundation::doubleDescription;
using platform::ui::LayoutAttribute;
using platform::ui::LayoutConstraint;
using platform::ui::Rect;
using platform::ui::View;
using platform::ui::Window;
namespace AutoresizingMask = platform::ui::AutoresizingMask;

namespace {

class LayoutTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<std::vector<std::string>> journal = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<RecordingView> background = std::make_shared<RecordingView>("background", journal, Rect(0, 0, 300, 208));
    std::shared_ptr<RecordingView> container = std::make_shared<RecordingView>("container", journal, Rect(7, 7, 10, 10));

    LayoutTest() { background->addSubview(container); }

    // The popup's own recipe: numbers in their default decimal text, the arrow's height on top.
    std::vector<std::shared_ptr<LayoutConstraint>> pin(double inset, double arrowHeight) {
        const LayoutConstraint::Views views{{"containerView", container}};
        auto constraints = LayoutConstraint::constraintsWithVisualFormat(
            "H:|-(" + doubleDescription(inset) + ")-[containerView]-(" + doubleDescription(inset) + ")-|", views);
        const auto vertical = LayoutConstraint::constraintsWithVisualFormat(
            "V:|-(" + doubleDescription(arrowHeight + inset) + ")-[containerView]-(" + doubleDescription(inset) + ")-|", views);
        constraints.insert(constraints.end(), vertical.begin(), vertical.end());
        return constraints;
    }
};

TEST_F(LayoutTest, VisualFormatsPinTheEdgesToTheSuperview) {
    const auto constraints = pin(0, 8);
    ASSERT_EQ(constraints.size(), 4u);
    struct Expected {
        View* first;
        LayoutAttribute firstAttribute;
        View* second;
        double constant;
    };
    const std::vector<Expected> expected = {
        {container.get(), LayoutAttribute::leading, background.get(), 0.0},
        {background.get(), LayoutAttribute::trailing, container.get(), 0.0},
        {container.get(), LayoutAttribute::top, background.get(), 8.0},
        {background.get(), LayoutAttribute::bottom, container.get(), 0.0},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(constraints[i]->firstItem().get(), expected[i].first) << i;
        EXPECT_EQ(constraints[i]->firstAttribute(), expected[i].firstAttribute) << i;
        EXPECT_EQ(constraints[i]->secondAttribute(), expected[i].firstAttribute) << i;
        EXPECT_EQ(constraints[i]->secondItem().get(), expected[i].second) << i;
        EXPECT_EQ(constraints[i]->constant(), expected[i].constant) << i;
        EXPECT_EQ(constraints[i]->multiplier(), 1.0);
    }
}

TEST_F(LayoutTest, InstallingConstraintsLaysTheViewOutAtOnceAndResizingFollows) {
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    background->addConstraints(pin(0, 8));
    // Filling the superview but the arrow's strip along the top.
    EXPECT_EQ(container->frame(), Rect(0, 0, 300, 200));

    background->setFrameSize({320, 308});
    EXPECT_EQ(container->frame(), Rect(0, 0, 320, 300));

    const auto old = background->constraints();
    background->removeConstraints(old);
    EXPECT_TRUE(background->constraints().empty());
    background->addConstraints(pin(5, 8));
    EXPECT_EQ(container->frame(), Rect(5, 5, 310, 290));

    background->removeConstraints(background->constraints());
    background->setFrameSize({100, 100});
    EXPECT_EQ(container->frame(), Rect(5, 5, 310, 290));  // nothing holds it any more
}

TEST_F(LayoutTest, TopCountsDownFromTheTopEdgeInFlippedSuperviewsToo) {
    background->flipped = true;
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    background->addConstraints(pin(2, 8));
    EXPECT_EQ(container->frame(), Rect(2, 10, 296, 196));
}

TEST_F(LayoutTest, AViewThatStillTranslatesItsMaskIsNotMovedByConstraints) {
    background->addConstraints(pin(0, 8));
    EXPECT_EQ(container->frame(), Rect(7, 7, 10, 10));
}

TEST_F(LayoutTest, OtherFormatsAndBadNamesAreRefusedWithTheReason) {
    auto orphan = std::make_shared<View>();
    const LayoutConstraint::Views views{{"containerView", container}, {"orphan", orphan}};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"H:|[containerView]|", "only \"H:|-(a)-[name]-(b)-|\" and \"V:|-(a)-[name]-(b)-|\""},
        {"H:|-8-[containerView]-8-|", "only"},
        {"H:|-(8)-[containerView(>=20)]-(8)-|", "only"},
        {"H:|-(inset)-[containerView]-(0)-|", "only"},
        {"H:|-(0)-[containerView]-(0)-[containerView]-(0)-|", "only"},
        {"W:|-(0)-[containerView]-(0)-|", "only"},
        {" H:|-(0)-[containerView]-(0)-|", "only"},
        {"H:|-(0)-[missing]-(0)-|", "names the view \"missing\", which is not in the views dictionary"},
        {"V:|-(0)-[orphan]-(0)-|", "\"orphan\" to its superview's edges, but it has no superview"},
    };
    for (const auto& [format, reason] : cases) {
        try {
            LayoutConstraint::constraintsWithVisualFormat(format, views);
            ADD_FAILURE() << format << " was accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(reason), std::string::npos) << format << ": " << error.what();
        }
    }
    // Signs and whole numbers are numbers too.
    EXPECT_EQ(LayoutConstraint::constraintsWithVisualFormat("V:|-(-4)-[containerView]-(+12.5)-|", views)[1]->constant(), 12.5);
}

TEST_F(LayoutTest, ConstraintsOnViewsOutsideTheSuperviewAreRefusedWhole) {
    auto elsewhere = std::make_shared<View>();
    auto stray = std::make_shared<View>();
    elsewhere->addSubview(stray);
    auto mixed = pin(0, 8);
    const auto foreign = LayoutConstraint::constraintsWithVisualFormat("H:|-(1)-[stray]-(1)-|", {{"stray", stray}});
    mixed.push_back(foreign.front());
    EXPECT_THROW(background->addConstraints(mixed), std::invalid_argument);
    EXPECT_TRUE(background->constraints().empty());
}

TEST_F(LayoutTest, RemovingAViewDropsItsConstraintsFromTheSuperview) {
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    background->addConstraints(pin(0, 8));
    container->removeFromSuperview();
    EXPECT_TRUE(background->constraints().empty());
}

TEST_F(LayoutTest, SizableViewsGrowAndShrinkWithTheirSuperview) {
    auto animation = std::make_shared<View>(Rect(0, 0, 300, 208));
    animation->setAutoresizingMask(AutoresizingMask::widthSizable | AutoresizingMask::heightSizable);
    auto wide = std::make_shared<View>(Rect(10, 20, 100, 30));
    wide->setAutoresizingMask(AutoresizingMask::widthSizable);
    auto fixed = std::make_shared<View>(Rect(10, 20, 100, 30));
    auto unmasked = std::make_shared<View>(Rect(10, 20, 100, 30));
    unmasked->setAutoresizingMask(AutoresizingMask::widthSizable);
    unmasked->setTranslatesAutoresizingMaskIntoConstraints(false);
    for (const auto& view : {animation, wide, fixed, unmasked}) background->addSubview(view);

    background->setFrame(Rect(0, 0, 360, 180));
    EXPECT_EQ(animation->frame(), Rect(0, 0, 360, 180));
    EXPECT_EQ(wide->frame(), Rect(10, 20, 160, 30));
    EXPECT_EQ(fixed->frame(), Rect(10, 20, 100, 30));
    EXPECT_EQ(unmasked->frame(), Rect(10, 20, 100, 30));

    background->setAutoresizesSubviews(false);
    background->setFrame(Rect(0, 0, 100, 100));
    EXPECT_EQ(animation->frame(), Rect(0, 0, 360, 180));
}

TEST_F(LayoutTest, MarginFlagsAreRefused) {
    for (unsigned flag : {AutoresizingMask::minXMargin, AutoresizingMask::maxXMargin, AutoresizingMask::minYMargin,
                          AutoresizingMask::maxYMargin}) {
        EXPECT_THROW(container->setAutoresizingMask(AutoresizingMask::widthSizable | flag), std::invalid_argument) << flag;
    }
    EXPECT_EQ(container->autoresizingMask(), AutoresizingMask::none);
}

TEST_F(LayoutTest, AWindowResizeReachesConstrainedAndSizableViewsBelowIt) {
    auto window = std::make_shared<Window>(Rect(100, 600, 300, 208));
    window->setContentView(background);
    container->setTranslatesAutoresizingMaskIntoConstraints(false);
    background->addConstraints(pin(0, 8));
    auto screen = std::make_shared<View>(Rect(0, 0, 300, 200));
    screen->setAutoresizingMask(AutoresizingMask::widthSizable | AutoresizingMask::heightSizable);
    container->addSubview(screen);

    window->setFrame(Rect(90, 580, 320, 228));
    EXPECT_EQ(container->frame(), Rect(0, 0, 320, 220));
    EXPECT_EQ(screen->frame(), Rect(0, 0, 320, 220));
}

}  // namespace
