#include "UiTestCase.hpp"

#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TextField.hpp"

#include <gtest/gtest.h>

using platform::ui::Rect;
using platform::ui::Storyboard;
using platform::ui::TextField;
using platform::ui::View;
using platform::ui::ViewController;

namespace {

// A scene's controller whose outlets the loader connects.
class LoginController : public ViewController {
public:
    std::weak_ptr<TextField> lblErrorMessage;
    std::vector<std::string> journal;
    void viewDidLoad() override {
        auto label = lblErrorMessage.lock();
        journal.push_back(label ? "loaded with outlet" : "loaded without outlet");
        if (label) label->setHidden(true);
    }
};

class StoryboardTest : public corvantis::testing::UiTestCase {
protected:
    int loads = 0;

    void registerLogin() {
        Storyboard::named("Main")->registerScene(
            "loginViewController", [] { return std::make_shared<LoginController>(); },
            [this](ViewController& owner) {
                ++loads;
                auto view = std::make_shared<View>(Rect(0, 0, 360, 400));
                auto label = std::make_shared<TextField>(Rect(0, 0, 300, 20));
                view->addSubview(label);
                static_cast<LoginController&>(owner).lblErrorMessage = label;
                return view;
            });
    }
};

TEST_F(StoryboardTest, TheViewLoadsOnFirstUseAndViewDidLoadRunsAfterTheOutletsAreConnected) {
    registerLogin();
    auto controller =
        std::dynamic_pointer_cast<LoginController>(Storyboard::named("Main")->instantiateController("loginViewController"));
    ASSERT_NE(controller, nullptr);
    EXPECT_FALSE(controller->isViewLoaded());
    EXPECT_EQ(loads, 0);

    const auto view = controller->view();
    EXPECT_EQ(controller->view(), view);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(controller->journal, (std::vector<std::string>{"loaded with outlet"}));
    EXPECT_TRUE(controller->lblErrorMessage.lock()->isHidden());

    // Each instantiation is a new controller with a view of its own.
    auto another = Storyboard::named("Main")->instantiateController("loginViewController");
    EXPECT_NE(another, controller);
    EXPECT_NE(another->view(), view);
}

TEST_F(StoryboardTest, StoryboardsAreOnePerNameAndUnknownScenesGiveNothing) {
    EXPECT_EQ(Storyboard::named("Main"), Storyboard::named("Main"));
    EXPECT_NE(Storyboard::named("Main"), Storyboard::named("Other"));
    EXPECT_EQ(Storyboard::named("Main")->instantiateController("hintController"), nullptr);
    registerLogin();
    EXPECT_EQ(Storyboard::named("Other")->instantiateController("loginViewController"), nullptr);

    // A controller made in code gets an empty view.
    ViewController plain;
    EXPECT_EQ(plain.view()->frame(), Rect());
}

TEST_F(StoryboardTest, ALoaderThatAsksForTheViewItIsBuildingIsRefused) {
    Storyboard::named("Main")->registerScene(
        "loop", [] { return std::make_shared<ViewController>(); }, [](ViewController& owner) { return owner.view(); });
    auto controller = Storyboard::named("Main")->instantiateController("loop");
    EXPECT_THROW(controller->view(), std::logic_error);
    EXPECT_FALSE(controller->isViewLoaded());
}

}  // namespace
