// The save panel's own fields, as the display layer furnishes them where the desktop offers no
// file chooser: a person picks the folder with the usual editing keys and sees both fields boxed.

#include "platform/display/SavePanelPresenter.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

namespace {

using platform::ui::Application;
using platform::ui::Event;
using platform::ui::EventType;
using platform::ui::TextField;
namespace ModifierFlags = platform::ui::ModifierFlags;

class SavePanelFieldsTest : public ::testing::Test {
protected:
    SavePanelFieldsTest() {
        platform::ui::testing::reset();
        panel->setNameFieldStringValue("CorvantisVPN_070320260905");
        platform::display::SavePanelPresenter::furnish(panel);
        panel->makeKeyAndOrderFront();
        for (const auto& view : panel->contentView()->selfAndDescendants()) {
            if (auto field = std::dynamic_pointer_cast<TextField>(view); field && field->isEditable()) fields.push_back(field);
        }
    }
    ~SavePanelFieldsTest() override { platform::ui::testing::reset(); }

    static void press(const std::string& key, std::uint64_t modifiers = 0) {
        const auto window = Application::shared().keyWindow();
        Application::shared().sendEvent(Event::keyEvent(EventType::keyDown, window, key, modifiers));
        Application::shared().sendEvent(Event::keyEvent(EventType::keyUp, window, key, modifiers));
    }

    corvantis::testing::VirtualTime time;
    std::shared_ptr<platform::ui::SavePanel> panel = std::make_shared<platform::ui::SavePanel>();
    std::vector<std::shared_ptr<TextField>> fields;  // the name, then the folder
};

TEST_F(SavePanelFieldsTest, TheFolderIsRetypedAfterControlAOrShortenedAWordAtATimeAndBothFieldsAreBoxed) {
    ASSERT_EQ(fields.size(), 2u);
    const auto& name = fields[0];
    const auto& folder = fields[1];
    EXPECT_TRUE(name->isBezeled());
    EXPECT_TRUE(folder->isBezeled());

    // Control+A in the name field, then typing, renames.
    press("a", ModifierFlags::command);
    name->type("logs");
    EXPECT_EQ(name->stringValue(), "logs");

    folder->setStringValue("/home/jane/Desktop");
    folder->click();
    ASSERT_TRUE(folder->isEditing());
    press("a", ModifierFlags::command);
    folder->type("/tmp");
    EXPECT_EQ(folder->stringValue(), "/tmp");

    folder->setStringValue("/home/jane/Desktop");
    folder->setSelectedRange({18, 0});
    press("\x7f", ModifierFlags::command);
    EXPECT_EQ(folder->stringValue(), "/home/jane/");
    folder->type("Documents");
    EXPECT_EQ(folder->stringValue(), "/home/jane/Documents");
}

}  // namespace
