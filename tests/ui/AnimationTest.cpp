#include "UiTestCase.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/View.hpp"

#include <gtest/gtest.h>

using namespace std::chrono_literals;
using platform::ui::AnimationContext;
using platform::ui::AnimationLog;
using platform::ui::Point;
using platform::ui::Rect;
using platform::ui::View;

namespace {

class AnimationTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<View> screen = std::make_shared<View>(Rect(0, 0, 300, 400));
    std::shared_ptr<View> button = std::make_shared<View>(Rect(20, 40, 100, 30));
    AnimationLog& log = AnimationLog::shared();
};

TEST_F(AnimationTest, AGroupChangesValuesAtOnceAndCompletesOnTheMainQueueAfterItsDuration) {
    screen->setAlphaValue(0);
    bool completed = false;
    bool completedOnMainQueue = false;
    AnimationContext::runAnimationGroup(
        0.7, [&] { screen->animator().setAlphaValue(1.0); },
        [&] {
            completed = true;
            completedOnMainQueue = platform::dispatch::DispatchQueue::main()->isCurrent();
        });

    EXPECT_EQ(screen->alphaValue(), 1.0);
    ASSERT_EQ(log.records().size(), 1u);
    const auto& record = log.records().front();
    EXPECT_EQ(record.object, screen.get());
    EXPECT_EQ(record.property, "alphaValue");
    EXPECT_EQ(std::get<double>(record.target), 1.0);
    EXPECT_EQ(record.duration, 0.7);
    EXPECT_TRUE(log.isAnimating(screen.get(), "alphaValue"));

    time.advance(699ms);
    EXPECT_FALSE(completed);
    EXPECT_TRUE(log.isAnimating(screen.get(), "alphaValue"));
    time.advance(1ms);
    EXPECT_TRUE(completed);
    EXPECT_TRUE(completedOnMainQueue);
    EXPECT_FALSE(log.isAnimating(screen.get(), "alphaValue"));
}

TEST_F(AnimationTest, OutsideAGroupTheAnimatorTakesAQuarterOfASecond) {
    button->animator().setFrame(Rect(20, 52, 100, 30));
    button->animator().setFrameOrigin(Point{20, 40});
    EXPECT_EQ(button->frame(), Rect(20, 40, 100, 30));
    ASSERT_EQ(log.records().size(), 2u);
    EXPECT_EQ(log.records()[0].duration, 0.25);
    EXPECT_EQ(std::get<Rect>(log.records()[0].target), Rect(20, 52, 100, 30));
    EXPECT_EQ(log.records()[1].property, "frameOrigin");
    EXPECT_EQ(std::get<Point>(log.records()[1].target), (Point{20, 40}));
    // The animator reads the model value, which has already changed.
    EXPECT_EQ(button->animator().frame().origin.y, 40);
}

TEST_F(AnimationTest, NestedGroupsUseTheInnermostDurationAndRestoreTheOuterOne) {
    AnimationContext::runAnimationGroup(1.0, [&] {
        AnimationContext::runAnimationGroup(3.0, [&] { screen->animator().setAlphaValue(1); });
        button->animator().setFrameOrigin(Point{20, 52});
    });
    EXPECT_EQ(log.records()[0].duration, 3.0);
    EXPECT_EQ(log.records()[1].duration, 1.0);
    EXPECT_EQ(AnimationContext::currentDuration(), AnimationContext::defaultDuration);
}

TEST_F(AnimationTest, SettingAValueDirectlyEndsItsAnimationButNotOthers) {
    AnimationContext::runAnimationGroup(0.7, [&] {
        screen->animator().setAlphaValue(1);
        screen->animator().setFrame(Rect(0, 0, 300, 300));
    });
    screen->setAlphaValue(0);  // hidden at once, as a screen's hide step does

    EXPECT_TRUE(log.records()[0].cancelled);
    EXPECT_FALSE(log.isAnimating(screen.get(), "alphaValue"));
    EXPECT_FALSE(log.records()[1].cancelled);
    EXPECT_TRUE(log.isAnimating(screen.get(), "frame"));
    EXPECT_EQ(screen->alphaValue(), 0.0);

    screen->setFrameOrigin(Point{5, 5});  // a direct origin change ends a frame animation too
    EXPECT_TRUE(log.records()[1].cancelled);
}

TEST_F(AnimationTest, ANewAnimationOfTheSamePropertyReplacesTheRunningOne) {
    screen->animator().setAlphaValue(0.5);
    screen->animator().setAlphaValue(1.0);
    EXPECT_TRUE(log.records()[0].cancelled);
    EXPECT_FALSE(log.records()[1].cancelled);
    EXPECT_EQ(log.records(screen.get()).size(), 2u);
    EXPECT_TRUE(log.records(button.get()).empty());
}

TEST_F(AnimationTest, AFinishedAnimationIsNotCancelledLater) {
    screen->animator().setAlphaValue(1.0);
    time.advance(250ms);
    screen->setAlphaValue(0);
    EXPECT_FALSE(log.records()[0].cancelled);
}

TEST_F(AnimationTest, TheCompletionComesAtTheEndOfTheDurationEvenWhenTheAnimationWasCutShort) {
    int completions = 0;
    AnimationContext::runAnimationGroup(
        0.2, [&] { screen->animator().setAlphaValue(0); }, [&] { ++completions; });
    screen->setAlphaValue(1);  // reopened before the fade ended
    time.advance(199ms);
    EXPECT_EQ(completions, 0);
    time.advance(1ms);
    EXPECT_EQ(completions, 1);
    time.advance(5s);
    EXPECT_EQ(completions, 1);
}

TEST_F(AnimationTest, TheLogKeepsOnlyTheLatestRecords) {
    for (std::size_t i = 0; i < AnimationLog::capacity + 5; ++i) screen->animator().setAlphaValue(i % 2);
    EXPECT_EQ(log.records().size(), AnimationLog::capacity);
    EXPECT_FALSE(log.records().back().cancelled);
    EXPECT_TRUE(log.records().front().cancelled);
}

TEST_F(AnimationTest, AGroupWithoutCompletionSchedulesNothing) {
    AnimationContext::runAnimationGroup(0.5, [&] { screen->animator().setAlphaValue(1); });
    EXPECT_EQ(time.clock().pendingCount(), 0u);
}

}  // namespace
