#include "RecordingView.hpp"
#include "UiTestCase.hpp"

#include <gtest/gtest.h>

using corvantis::testing::RecordingView;
using platform::ui::Object;
using platform::ui::Rect;
using platform::ui::Responder;
using platform::ui::View;
using platform::ui::Window;

namespace {

// A window that hears Escape when nobody below it takes it.
class EscapeWindow : public Window {
public:
    using Window::Window;
    int cancels = 0;
    Object* lastSender = nullptr;
    void cancelOperation(Object* sender) override {
        ++cancels;
        lastSender = sender;
    }
};

class ResponderTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<std::vector<std::string>> journal = std::make_shared<std::vector<std::string>>();
    std::shared_ptr<EscapeWindow> window = std::make_shared<EscapeWindow>(Rect(0, 0, 300, 300));
    std::shared_ptr<RecordingView> content = std::make_shared<RecordingView>("content", journal);
    std::shared_ptr<RecordingView> screen = std::make_shared<RecordingView>("screen", journal);
    std::shared_ptr<RecordingView> field = std::make_shared<RecordingView>("field", journal);

    ResponderTest() {
        window->setContentView(content);
        content->addSubview(screen);
        screen->addSubview(field);
    }
};

TEST_F(ResponderTest, AnActionGoesToTheNearestResponderThatHasIt) {
    std::vector<std::string> performedBy;
    content->setActionHandler("quitMenuItemClick:", [&](Object*) { performedBy.push_back("content"); });
    screen->setActionHandler("btnLoginClick:", [&](Object*) { performedBy.push_back("screen"); });
    window->setActionHandler("btnLoginClick:", [&](Object*) { performedBy.push_back("window"); });

    EXPECT_TRUE(field->tryToPerform("btnLoginClick:", field.get()));
    EXPECT_TRUE(field->tryToPerform("quitMenuItemClick:", field.get()));
    EXPECT_FALSE(field->tryToPerform("paste:", field.get()));
    EXPECT_TRUE(content->tryToPerform("btnLoginClick:", nullptr));
    EXPECT_EQ(performedBy, (std::vector<std::string>{"screen", "content", "window"}));

    // `perform` asks the receiver alone.
    EXPECT_FALSE(field->perform("btnLoginClick:", nullptr));
    EXPECT_TRUE(screen->respondsTo("btnLoginClick:"));
    EXPECT_FALSE(field->respondsTo("btnLoginClick:"));
}

TEST_F(ResponderTest, TheSenderReachesTheHandler) {
    Object* seen = nullptr;
    screen->setActionHandler("btnFavouriteClicked:", [&](Object* sender) { seen = sender; });
    field->tryToPerform("btnFavouriteClicked:", field.get());
    EXPECT_EQ(seen, field.get());
    EXPECT_NE(dynamic_cast<View*>(seen), nullptr);
}

TEST_F(ResponderTest, CancelOperationClimbsToTheWindow) {
    field->cancelOperation(field.get());
    EXPECT_EQ(window->cancels, 1);
    EXPECT_EQ(window->lastSender, field.get());
}

TEST_F(ResponderTest, AnActionMayTakeItsOwnResponderOutOfTheTree) {
    RecordingView* leaving = screen.get();
    screen->setActionHandler("btnBackClick:", [leaving](Object*) { leaving->removeFromSuperview(); });
    std::weak_ptr<RecordingView> watch = screen;
    screen.reset();
    EXPECT_TRUE(field->tryToPerform("btnBackClick:", nullptr));
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(field->nextResponder(), nullptr);  // its superview is gone
}

}  // namespace
