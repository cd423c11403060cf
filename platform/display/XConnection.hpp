#pragma once

#include "platform/ui/Rect.hpp"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace platform::display {

// The connection to the X server and what every X window of ours shares: the screen, atoms by
// name, and the visual to draw with. Main thread only.
class XConnection {
public:
    // Connects to `name` ($DISPLAY when empty); none when no server answers.
    static std::unique_ptr<XConnection> open(const std::string& name = {});
    ~XConnection();
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    Display* display() const { return display_; }
    int screen() const { return screen_; }
    ::Window root() const { return root_; }
    int descriptor() const { return ConnectionNumber(display_); }
    // The screen's size in pixels.
    int width() const { return DisplayWidth(display_, screen_); }
    int height() const { return DisplayHeight(display_, screen_); }

    Atom atom(const std::string& name);

    // Whether a compositing manager runs: only then does a window's alpha channel blend with
    // what lies below it; without one the raw pixels show.
    bool compositorRuns();
    // A 32-bit visual with alpha; none when the server has no such visual.
    std::optional<XVisualInfo> argbVisual() const { return argbVisual_; }

    // Converts between the layer's screen coordinates (y upwards from the bottom of the screen)
    // and X's (y downwards from the top): the X rectangle of a frame, and back.
    XRectangle toX(const ui::Rect& frame) const;
    ui::Rect fromX(int x, int y, int width, int height) const;

private:
    explicit XConnection(Display* display);

    Display* display_;
    int screen_;
    ::Window root_;
    std::optional<XVisualInfo> argbVisual_;
    std::map<std::string, Atom> atoms_;
};

}  // namespace platform::display
