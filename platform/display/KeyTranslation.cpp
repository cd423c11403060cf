#include "platform/display/KeyTranslation.hpp"

#include "platform/ui/Event.hpp"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <array>
#include <utility>

namespace platform::display {

namespace {
std::string utf8(std::uint32_t codePoint) {
    std::string text;
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        text += static_cast<char>(0xC0 | (codePoint >> 6));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        text += static_cast<char>(0xE0 | (codePoint >> 12));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        text += static_cast<char>(0xF0 | (codePoint >> 18));
        text += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    return text;
}

struct SpecialKey {
    KeySym keysym;
    std::uint32_t character;
    std::uint16_t keyCode;
};

// Keys AppKit spells with control characters or function-key code points.
constexpr std::array specialKeys{
    SpecialKey{XK_Return, '\r', 36},       SpecialKey{XK_KP_Enter, 0x03, 76},     SpecialKey{XK_Tab, '\t', 48},
    SpecialKey{XK_ISO_Left_Tab, 0x19, 48}, SpecialKey{XK_BackSpace, 0x7F, 51},    SpecialKey{XK_Escape, 0x1B, 53},
    SpecialKey{XK_Delete, 0xF728, 117},    SpecialKey{XK_KP_Delete, 0xF728, 117}, SpecialKey{XK_Up, 0xF700, 126},
    SpecialKey{XK_Down, 0xF701, 125},      SpecialKey{XK_Left, 0xF702, 123},      SpecialKey{XK_Right, 0xF703, 124},
    SpecialKey{XK_Home, 0xF729, 115},      SpecialKey{XK_End, 0xF72B, 119},       SpecialKey{XK_Page_Up, 0xF72C, 116},
    SpecialKey{XK_Page_Down, 0xF72D, 121},
};

// AppKit's virtual key codes of the US layout's character keys, by their unshifted keysym.
std::uint16_t characterKeyCode(KeySym keysym) {
    static const std::array<std::pair<KeySym, std::uint16_t>, 48> codes{{
        {XK_a, 0},          {XK_s, 1},           {XK_d, 2},
        {XK_f, 3},          {XK_h, 4},           {XK_g, 5},
        {XK_z, 6},          {XK_x, 7},           {XK_c, 8},
        {XK_v, 9},          {XK_b, 11},          {XK_q, 12},
        {XK_w, 13},         {XK_e, 14},          {XK_r, 15},
        {XK_y, 16},         {XK_t, 17},          {XK_1, 18},
        {XK_2, 19},         {XK_3, 20},          {XK_4, 21},
        {XK_6, 22},         {XK_5, 23},          {XK_equal, 24},
        {XK_9, 25},         {XK_7, 26},          {XK_minus, 27},
        {XK_8, 28},         {XK_0, 29},          {XK_bracketright, 30},
        {XK_o, 31},         {XK_u, 32},          {XK_bracketleft, 33},
        {XK_i, 34},         {XK_p, 35},          {XK_l, 37},
        {XK_j, 38},         {XK_apostrophe, 39}, {XK_k, 40},
        {XK_semicolon, 41}, {XK_backslash, 42},  {XK_comma, 43},
        {XK_slash, 44},     {XK_n, 45},          {XK_m, 46},
        {XK_period, 47},    {XK_space, 49},      {XK_grave, 50},
    }};
    for (const auto& [known, code] : codes) {
        if (known == keysym) return code;
    }
    return 0xFFFF;
}

bool isModifierKey(KeySym keysym) {
    return IsModifierKey(keysym) || keysym == XK_Caps_Lock || keysym == XK_Num_Lock || keysym == XK_ISO_Level3_Shift;
}
}  // namespace

std::uint64_t modifierFlagsFromState(unsigned state) {
    namespace Flags = ui::ModifierFlags;
    std::uint64_t flags = 0;
    if (state & ShiftMask) flags |= Flags::shift;
    if (state & LockMask) flags |= Flags::capsLock;
    if (state & ControlMask) flags |= Flags::command;
    if (state & Mod1Mask) flags |= Flags::option;
    return flags;
}

std::string keysymText(KeySym keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF)) return utf8(static_cast<std::uint32_t>(keysym));
    // Keysyms 0x01000000 + U stand for the code point U.
    if (keysym >= 0x01000100 && keysym <= 0x0110FFFF) return utf8(static_cast<std::uint32_t>(keysym - 0x01000000));
    return {};
}

std::optional<TranslatedKey> translateKey(const XKeyEvent& event) {
    // The characters as typed without Control and Alt: those pick shortcuts, not letters.
    XKeyEvent plain = event;
    plain.state &= ~static_cast<unsigned>(ControlMask | Mod1Mask);
    char ignored[16];
    KeySym keysym = NoSymbol;
    XLookupString(&plain, ignored, sizeof ignored, &keysym, nullptr);
    if (keysym == NoSymbol || isModifierKey(keysym)) return std::nullopt;

    TranslatedKey key;
    for (const SpecialKey& special : specialKeys) {
        if (special.keysym == keysym) {
            key.characters = utf8(special.character);
            key.charactersIgnoringModifiers = key.characters;
            key.keyCode = special.keyCode;
            return key;
        }
    }
    key.characters = keysymText(keysym);
    key.charactersIgnoringModifiers = key.characters;
    const KeySym unshifted = XkbKeycodeToKeysym(event.display, static_cast<KeyCode>(event.keycode), 0, 0);
    key.keyCode = characterKeyCode(unshifted);
    return key;
}

}  // namespace platform::display
