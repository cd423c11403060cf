#pragma once

#include "platform/display/XConnection.hpp"
#include "platform/ui/Window.hpp"

#include <X11/Xlib.h>
#include <cairo.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::render {
class ViewTreeRenderer;
}

namespace platform::display {

// The X window that shows one of the layer's windows. Borderless windows, windows above the
// normal level, sheets and dialogs over one of those are override-redirect (the popup panel is
// one of popup-menu type, so no window manager frames, moves or focuses it); titled windows are
// left to the window manager, as dialogs when they are a modal session's, under the
// application's name when they have no title of their own.
// A window that is not opaque gets a visual with alpha when a compositor runs, which also blends
// the window's own alpha (as `_NET_WM_WINDOW_OPACITY`, following fades); without one it is
// drawn over an opaque backdrop and cut to its drawn pixels with the SHAPE extension, since raw
// alpha would show unblended. While the layer's window is at alpha 0 the X window takes no input
// at all (an empty XFixes input shape) and, without a compositor, is unmapped, so an invisible
// panel never swallows clicks. An embedded window (a status item in an XEmbed tray) is placed,
// sized and mapped by the tray; it only follows the layer's alpha and picture, which it draws
// over the tray's own background (its parent's, read back), whatever the panel's colour. Main
// thread only.
class NativeWindow {
public:
    NativeWindow(XConnection& connection, ui::Window& window, bool embedded = false);
    ~NativeWindow();
    NativeWindow(const NativeWindow&) = delete;
    NativeWindow& operator=(const NativeWindow&) = delete;

    ::Window id() const { return id_; }
    ui::Window& window() const { return window_; }
    bool isMapped() const { return mapped_; }
    // Whether the window is to be mapped with its next picture.
    bool isMapDue() const { return mapDue_; }
    // Whether the X window has a visual with alpha.
    bool hasAlpha() const { return argb_; }
    bool isEmbedded() const { return embedded_; }

    // Brings the X window in line with the layer's window: shown or not (a window to be shown is
    // mapped by `draw`, with its first picture), position and size, title, input shape. True
    // when the picture must be drawn again.
    bool update();
    // Draws the window's tree through `renderer` and shows it.
    void draw(render::ViewTreeRenderer& renderer);
    // The window moved or was sized outside our doing (by a window manager or a tray) to this
    // rectangle of the screen: the layer's frame follows.
    void placedAt(int x, int y, int width, int height);
    // The tray mapped or unmapped an embedded window.
    void setEmbeddedMapped(bool mapped) { mapped_ = mapped; }
    // Shows `cursorName` ("arrow", "pointingHand") over the window.
    void showCursor(const std::string& cursorName);
    // Gives the window the keyboard focus.
    void focus();
    // Makes the window a dialog over `parent` (WM_TRANSIENT_FOR), before it is first mapped; over
    // an override-redirect parent it is one too, stacked by us right over it like a sheet (a
    // window manager would stack it under the popup and its sheets, which it does not know).
    void setTransientFor(const NativeWindow& parent);

private:
    struct SurfaceDeleter {
        void operator()(cairo_surface_t* surface) const;
    };
    using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

    void applyInputShape(bool acceptsInput);
    void applyOpacity();
    void setWindowType();
    // WM_NORMAL_HINTS of a window the window manager places: our position, a dialog's size.
    void setPlacementHints(const XRectangle& geometry);
    // Paints into `cr` what the parent shows behind the window's `area`; false when it cannot be
    // read (the window is not viewable).
    bool paintParentBackground(cairo_t* cr, XRectangle area);
    // Cuts the window to the opaque pixels of its picture, of which the `drawn` parts are new.
    void applyShapeFromAlpha(const unsigned char* pixels, int width, int height, int stride, std::vector<XRectangle> drawn);

    XConnection& connection_;
    ui::Window& window_;
    ::Window id_ = None;
    Colormap colormap_ = None;
    Visual* visual_ = nullptr;
    int depth_ = 0;
    bool argb_ = false;
    bool overrideRedirect_ = false;
    bool embedded_ = false;
    bool mapped_ = false;
    bool mapDue_ = false;
    std::optional<XRectangle> geometry_;
    std::optional<bool> acceptsInput_;
    std::optional<unsigned long> opacity_;
    std::vector<char> shapeBits_;  // the outline last set, one bit per pixel
    std::string title_;
    std::string cursorName_;
    Cursor cursor_ = None;
    GC gc_ = nullptr;
    // The last picture, and the same over the opaque backdrop where that is shown.
    Surface picture_;
    Surface backed_;
};

}  // namespace platform::display
