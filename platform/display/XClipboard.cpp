#include "platform/display/XClipboard.hpp"

#include <X11/Xatom.h>
#include <poll.h>

#include <chrono>
#include <vector>

namespace platform::display {

namespace {
constexpr auto replyTimeout = std::chrono::milliseconds(500);
}

XClipboard::XClipboard(XConnection& connection) : connection_(connection) {
    window_ = XCreateSimpleWindow(connection_.display(), connection_.root(), -10, -10, 1, 1, 0, 0, 0);
}

XClipboard::~XClipboard() {
    XDestroyWindow(connection_.display(), window_);
}

void XClipboard::publish(const std::optional<std::string>& text) {
    Display* display = connection_.display();
    const Atom clipboard = connection_.atom("CLIPBOARD");
    text_ = text;
    if (text_) {
        XSetSelectionOwner(display, clipboard, window_, CurrentTime);
    } else if (XGetSelectionOwner(display, clipboard) == window_) {
        XSetSelectionOwner(display, clipboard, None, CurrentTime);
    }
    XFlush(display);
}

std::optional<std::string> XClipboard::foreignText() {
    Display* display = connection_.display();
    const Atom clipboard = connection_.atom("CLIPBOARD");
    const ::Window owner = XGetSelectionOwner(display, clipboard);
    if (owner == None || owner == window_) return std::nullopt;
    const Atom property = connection_.atom("CORVANTIS_CLIPBOARD");
    XConvertSelection(display, clipboard, connection_.atom("UTF8_STRING"), property, window_, CurrentTime);
    XFlush(display);
    // Wait for this one reply; other events stay queued for the main loop.
    const auto deadline = std::chrono::steady_clock::now() + replyTimeout;
    XEvent reply;
    while (!XCheckTypedWindowEvent(display, window_, SelectionNotify, &reply)) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return std::nullopt;
        pollfd readable{connection_.descriptor(), POLLIN, 0};
        ::poll(&readable, 1, static_cast<int>(left.count()));
    }
    if (reply.xselection.property == None) return std::nullopt;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, window_, property, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count, &remaining, &data);
    std::optional<std::string> text;
    if (data != nullptr) {
        if (format == 8) text = std::string(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return text;
}

bool XClipboard::handle(const XEvent& event) {
    if (event.type == SelectionRequest && event.xselectionrequest.owner == window_) {
        answer(event.xselectionrequest);
        return true;
    }
    if (event.type == SelectionClear && event.xselectionclear.window == window_) {
        text_.reset();
        return true;
    }
    return false;
}

void XClipboard::answer(const XSelectionRequestEvent& request) {
    Display* display = connection_.display();
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    // Old clients name no property: the target's name is the one to use.
    const Atom property = request.property != None ? request.property : request.target;
    reply.xselection.property = None;
    const Atom utf8 = connection_.atom("UTF8_STRING");
    const Atom targets = connection_.atom("TARGETS");
    if (text_ && request.target == targets) {
        const std::vector<Atom> offered{targets, utf8, XA_STRING, connection_.atom("TEXT")};
        XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(offered.data()), static_cast<int>(offered.size()));
        reply.xselection.property = property;
    } else if (text_ && (request.target == utf8 || request.target == XA_STRING || request.target == connection_.atom("TEXT"))) {
        XChangeProperty(display, request.requestor, property, request.target == XA_STRING ? XA_STRING : utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(text_->data()), static_cast<int>(text_->size()));
        reply.xselection.property = property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
}

}  // namespace platform::display
