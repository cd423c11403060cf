#include "UiTestCase.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/animation/Composition.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

using namespace std::chrono_literals;
using platform::animation::AnimationView;
using platform::animation::Composition;
using platform::animation::ContentMode;

namespace {

class AnimationViewTest : public corvantis::testing::UiTestCase {
protected:
    corvantis::testing::TemporaryFolder resources;
    corvantis::testing::ScopedEnvironment location{"CORVANTIS_RESOURCES_DIR", resources.path().string()};

    AnimationViewTest() {
        std::filesystem::create_directories(resources / "animations");
        write("connected", R"({"v":"5.5.2","fr":30,"ip":0,"op":60,"w":300,"h":300,"layers":[]})");
        write("waves", R"({"fr":25,"ip":10,"op":35})");
        write("broken", R"({"fr":0,"ip":0,"op":60})");
    }
    void write(const std::string& name, const std::string& text) {
        ASSERT_TRUE(
            platform::foundation::FileSystem::writeFileAtomically(resources / "animations" / (name + ".json"), text, 0644));
    }
};

TEST_F(AnimationViewTest, ScenesLoadByNameOnceAndMissingOnesAreNone) {
    const auto connected = Composition::named("connected");
    ASSERT_NE(connected, nullptr);
    EXPECT_EQ(connected->name(), "connected");
    EXPECT_DOUBLE_EQ(connected->duration(), 2.0);
    EXPECT_EQ(Composition::named("connected"), connected);
    EXPECT_DOUBLE_EQ(Composition::named("waves")->duration(), 1.0);
    EXPECT_EQ(Composition::named("disconnected"), nullptr);

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(Composition::named("broken"), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("\"broken\" is not a usable animation file"), std::string::npos);
}

TEST_F(AnimationViewTest, UnusableAnimationTextIsRefused) {
    for (const char* text : {"", "[]", "not json", R"({"fr":30,"ip":0})", R"({"fr":30,"ip":50,"op":10})",
                             R"({"fr":-30,"ip":0,"op":10})", R"({"fr":"30","ip":0,"op":10})"}) {
        EXPECT_FALSE(Composition::parse(text, "sample")) << text;
    }
}

TEST_F(AnimationViewTest, APlayThatDoesNotLoopFinishesAfterTheScenesDuration) {
    auto view = AnimationView::named("connected");
    std::vector<bool> results;
    view->play([&](bool finished) { results.push_back(finished); });
    EXPECT_TRUE(view->isAnimationPlaying());
    EXPECT_EQ(view->playCount(), 1);

    time.advance(1999ms);
    EXPECT_TRUE(results.empty());
    time.advance(1ms);
    EXPECT_EQ(results, (std::vector<bool>{true}));
    EXPECT_FALSE(view->isAnimationPlaying());
}

TEST_F(AnimationViewTest, ALoopingPlayRunsUntilAnotherSceneCutsItShort) {
    auto view = AnimationView::named("waves");
    view->setContentMode(ContentMode::center);
    view->setLoopAnimation(true);
    std::vector<bool> results;
    view->play([&](bool finished) { results.push_back(finished); });
    time.advance(60s);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(view->isAnimationPlaying());

    view->setSceneModel(Composition::named("connected"));
    EXPECT_EQ(results, (std::vector<bool>{false}));
    EXPECT_FALSE(view->isAnimationPlaying());
    view->play();
    EXPECT_EQ(view->playCount(), 2);
    EXPECT_EQ(view->sceneModel()->name(), "connected");
    EXPECT_EQ(view->contentMode(), ContentMode::center);
}

TEST_F(AnimationViewTest, ANewPlayCutsTheRunningOneShortAndItsLateEndIsIgnored) {
    auto view = AnimationView::named("connected");
    std::vector<std::string> results;
    view->play([&](bool finished) { results.push_back(finished ? "first finished" : "first cut"); });
    time.advance(1s);
    view->play([&](bool finished) { results.push_back(finished ? "second finished" : "second cut"); });
    time.advance(1s);  // when the first would have ended
    EXPECT_EQ(results, (std::vector<std::string>{"first cut"}));
    time.advance(1s);
    EXPECT_EQ(results, (std::vector<std::string>{"first cut", "second finished"}));
}

TEST_F(AnimationViewTest, WithoutASceneAPlayEndsAtOnceUnfinished) {
    auto view = AnimationView::named("disconnected");
    EXPECT_EQ(view->sceneModel(), nullptr);
    std::vector<bool> results;
    view->play([&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(results, (std::vector<bool>{false}));
    EXPECT_FALSE(view->isAnimationPlaying());
    EXPECT_EQ(view->playCount(), 1);
}

TEST_F(AnimationViewTest, AViewReleasedWhilePlayingIsNotCalledBack) {
    int calls = 0;
    {
        auto view = AnimationView::named("connected");
        view->play([&](bool) { ++calls; });
    }
    time.advance(3s);
    EXPECT_EQ(calls, 0);
}

TEST(ContentMode, RawValuesAreTheAnimationFrameworks) {
    EXPECT_EQ(platform::animation::contentModeFromRaw(1), ContentMode::scaleAspectFit);
    EXPECT_EQ(platform::animation::contentModeFromRaw(4), ContentMode::center);
    EXPECT_FALSE(platform::animation::contentModeFromRaw(5).has_value());
}

}  // namespace
