// The save panel's own fields, as the display layer furnishes them where the desktop offers no
// file chooser: a person picks the folder with the usual editing keys and sees both fields boxed.

#include "platform/Services.hpp"
#include "platform/display/SavePanelPresenter.hpp"
#include "platform/render/PangoTextMeasurer.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/RecordingGraphicsContext.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/Window.hpp"
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

// On the popup, as the log export shows it: no taller than its fields and buttons need, and the
// long default name, all of it selected, read from its start, clear of the field's border.
TEST_F(SavePanelFieldsTest, OnThePopupThePanelFitsItsControlsAndTheNameShowsFromItsStart) {
    auto services = platform::Services::current();
    services.textMeasurerOverride = platform::render::PangoTextMeasurer::shared();
    platform::ScopedServices pango(services);
    auto popup = std::make_shared<platform::ui::Window>(platform::ui::Rect{900, 300, 300, 408});
    popup->setContentView(std::make_shared<platform::ui::View>());
    popup->makeKeyAndOrderFront();
    auto sheet = std::make_shared<platform::ui::SavePanel>();
    sheet->setNameFieldStringValue("CorvantisVPN_070320260905");
    sheet->beginSheetModal(*popup, nullptr);
    platform::display::SavePanelPresenter::furnish(sheet);
    EXPECT_EQ(sheet->frame().maxY(), popup->frame().maxY()) << "it still hangs from the popup's top";

    double lowestField = 1e9;
    double highestButton = 0;
    std::shared_ptr<TextField> name;
    for (const auto& view : sheet->contentView()->selfAndDescendants()) {
        const auto field = std::dynamic_pointer_cast<TextField>(view);
        if (field && field->isEditable()) {
            lowestField = std::min(lowestField, field->frame().minY());
            if (!name) name = field;
        }
        if (std::dynamic_pointer_cast<platform::ui::Button>(view)) highestButton = std::max(highestButton, view->frame().maxY());
    }
    ASSERT_TRUE(name);
    EXPECT_LE(lowestField - highestButton, 20) << "no empty band between the fields and the buttons";
    EXPECT_LE(sheet->frame().height(), 160);

    ASSERT_TRUE(name->isEditing());
    ASSERT_EQ(name->selectedRange().length, name->stringValue().size());
    platform::ui::RecordingGraphicsContext context;
    name->draw(context, name->bounds());
    std::optional<platform::ui::Rect> text;
    for (const auto& operation : context.operations()) {
        if (const auto* drawn = std::get_if<platform::ui::RecordingGraphicsContext::DrawText>(&operation)) text = drawn->rect;
    }
    ASSERT_TRUE(text);
    EXPECT_GE(text->minX(), 4) << "the name starts in view, inside the box";
}

}  // namespace
