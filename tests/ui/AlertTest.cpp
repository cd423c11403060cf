#include "Person.hpp"
#include "UiTestCase.hpp"

#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/SavePanel.hpp"

#include <gtest/gtest.h>

using corvantis::testing::shownWindow;
using platform::ui::Alert;
using platform::ui::AlertStyle;
using platform::ui::Application;
using platform::ui::ModalResponse;
using platform::ui::Rect;
using platform::ui::SavePanel;
using platform::ui::Window;

namespace {

class AlertTest : public corvantis::testing::UiTestCase {
protected:
    std::shared_ptr<Window> popup = shownWindow(Rect(100, 500, 300, 400));
    std::vector<ModalResponse> responses;

    static std::shared_ptr<Alert> alert(const std::string& message, std::vector<std::string> buttons) {
        auto made = std::make_shared<Alert>();
        made->setMessageText(message);
        made->setInformativeText("Are you sure you want to quit?");
        for (const auto& title : buttons) made->addButton(title);
        return made;
    }
};

TEST_F(AlertTest, ButtonsAnswerAppKitsResponsesInTheOrderAdded) {
    auto quit = alert("Corvantis", {"Quit", "Cancel"});
    EXPECT_EQ(quit->alertStyle(), AlertStyle::warning);
    ASSERT_EQ(quit->buttons().size(), 2u);
    EXPECT_EQ(quit->buttons()[0]->tag(), 1000);
    EXPECT_EQ(quit->buttons()[1]->tag(), 1001);
    // The first button is the rightmost.
    EXPECT_GT(quit->buttons()[0]->frame().minX(), quit->buttons()[1]->frame().maxX());
}

TEST_F(AlertTest, ItsTextsAreShownAsLabelsAboveTheButtons) {
    const auto alert = std::make_shared<Alert>();
    alert->setMessageText("Connection failed");
    alert->setInformativeText("Try again later.");
    alert->addButton("OK");
    std::vector<std::string> labels;
    for (const auto& view : alert->window()->contentView()->subviews()) {
        const auto label = std::dynamic_pointer_cast<platform::ui::TextField>(view);
        if (!label) continue;
        labels.push_back(label->stringValue());
        EXPECT_FALSE(label->isEditable());
        EXPECT_GT(label->frame().minY(), alert->buttons()[0]->frame().maxY());
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"Connection failed", "Try again later."}));
}

TEST_F(AlertTest, RunModalAsksTheModalHandlerAndAbortsWithoutOne) {
    auto crashed = alert("Looks like Corvantis crashed", {"Support", "Close"});
    EXPECT_EQ(crashed->runModal(), ModalResponse::abort);
    EXPECT_TRUE(Alert::pendingAlerts().empty());

    std::vector<std::string> seen;
    Application::shared().setModalHandler([&](Window&) {
        const auto pending = Alert::pendingAlerts();
        ASSERT_EQ(pending.size(), 1u);
        seen.push_back(pending[0]->messageText());
        EXPECT_FALSE(pending[0]->answer("Nope"));
        EXPECT_TRUE(pending[0]->answer("Support"));
    });
    EXPECT_EQ(crashed->runModal(), ModalResponse::alertFirstButtonReturn);
    EXPECT_EQ(seen, (std::vector<std::string>{"Looks like Corvantis crashed"}));
    EXPECT_FALSE(crashed->isShown());

    // A handler that clicks nothing leaves the session without an answer.
    Application::shared().setModalHandler([](Window&) {});
    EXPECT_EQ(crashed->runModal(), ModalResponse::abort);
}

TEST_F(AlertTest, SheetsReturnAtOnceQueueOnTheirWindowAndCompleteOnTheMainQueue) {
    auto first = alert("Login error", {"OK"});
    auto second = alert("Do you want to connect to this server?", {"Connect", "Cancel"});
    first->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    second->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    EXPECT_EQ(Alert::pendingAlerts(), (std::vector<std::shared_ptr<Alert>>{first, second}));
    EXPECT_TRUE(first->isShown());
    EXPECT_FALSE(second->isShown());
    EXPECT_FALSE(second->answer(0));  // not on screen yet

    EXPECT_TRUE(first->answer(0));
    EXPECT_TRUE(responses.empty());
    EXPECT_TRUE(second->isShown());
    time.runDue();
    EXPECT_EQ(responses, (std::vector<ModalResponse>{ModalResponse::alertFirstButtonReturn}));

    EXPECT_TRUE(second->answer("Cancel"));
    time.runDue();
    EXPECT_EQ(responses.back(), ModalResponse::alertSecondButtonReturn);
    EXPECT_TRUE(Alert::pendingAlerts().empty());
    EXPECT_FALSE(first->answer(0));  // answered already
}

TEST_F(AlertTest, APendingSheetKeepsItsAlertAlive) {
    std::weak_ptr<Alert> watch;
    {
        auto timeout = alert("Connection timed out", {"OK"});
        watch = timeout;
        timeout->beginSheetModal(*popup, nullptr);
    }
    ASSERT_FALSE(watch.expired());
    watch.lock()->answer(0);
    time.runDue();
    EXPECT_TRUE(watch.expired());
}

TEST_F(AlertTest, ASheetIsAnsweredFromTheKeyboardAndTheWindowUnderItTakesNothing) {
    // The window holds a button, as the popup holds "Log in".
    int clicks = 0;
    const auto counter = std::make_shared<platform::ui::Responder>();
    counter->setActionHandler("count:", [&](platform::ui::Object*) { ++clicks; });
    const auto under = std::make_shared<platform::ui::Button>(Rect(0, 0, 300, 60));
    under->setTarget(counter);
    under->setAction("count:");
    popup->contentView()->addSubview(under);
    popup->makeKey();

    auto quit = alert("Corvantis", {"Quit", "Cancel"});
    quit->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    const auto sheet = quit->window();
    // No wider than its window, hung from its top edge, and it has the keys.
    EXPECT_LE(sheet->frame().width(), popup->frame().width());
    EXPECT_EQ(sheet->frame().maxY(), popup->frame().maxY());
    EXPECT_TRUE(sheet->isKeyWindow());
    EXPECT_TRUE(quit->buttons()[0]->isDefaultButton());
    under->click();
    popup->makeKey();  // a click on the window brings its sheet forward, not the window
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(sheet->isKeyWindow());

    // Tab and Shift-Tab move the focus between the buttons; Space clicks the focused one.
    EXPECT_EQ(sheet->firstResponder(), quit->buttons()[0]);
    corvantis::testing::Person::press("\t");
    EXPECT_EQ(sheet->firstResponder(), quit->buttons()[1]);
    corvantis::testing::Person::press("\x19");
    EXPECT_EQ(sheet->firstResponder(), quit->buttons()[0]);
    corvantis::testing::Person::press("\t");
    corvantis::testing::Person::press(" ");
    time.runDue();
    EXPECT_EQ(responses, (std::vector<ModalResponse>{ModalResponse::alertSecondButtonReturn}));
    EXPECT_TRUE(popup->isKeyWindow()) << "the window has its keys back";
    under->click();
    EXPECT_EQ(clicks, 1);

    // Return is the button the focus was moved to, Escape "Cancel" whatever has the focus.
    for (const auto& [key, expected] : std::vector<std::pair<std::string, ModalResponse>>{
             {"\r", ModalResponse::alertSecondButtonReturn}, {"\x1b", ModalResponse::alertSecondButtonReturn}}) {
        auto again = alert("Corvantis", {"Quit", "Cancel"});
        again->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
        corvantis::testing::Person::press("\t");
        corvantis::testing::Person::press(key);
        time.runDue();
        EXPECT_EQ(responses.back(), expected) << key;
    }
    // A lone button answers Escape too; with two and no "Cancel", Escape chooses nothing.
    auto lone = alert("Login error", {"OK"});
    lone->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    corvantis::testing::Person::press("\x1b");
    time.runDue();
    EXPECT_EQ(responses.back(), ModalResponse::alertFirstButtonReturn);
    auto crashed = alert("Looks like Corvantis crashed", {"Support", "Close"});
    crashed->beginSheetModal(*popup, nullptr);
    corvantis::testing::Person::press("\x1b");
    EXPECT_TRUE(crashed->isShown());
}

TEST_F(AlertTest, ASheetFadesAndComesBackWithItsWindowAndItsTextsWrapToItsWidth) {
    auto question = alert("Do you want to connect to this server?", {"Connect", "Cancel"});
    question->setInformativeText("Your current location will be disconnected, and the new server will be connected instead");
    question->beginSheetModal(*popup, nullptr);
    const auto sheet = question->window();
    EXPECT_EQ(sheet->frame().width(), popup->frame().width());
    // The informative text takes more than a line at that width, and the panel grew for it.
    const auto labels = sheet->contentView()->subviews();
    EXPECT_GT(labels[1]->frame().height(), labels[0]->frame().height());
    EXPECT_GT(labels[1]->frame().minY(), question->buttons()[0]->frame().maxY());

    popup->setAlphaValue(0);
    EXPECT_EQ(sheet->visibleAlphaValue(), 0);
    EXPECT_FALSE(question->answer(0)) << "a sheet nobody sees takes no clicks";
    corvantis::testing::Person::press("\r");
    EXPECT_TRUE(question->isShown());
    popup->setAlphaValue(1);
    EXPECT_TRUE(question->answer(0));
}

TEST_F(AlertTest, TheSavePanelAppendsTheAllowedTypeToTheChosenName) {
    SavePanel panel;
    panel.setAllowedFileTypes({"zip"});
    const std::vector<std::pair<std::string, std::string>> names{{"CorvantisVPN_070320260905", "CorvantisVPN_070320260905.zip"},
                                                                 {"logs.zip", "logs.zip"},
                                                                 {"logs.ZIP", "logs.ZIP"},
                                                                 {"logs.txt", "logs.txt.zip"},
                                                                 {".zip", ".zip.zip"},
                                                                 {"logs.", "logs..zip"}};
    for (const auto& [typed, saved] : names) EXPECT_EQ(panel.nameWithAllowedType(typed), saved) << typed;
    panel.setAllowedFileTypes({});
    EXPECT_EQ(panel.nameWithAllowedType("logs"), "logs");
}

TEST_F(AlertTest, TheSavePanelAnswersOkWithAPlaceOrCancel) {
    auto panel = std::make_shared<SavePanel>();
    panel->setTitle("Choose a destination");
    panel->setNameFieldStringValue("CorvantisVPN_070320260905");
    panel->setAllowedFileTypes({"zip"});
    panel->setLevel(platform::ui::WindowLevel::modalPanel);
    EXPECT_FALSE(panel->ok("/tmp/x"));  // not shown yet
    panel->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    EXPECT_EQ(popup->attachedSheet(), panel);
    EXPECT_FALSE(panel->ok("/home/me/"));  // no name
    EXPECT_TRUE(panel->ok("/home/me/Desktop/logs"));
    EXPECT_EQ(panel->url()->path(), "/home/me/Desktop/logs.zip");
    EXPECT_EQ(panel->nameFieldStringValue(), "logs.zip");
    time.runDue();
    EXPECT_EQ(responses, (std::vector<ModalResponse>{ModalResponse::ok}));

    panel->beginSheetModal(*popup, [&](ModalResponse response) { responses.push_back(response); });
    EXPECT_TRUE(panel->cancel());
    time.runDue();
    EXPECT_EQ(responses.back(), ModalResponse::cancel);
    EXPECT_EQ(panel->url(), std::nullopt);
    EXPECT_FALSE(panel->cancel());
}

}  // namespace
