#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace platform::display {

// A key press or release as the layer's key events carry it.
struct TranslatedKey {
    std::string characters;
    std::string charactersIgnoringModifiers;
    std::uint16_t keyCode = 0;  // AppKit's virtual key code; 0 is also "A"
};

// The layer's modifier flags for an X modifier state: Control sets the Command bit, so that the
// editing shortcuts (Control-C, Control-A, …) work as Linux users expect; Alt sets Option; Shift
// and Caps Lock are themselves.
std::uint64_t modifierFlagsFromState(unsigned state);

// The key of an X key event. Control and Alt do not change the characters (AppKit's Command and
// Option shortcuts read the plain letter); Shift and Caps Lock do. Keys that AppKit spells as
// control characters or private-use code points (Return, Backspace, the arrows, …) are spelled
// so. None for a modifier key on its own.
std::optional<TranslatedKey> translateKey(const XKeyEvent& event);

// The UTF-8 text of a keysym; empty for keysyms that stand for no character.
std::string keysymText(KeySym keysym);

}  // namespace platform::display
