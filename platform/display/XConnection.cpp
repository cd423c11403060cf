#include "platform/display/XConnection.hpp"

#include "platform/foundation/Console.hpp"

#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>

namespace platform::display {

namespace {
unsigned short clampToUnsigned(double value) {
    return static_cast<unsigned short>(std::clamp(std::lround(value), 1L, 65535L));
}

short clampToSigned(double value) {
    return static_cast<short>(std::clamp(std::lround(value), -32768L, 32767L));
}
}  // namespace

namespace {
// Xlib's default handler ends the process on any error. Ours are expected now and then (focusing a
// window the window manager has not mapped yet, a tray that went away): log them and go on.
int logError(Display* display, XErrorEvent* error) {
    char text[128] = {};
    XGetErrorText(display, error->error_code, text, sizeof text);
    foundation::consoleLog("X error: " + std::string(text) + " (request " + std::to_string(error->request_code) + ")");
    return 0;
}
}  // namespace

std::unique_ptr<XConnection> XConnection::open(const std::string& name) {
    XSetErrorHandler(logError);
    Display* display = XOpenDisplay(name.empty() ? nullptr : name.c_str());
    if (display == nullptr) return nullptr;
    return std::unique_ptr<XConnection>(new XConnection(display));
}

XConnection::XConnection(Display* display)
    : display_(display), screen_(DefaultScreen(display)), root_(RootWindow(display, screen_)) {
    XVisualInfo wanted{};
    wanted.screen = screen_;
    wanted.depth = 32;
    wanted.c_class = TrueColor;
    int count = 0;
    XVisualInfo* found = XGetVisualInfo(display_, VisualScreenMask | VisualDepthMask | VisualClassMask, &wanted, &count);
    if (found != nullptr) {
        if (count > 0) argbVisual_ = found[0];
        XFree(found);
    }
}

XConnection::~XConnection() {
    XCloseDisplay(display_);
}

Atom XConnection::atom(const std::string& name) {
    const auto known = atoms_.find(name);
    if (known != atoms_.end()) return known->second;
    const Atom interned = XInternAtom(display_, name.c_str(), False);
    atoms_.emplace(name, interned);
    return interned;
}

bool XConnection::compositorRuns() {
    return XGetSelectionOwner(display_, atom("_NET_WM_CM_S" + std::to_string(screen_))) != None;
}

XRectangle XConnection::toX(const ui::Rect& frame) const {
    return {clampToSigned(frame.minX()), clampToSigned(height() - frame.maxY()), clampToUnsigned(frame.width()),
            clampToUnsigned(frame.height())};
}

ui::Rect XConnection::fromX(int x, int y, int width, int height) const {
    return {static_cast<double>(x), static_cast<double>(this->height() - y - height), static_cast<double>(width),
            static_cast<double>(height)};
}

}  // namespace platform::display
