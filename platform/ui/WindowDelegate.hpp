#pragma once

#include "platform/ui/Rect.hpp"

namespace platform::ui {

class Window;

// What a window tells its delegate; every call does nothing unless overridden.
class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;

    // The window is about to close (`Window::close`).
    virtual void windowWillClose(Window&) {}
    // The window's size changed.
    virtual void windowDidResize(Window&) {}
    // The window stopped being the key window.
    virtual void windowDidResignKey(Window&) {}
    // The window became the key window.
    virtual void windowDidBecomeKey(Window&) {}
    // Where `sheet` hangs from: `rect` (window coordinates) is the window's top edge as a
    // rectangle of height 0, the sheet hangs from its top and is centred on it. A window whose
    // top is not its content (a popup's arrow) moves it.
    virtual Rect windowWillPositionSheet(Window&, Window& /*sheet*/, Rect rect) { return rect; }
};

}  // namespace platform::ui
