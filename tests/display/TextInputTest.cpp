#include "BackgroundProcess.hpp"
#include "XvfbSession.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using corvantis::testing::BackgroundProcess;
using corvantis::testing::XvfbSession;
using platform::ui::Event;
using platform::ui::Rect;
using platform::ui::TextField;
using platform::ui::View;
using UiWindow = platform::ui::Window;
namespace ModifierFlags = platform::ui::ModifierFlags;

namespace {

// A field that takes the editing shortcuts itself, as the login form's fields do: each becomes an
// action sent to the first responder.
class ShortcutField : public TextField {
public:
    using TextField::TextField;
    bool performKeyEquivalent(const Event& event) override {
        if ((event.modifierFlags() & ModifierFlags::deviceIndependentFlagsMask) != ModifierFlags::command) return false;
        const std::string& key = event.charactersIgnoringModifiers();
        const char* action = key == "c" ? "copy:" : key == "a" ? "selectAll:" : key == "v" ? "paste:" : nullptr;
        return action != nullptr && platform::ui::Application::shared().sendAction(action, nullptr, this);
    }
};

class TextInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
        session = std::make_unique<XvfbSession>();
        // A window at (100, 100) from the top-left corner of the 1280 × 800 screen, 400 × 200.
        window = std::make_shared<UiWindow>(Rect(100, 500, 400, 200));
        window->setContentView(std::make_shared<View>());
        email = std::make_shared<ShortcutField>(Rect(20, 130, 360, 30));
        other = std::make_shared<ShortcutField>(Rect(20, 40, 360, 30));
        window->contentView()->addSubview(email);
        window->contentView()->addSubview(other);
        window->makeKeyAndOrderFront();
        session->settle();
    }

    // The screen point (X's coordinates) in the middle of `field`.
    static std::pair<int, int> centreOf(const TextField& field) {
        const Rect frame = field.frame();
        return {100 + static_cast<int>(frame.midX()), 100 + static_cast<int>(200 - frame.midY())};
    }

    std::unique_ptr<XvfbSession> session;
    std::shared_ptr<UiWindow> window;
    std::shared_ptr<ShortcutField> email;
    std::shared_ptr<ShortcutField> other;
};

TEST_F(TextInputTest, ClickFocusesTypingEditsAndTheClipboardGoesThroughX) {
    const auto [x, y] = centreOf(*other);
    session->clickAt(x, y);
    ASSERT_TRUE(session->pumpUntil([&] { return window->firstResponder() == other; }));

    session->xdotool({"type", "--delay", "5", "Hello World"});
    ASSERT_TRUE(session->pumpUntil([&] { return other->stringValue() == "Hello World"; })) << other->stringValue();

    // Control+A then Delete clears it.
    session->xdotool({"key", "ctrl+a", "Delete"});
    EXPECT_TRUE(session->pumpUntil([&] { return other->stringValue().empty(); })) << other->stringValue();

    // Control+C in the e-mail field puts its text on the X clipboard.
    const auto [ex, ey] = centreOf(*email);
    session->clickAt(ex, ey);
    session->xdotool({"type", "--delay", "5", "user@example.com"});
    session->xdotool({"key", "ctrl+a", "ctrl+c"});
    const auto copied = std::filesystem::temp_directory_path() / ("clipboard-" + std::to_string(::getpid()));
    BackgroundProcess xclip({"xclip", "-quiet", "-o", "-selection", "clipboard"}, copied.string());
    ASSERT_TRUE(session->pumpUntil([&] { return !xclip.isRunning(); }));
    std::stringstream text;
    text << std::ifstream(copied).rdbuf();
    std::filesystem::remove(copied);
    EXPECT_EQ(text.str(), "user@example.com");

    // And text another program put there is what Control+V pastes.
    BackgroundProcess owner({"sh", "-c", "printf pasted | xclip -quiet -i -selection clipboard"});
    session->clickAt(x, y);
    // Until xclip has taken the clipboard over, a paste brings the field's own copy back: pasted
    // again, as a person would, until xclip's text comes.
    bool pasted = false;
    for (int attempt = 0; attempt < 100 && !pasted; ++attempt) {
        session->xdotool({"key", "ctrl+a", "ctrl+v"});
        pasted = session->pumpUntil([&] { return other->stringValue() == "pasted"; }, std::chrono::milliseconds(300));
    }
    EXPECT_TRUE(pasted) << other->stringValue();
}

TEST_F(TextInputTest, TheUsualEditingKeysWorkInAPlainField) {
    auto plain = std::make_shared<TextField>(Rect(20, 85, 360, 30));
    window->contentView()->addSubview(plain);
    const auto [x, y] = centreOf(*plain);
    session->clickAt(x, y);
    ASSERT_TRUE(session->pumpUntil([&] { return window->firstResponder() == plain; }));
    session->xdotool({"type", "--delay", "5", "/home/jane/Desktop"});
    ASSERT_TRUE(session->pumpUntil([&] { return plain->stringValue() == "/home/jane/Desktop"; })) << plain->stringValue();

    // Control+Backspace takes the last folder, Home and Shift+End select what is left.
    session->xdotool({"key", "ctrl+BackSpace"});
    EXPECT_TRUE(session->pumpUntil([&] { return plain->stringValue() == "/home/jane/"; })) << plain->stringValue();
    session->xdotool({"key", "Home", "shift+End"});
    EXPECT_TRUE(session->pumpUntil([&] { return plain->selectedRange().length == 11; }));
    session->xdotool({"type", "--delay", "5", "/tmp"});
    EXPECT_TRUE(session->pumpUntil([&] { return plain->stringValue() == "/tmp"; })) << plain->stringValue();
    // Control+A selects everything in a field without shortcuts of its own, too.
    session->xdotool({"key", "ctrl+a", "Delete"});
    EXPECT_TRUE(session->pumpUntil([&] { return plain->stringValue().empty(); })) << plain->stringValue();
}

}  // namespace
