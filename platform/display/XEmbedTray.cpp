#include "platform/display/XEmbedTray.hpp"

#include "platform/display/NativeWindow.hpp"
#include "platform/display/XConnection.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace platform::display {

namespace {
constexpr long requestDock = 0;   // SYSTEM_TRAY_REQUEST_DOCK
constexpr long xembedMapped = 1;  // XEMBED_MAPPED
constexpr int iconSize = 22;

std::string selectionName(const XConnection& connection) {
    return "_NET_SYSTEM_TRAY_S" + std::to_string(connection.screen());
}

const ui::StatusItem* itemOf(const NativeWindow& window) {
    const auto* status = dynamic_cast<const ui::StatusBarWindow*>(&window.window());
    return status != nullptr ? status->statusItem().get() : nullptr;
}
}  // namespace

::Window XEmbedTray::manager(XConnection& connection) {
    return XGetSelectionOwner(connection.display(), connection.atom(selectionName(connection)));
}

XEmbedTray::XEmbedTray(XConnection& connection) : connection_(connection) {
    // A manager announces itself with a MANAGER message to the root window.
    XSelectInput(connection_.display(), connection_.root(), StructureNotifyMask);
    ui::StatusBar::system().setItemPlacer([this](const ui::StatusItem& item) -> std::optional<ui::Rect> {
        const auto found = places_.find(&item);
        return found == places_.end() ? std::nullopt : std::optional<ui::Rect>(found->second);
    });
}

XEmbedTray::~XEmbedTray() {
    ui::StatusBar::system().setItemPlacer(nullptr);
}

void XEmbedTray::adopt(NativeWindow& window) {
    Display* display = connection_.display();
    // An icon in a tray has no background of its own: the tray's shows through around it.
    window.window().setOpaque(false);
    window.window().setBackgroundColor(ui::Color::clear());
    const long info[2] = {0, xembedMapped};
    const Atom xembedInfo = connection_.atom("_XEMBED_INFO");
    XChangeProperty(display, window.id(), xembedInfo, xembedInfo, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(info), 2);
    // Without a minimum size some trays make the icon one pixel wide.
    XSizeHints hints{};
    hints.flags = PMinSize | PBaseSize;
    hints.min_width = hints.base_width = std::max(iconSize, static_cast<int>(window.window().frame().width()));
    hints.min_height = hints.base_height = iconSize;
    XSetWMNormalHints(display, window.id(), &hints);
    docked_[window.id()] = &window;
    dock(window);
}

void XEmbedTray::release(NativeWindow& window) {
    docked_.erase(window.id());
    if (const auto* item = itemOf(window)) places_.erase(item);
}

void XEmbedTray::dock(NativeWindow& window) {
    const ::Window tray = manager(connection_);
    if (tray == None) return;
    XEvent message{};
    message.xclient.type = ClientMessage;
    message.xclient.window = tray;
    message.xclient.message_type = connection_.atom("_NET_SYSTEM_TRAY_OPCODE");
    message.xclient.format = 32;
    message.xclient.data.l[0] = CurrentTime;
    message.xclient.data.l[1] = requestDock;
    message.xclient.data.l[2] = static_cast<long>(window.id());
    XSendEvent(connection_.display(), tray, False, NoEventMask, &message);
    XFlush(connection_.display());
}

void XEmbedTray::watchAncestors(::Window window) {
    // Panels move their own windows (to the screen's edge, when others join them) without a word
    // to the icons inside: the moves of every window above an icon are watched.
    Display* display = connection_.display();
    for (;;) {
        ::Window root = None;
        ::Window parent = None;
        ::Window* children = nullptr;
        unsigned count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) return;
        if (children != nullptr) XFree(children);
        if (parent == None || parent == root) return;
        if (ancestors_.insert(parent).second) XSelectInput(display, parent, StructureNotifyMask);
        window = parent;
    }
}

void XEmbedTray::placed(NativeWindow& window) {
    watchAncestors(window.id());
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(connection_.display(), window.id(), &attributes)) return;
    int x = 0;
    int y = 0;
    ::Window child = None;
    XTranslateCoordinates(connection_.display(), window.id(), connection_.root(), 0, 0, &x, &y, &child);
    window.placedAt(x, y, attributes.width, attributes.height);
    if (const auto* item = itemOf(window)) {
        places_[item] = window.window().frame();
        ui::StatusBar::system().layoutItems();
    }
}

bool XEmbedTray::handle(const XEvent& event) {
    if (event.type == ClientMessage && event.xclient.window == connection_.root() &&
        event.xclient.message_type == connection_.atom("MANAGER") &&
        static_cast<Atom>(event.xclient.data.l[1]) == connection_.atom(selectionName(connection_))) {
        for (const auto& [id, window] : docked_) dock(*window);
        return true;
    }
    if (event.type == ConfigureNotify && ancestors_.contains(event.xconfigure.window)) {
        for (const auto& [id, window] : docked_) placed(*window);
        return true;
    }
    if (event.type == DestroyNotify && ancestors_.erase(event.xdestroywindow.window) > 0) return true;
    const auto found = docked_.find(event.xany.window);
    if (found == docked_.end()) return false;
    NativeWindow& window = *found->second;
    switch (event.type) {
        case MapNotify:
            window.setEmbeddedMapped(true);
            placed(window);
            return true;
        case UnmapNotify: window.setEmbeddedMapped(false); return true;
        case ReparentNotify:
        case ConfigureNotify: placed(window); return true;
        // A press reads where the icon is now: panels move their icons without telling them.
        case ButtonPress: placed(window); return false;
        default: return false;
    }
}

}  // namespace platform::display
