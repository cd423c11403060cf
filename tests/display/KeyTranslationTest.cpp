#include "XvfbSession.hpp"

#include "platform/display/KeyTranslation.hpp"
#include "platform/ui/Event.hpp"

#include <X11/keysym.h>

using corvantis::testing::XvfbSession;
using platform::display::modifierFlagsFromState;
using platform::display::translateKey;
namespace ModifierFlags = platform::ui::ModifierFlags;

namespace {

TEST(KeyTranslationTest, KeysBecomeAppKitsCharactersCodesAndModifiers) {
    if (const auto reason = XvfbSession::unavailableReason()) GTEST_SKIP() << *reason;
    XvfbSession session;
    Display* display = session.server().connection().display();
    const auto press = [&](KeySym keysym, unsigned state) {
        XKeyEvent event{};
        event.type = KeyPress;
        event.display = display;
        event.keycode = XKeysymToKeycode(display, keysym);
        event.state = state;
        return translateKey(event);
    };

    // Control-A is Command-A: the plain letter, so that the editing shortcuts find it.
    const auto selectAll = press(XK_a, ControlMask);
    ASSERT_TRUE(selectAll);
    EXPECT_EQ(selectAll->characters, "a");
    EXPECT_EQ(selectAll->keyCode, 0);
    EXPECT_EQ(modifierFlagsFromState(ControlMask), ModifierFlags::command);
    EXPECT_EQ(modifierFlagsFromState(Mod1Mask | ShiftMask | LockMask),
              ModifierFlags::option | ModifierFlags::shift | ModifierFlags::capsLock);

    // Shift still shapes the characters, as in AppKit ("Z" for Command-Shift-Z).
    EXPECT_EQ(press(XK_z, ShiftMask | ControlMask)->charactersIgnoringModifiers, "Z");

    // Keys AppKit spells as control characters or function-key code points.
    EXPECT_EQ(press(XK_Return, 0)->characters, "\r");
    EXPECT_EQ(press(XK_Return, 0)->keyCode, 36);
    EXPECT_EQ(press(XK_BackSpace, 0)->characters, "\x7f");
    EXPECT_EQ(press(XK_Delete, 0)->characters, "\xEF\x9C\xA8");  // U+F728
    EXPECT_EQ(press(XK_Escape, 0)->keyCode, 53);
    EXPECT_EQ(press(XK_Up, 0)->characters, "\xEF\x9C\x80");  // U+F700

    // A modifier on its own is no key event.
    EXPECT_FALSE(press(XK_Shift_L, 0));
}

}  // namespace
