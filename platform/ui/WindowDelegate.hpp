#pragma once

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
};

}  // namespace platform::ui
