#include "platform/display/NativeWindow.hpp"

#include "platform/Services.hpp"
#include "platform/render/ViewTreeRenderer.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/WindowLevel.hpp"
#include "platform/ui/WindowStyleMask.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace platform::display {

namespace {
constexpr long eventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                           KeyReleaseMask | FocusChangeMask | StructureNotifyMask | LeaveWindowMask;

// What shows through a window that is not opaque where no compositor can blend it.
constexpr double backdropGrey = 0.85;

// The application's class and name, which a window manager shows on a window without a title.
constexpr const char* applicationClass = "Corvantis VPN";

// Sheets, modal panels and a modal session's window (an alert outside the popup) are dialogs.
bool isDialog(const ui::Window& window) {
    return window.sheetParent() != nullptr || window.level() >= ui::WindowLevel::modalPanel ||
           &window == ui::Application::shared().modalWindow();
}

bool isOverrideRedirect(const ui::Window& window) {
    return (window.styleMask() & ui::WindowStyleMask::titled) == 0 || window.level() > ui::WindowLevel::normal ||
           window.sheetParent() != nullptr;
}

struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
}  // namespace

void NativeWindow::SurfaceDeleter::operator()(cairo_surface_t* surface) const {
    cairo_surface_destroy(surface);
}

NativeWindow::NativeWindow(XConnection& connection, ui::Window& window, bool embedded)
    : connection_(connection), window_(window), embedded_(embedded) {
    Display* display = connection_.display();
    overrideRedirect_ = !embedded_ && isOverrideRedirect(window_);
    const auto argbVisual = connection_.argbVisual();
    // Trays offer no visual with alpha to their icons.
    argb_ = !embedded_ && !window_.isOpaque() && argbVisual && connection_.compositorRuns();

    XSetWindowAttributes attributes{};
    // Without a background the server paints nothing of its own (black) before our picture;
    // with alpha the background is transparency; an icon in a tray has the tray's behind it.
    unsigned long mask = CWEventMask | CWOverrideRedirect | (argb_ ? CWBackPixel : CWBackPixmap) | CWBorderPixel;
    attributes.event_mask = eventMask;
    attributes.override_redirect = overrideRedirect_ ? True : False;
    attributes.background_pixel = 0;
    attributes.background_pixmap = embedded_ ? ParentRelative : None;
    attributes.border_pixel = 0;
    Visual* visual = DefaultVisual(display, connection_.screen());
    int depth = DefaultDepth(display, connection_.screen());
    if (argb_) {
        // An ARGB window needs a colormap of its own, else the server answers BadMatch.
        visual = argbVisual->visual;
        depth = argbVisual->depth;
        colormap_ = XCreateColormap(display, connection_.root(), visual, AllocNone);
        attributes.colormap = colormap_;
        mask |= CWColormap;
    }
    const XRectangle geometry = connection_.toX(window_.frame());
    id_ = XCreateWindow(display, connection_.root(), geometry.x, geometry.y, geometry.width, geometry.height, 0, depth,
                        InputOutput, visual, mask, &attributes);
    XClassHint classHint{const_cast<char*>("corvantis-vpn"), const_cast<char*>(applicationClass)};
    XSetClassHint(display, id_, &classHint);
    // Take the keyboard only when we give it; the window manager must not focus the popup.
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = overrideRedirect_ ? False : True;
    XSetWMHints(display, id_, &hints);
    Atom deleteWindow = connection_.atom("WM_DELETE_WINDOW");
    XSetWMProtocols(display, id_, &deleteWindow, 1);
    setWindowType();
    setPlacementHints(geometry);
    gc_ = XCreateGC(display, id_, 0, nullptr);
    visual_ = visual;
    depth_ = depth;
    if (embedded_) geometry_ = geometry;
}

NativeWindow::~NativeWindow() {
    Display* display = connection_.display();
    if (cursor_ != None) XFreeCursor(display, cursor_);
    XFreeGC(display, gc_);
    XDestroyWindow(display, id_);
    if (colormap_ != None) XFreeColormap(display, colormap_);
}

void NativeWindow::setWindowType() {
    std::string type = "_NET_WM_WINDOW_TYPE_NORMAL";
    if (window_.level() >= ui::WindowLevel::popUpMenu) {
        type = "_NET_WM_WINDOW_TYPE_POPUP_MENU";
    } else if (isDialog(window_)) {
        type = "_NET_WM_WINDOW_TYPE_DIALOG";
    }
    const Atom value = connection_.atom(type);
    XChangeProperty(connection_.display(), id_, connection_.atom("_NET_WM_WINDOW_TYPE"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&value), 1);
}

void NativeWindow::setPlacementHints(const XRectangle& geometry) {
    if (overrideRedirect_ || embedded_) return;
    // Where the layer put it, not where the window manager would; a dialog keeps its size (no
    // maximising it either).
    XSizeHints placement{};
    placement.flags = USPosition | PPosition;
    placement.x = geometry.x;
    placement.y = geometry.y;
    if (isDialog(window_)) {
        placement.flags |= PMinSize | PMaxSize;
        placement.min_width = placement.max_width = geometry.width;
        placement.min_height = placement.max_height = geometry.height;
    }
    XSetWMNormalHints(connection_.display(), id_, &placement);
}

void NativeWindow::setTransientFor(const NativeWindow& parent) {
    Display* display = connection_.display();
    XSetTransientForHint(display, id_, parent.id());
    if (overrideRedirect_ || mapped_ || !parent.overrideRedirect_) return;
    overrideRedirect_ = true;
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    XChangeWindowAttributes(display, id_, CWOverrideRedirect, &attributes);
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = False;
    XSetWMHints(display, id_, &hints);
}

bool NativeWindow::update() {
    Display* display = connection_.display();
    bool redraw = false;
    const bool visible = window_.isVisible();
    const bool transparent = window_.visibleAlphaValue() <= 0;
    applyInputShape(!transparent);
    if (argb_) applyOpacity();
    if (embedded_) return false;

    const XRectangle geometry = connection_.toX(window_.frame());
    if (!geometry_ || geometry.x != geometry_->x || geometry.y != geometry_->y || geometry.width != geometry_->width ||
        geometry.height != geometry_->height) {
        const bool resized = !geometry_ || geometry.width != geometry_->width || geometry.height != geometry_->height;
        if (resized) setPlacementHints(geometry);
        XMoveResizeWindow(display, id_, geometry.x, geometry.y, geometry.width, geometry.height);
        geometry_ = geometry;
        redraw = redraw || resized;
    }
    // A window without a title of its own goes by the application's name.
    const std::string title = window_.title().empty() && !overrideRedirect_ ? applicationClass : window_.title();
    if (title != title_) {
        title_ = title;
        XStoreName(display, id_, title_.c_str());
        XChangeProperty(display, id_, connection_.atom("_NET_WM_NAME"), connection_.atom("UTF8_STRING"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title_.data()), static_cast<int>(title_.size()));
    }
    // Without a compositor a transparent window would show black: take it off the screen.
    const bool shown = visible && (argb_ || !transparent);
    if (shown && !mapped_) {
        // Mapped with its first picture (`draw`), never as an empty box.
        mapDue_ = true;
        redraw = true;
    } else if (!shown) {
        mapDue_ = false;
        if (mapped_) XUnmapWindow(display, id_);
        mapped_ = false;
    }
    return redraw;
}

void NativeWindow::applyOpacity() {
    // The compositor blends the window at this opacity; while a fade runs it follows the fade.
    const auto now = Services::current().clock()->now();
    double alpha = 1;
    // A sheet fades with the window it belongs to.
    for (const ui::Window* shown = &window_; shown != nullptr; shown = shown->sheetParent()) {
        alpha *= std::clamp(ui::AnimationLog::shared().presentedAlpha(shown, shown->alphaValue(), now), 0.0, 1.0);
    }
    const auto opacity = static_cast<unsigned long>(alpha * 0xFFFFFFFFu);
    if (opacity == opacity_) return;
    opacity_ = opacity;
    XChangeProperty(connection_.display(), id_, connection_.atom("_NET_WM_WINDOW_OPACITY"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&opacity), 1);
}

void NativeWindow::applyInputShape(bool acceptsInput) {
    if (acceptsInput_ == acceptsInput) return;
    acceptsInput_ = acceptsInput;
    Display* display = connection_.display();
    if (acceptsInput) {
        XFixesSetWindowShapeRegion(display, id_, ShapeInput, 0, 0, None);
        return;
    }
    const XserverRegion empty = XFixesCreateRegion(display, nullptr, 0);
    XFixesSetWindowShapeRegion(display, id_, ShapeInput, 0, 0, empty);
    XFixesDestroyRegion(display, empty);
}

void NativeWindow::draw(render::ViewTreeRenderer& renderer) {
    if ((!mapped_ && !mapDue_) || !geometry_) return;
    const int width = geometry_->width;
    const int height = geometry_->height;
    // The picture is kept: when only animations in place changed, only their parts are drawn
    // again and sent, so that a playing scene costs what it covers, not the whole window. A
    // window mapped now shows nothing yet: all of it is sent.
    auto area = renderer.changedArea(window_);
    if (mapDue_) area.reset();
    if (!picture_ || cairo_image_surface_get_width(picture_.get()) != width ||
        cairo_image_surface_get_height(picture_.get()) != height) {
        picture_.reset(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
        backed_.reset();
        area.reset();
    }
    std::vector<XRectangle> parts;
    for (const ui::Rect& part : area.value_or(render::ViewTreeRenderer::Area{ui::Rect(0, 0, width, height)})) {
        const int left = std::clamp(static_cast<int>(part.minX()), 0, width);
        const int top = std::clamp(static_cast<int>(part.minY()), 0, height);
        const int right = std::clamp(static_cast<int>(std::ceil(part.maxX())), left, width);
        const int bottom = std::clamp(static_cast<int>(std::ceil(part.maxY())), top, height);
        if (right > left && bottom > top) {
            parts.push_back({static_cast<short>(left), static_cast<short>(top), static_cast<unsigned short>(right - left),
                             static_cast<unsigned short>(bottom - top)});
        }
    }
    if (parts.empty()) return;
    render::ViewTreeRenderer::Area drawn;
    for (const XRectangle& part : parts) drawn.push_back(ui::Rect(part.x, part.y, part.width, part.height));
    {
        std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(picture_.get()));
        renderer.render(window_, cr.get(), 1.0, area ? std::optional(drawn) : std::nullopt);
    }
    cairo_surface_flush(picture_.get());
    cairo_surface_t* shown = picture_.get();
    if (!argb_ && !window_.isOpaque()) {
        // An icon in a tray is drawn over the tray's own background; other windows are cut to
        // their picture.
        if (!embedded_) {
            applyShapeFromAlpha(cairo_image_surface_get_data(picture_.get()), width, height,
                                cairo_image_surface_get_stride(picture_.get()), parts);
        }
        if (!backed_) backed_.reset(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
        std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(backed_.get()));
        for (const XRectangle& part : parts) cairo_rectangle(cr.get(), part.x, part.y, part.width, part.height);
        cairo_clip(cr.get());
        for (const XRectangle& part : parts) {
            if (!embedded_ || !paintParentBackground(cr.get(), part)) {
                cairo_save(cr.get());
                cairo_rectangle(cr.get(), part.x, part.y, part.width, part.height);
                cairo_clip(cr.get());
                cairo_set_source_rgb(cr.get(), backdropGrey, backdropGrey, backdropGrey);
                cairo_paint(cr.get());
                cairo_restore(cr.get());
            }
        }
        cairo_set_source_surface(cr.get(), picture_.get(), 0, 0);
        cairo_paint(cr.get());
        cr.reset();
        cairo_surface_flush(backed_.get());
        shown = backed_.get();
    }
    // Cairo's ARGB32 and RGB24 rows are the 32-bit ZPixmap layout of both 24- and 32-bit visuals.
    Display* display = connection_.display();
    if (mapDue_) {
        // The shape is set and the picture follows in the same batch of requests.
        XMapRaised(display, id_);
        mapDue_ = false;
        mapped_ = true;
    }
    XImage* image = XCreateImage(display, visual_, static_cast<unsigned>(depth_), ZPixmap, 0,
                                 reinterpret_cast<char*>(cairo_image_surface_get_data(shown)), static_cast<unsigned>(width),
                                 static_cast<unsigned>(height), 32, cairo_image_surface_get_stride(shown));
    if (image == nullptr) return;
    for (const XRectangle& part : parts)
        XPutImage(display, id_, gc_, image, part.x, part.y, part.x, part.y, part.width, part.height);
    image->data = nullptr;  // the surface owns the pixels
    XDestroyImage(image);
}

bool NativeWindow::paintParentBackground(cairo_t* cr, XRectangle area) {
    // The window's background is its parent's (ParentRelative): cleared, it shows what the tray
    // shows behind its icons, which is read back and painted under the picture.
    Display* display = connection_.display();
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, id_, &attributes) || attributes.map_state != IsViewable) return false;
    XClearArea(display, id_, area.x, area.y, area.width, area.height, False);
    XImage* under = XGetImage(display, id_, area.x, area.y, area.width, area.height, AllPlanes, ZPixmap);
    if (under == nullptr) return false;
    bool painted = false;
    // 24-bit pixels in 32-bit units are Cairo's RGB24 rows.
    if (under->bits_per_pixel == 32 && under->depth == 24) {
        Surface backdrop(cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(under->data), CAIRO_FORMAT_RGB24,
                                                             area.width, area.height, under->bytes_per_line));
        cairo_set_source_surface(cr, backdrop.get(), area.x, area.y);
        cairo_paint(cr);
        painted = true;
    }
    XDestroyImage(under);
    return painted;
}

void NativeWindow::applyShapeFromAlpha(const unsigned char* pixels, int width, int height, int stride,
                                       std::vector<XRectangle> drawn) {
    // One bit per pixel, set where the picture is at least half opaque; only the parts drawn
    // again can have changed.
    const int bytesPerRow = (width + 7) / 8;
    const auto size = static_cast<std::size_t>(bytesPerRow * height);
    std::vector<char> bits = shapeBits_.size() == size ? shapeBits_ : std::vector<char>(size, 0);
    if (shapeBits_.size() != size) drawn = {{0, 0, static_cast<unsigned short>(width), static_cast<unsigned short>(height)}};
    for (const XRectangle& part : drawn) {
        const int firstByte = part.x / 8;
        const int endByte = (part.x + part.width + 7) / 8;
        for (int y = part.y; y < part.y + part.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(pixels + static_cast<std::ptrdiff_t>(y) * stride);
            char* const out = bits.data() + static_cast<std::ptrdiff_t>(y) * bytesPerRow;
            for (int byte = firstByte; byte < endByte; ++byte) {
                unsigned value = 0;
                const int end = std::min(8, width - byte * 8);
                for (int bit = 0; bit < end; ++bit) value |= static_cast<unsigned>((row[byte * 8 + bit] >> 31) & 1u) << bit;
                out[byte] = static_cast<char>(value);
            }
        }
    }
    // Setting a shape exposes the window again: only a new outline is worth that redraw.
    if (bits == shapeBits_) return;
    shapeBits_ = bits;
    Display* display = connection_.display();
    const Pixmap mask =
        XCreateBitmapFromData(display, id_, bits.data(), static_cast<unsigned>(width), static_cast<unsigned>(height));
    XShapeCombineMask(display, id_, ShapeBounding, 0, 0, mask, ShapeSet);
    XFreePixmap(display, mask);
    // The bounding shape also bounds input; an input shape of our own must follow it again.
    if (acceptsInput_ && !*acceptsInput_) {
        acceptsInput_.reset();
        applyInputShape(false);
    }
}

void NativeWindow::placedAt(int x, int y, int width, int height) {
    const bool resized = !geometry_ || geometry_->width != width || geometry_->height != height;
    geometry_ = XRectangle{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(std::max(width, 1)),
                           static_cast<unsigned short>(std::max(height, 1))};
    const ui::Rect frame = connection_.fromX(x, y, geometry_->width, geometry_->height);
    if (resized) {
        window_.setFrame(frame);
    } else if (!(frame.origin == window_.frame().origin)) {
        window_.setFrameOrigin(frame.origin);
    }
}

void NativeWindow::showCursor(const std::string& cursorName) {
    if (cursorName == cursorName_) return;
    cursorName_ = cursorName;
    Display* display = connection_.display();
    if (cursor_ != None) XFreeCursor(display, cursor_);
    cursor_ = XCreateFontCursor(display, cursorName == "pointingHand" ? XC_hand2 : XC_left_ptr);
    XDefineCursor(display, id_, cursor_);
}

void NativeWindow::focus() {
    if (mapped_) XSetInputFocus(connection_.display(), id_, RevertToParent, CurrentTime);
}

}  // namespace platform::display
