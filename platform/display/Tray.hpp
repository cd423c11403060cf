#pragma once

#include <X11/Xlib.h>

#include <string_view>

namespace platform::ui {
class Window;
}

namespace platform::display {

class NativeWindow;

// Where the status items live on the desktop: the StatusNotifierItem host, an XEmbed tray, or a
// strip of our own. Main thread only.
class Tray {
public:
    enum class Kind { statusNotifierItem, xembed, strip };

    virtual ~Tray() = default;
    virtual Kind kind() const = 0;

    // Whether a status item's window gets an X window of its own: in the strip it is shown where
    // the status bar lays it out, in an XEmbed tray it is embedded, and over D-Bus the host draws
    // the item itself.
    virtual bool showsStatusWindows() const = 0;
    // A status item's X window was made (before it is mapped): embed it, or keep it on top.
    virtual void adopt(NativeWindow& /*window*/) {}
    // The X window of a status item is going away.
    virtual void release(NativeWindow& /*window*/) {}
    // Handles an event meant for the tray; true when it was.
    virtual bool handle(const XEvent& /*event*/) { return false; }
    // Brings the tray in line with the status items (icons, titles).
    virtual void sync() {}
};

std::string_view name(Tray::Kind kind);

}  // namespace platform::display
