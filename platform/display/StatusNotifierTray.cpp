#include "platform/display/StatusNotifierTray.hpp"

#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/display/XConnection.hpp"
#include "platform/foundation/ResourceDirectory.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"
#include "platform/ui/StatusItem.hpp"

#include <X11/Xatom.h>
#include <unistd.h>

#include <cmath>
#include <cstring>

namespace platform::display {

namespace {
constexpr const char* itemId = "corvantis-vpn";
constexpr const char* itemTitle = "Corvantis VPN";

const sd_bus_vtable itemVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Category", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Id", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Title", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("Status", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("WindowId", "i", nullptr, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconName", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("IconThemePath", "s", nullptr, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("IconPixmap", "a(iiay)", nullptr, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("ToolTip", "(sa(iiay)ss)", nullptr, 0, SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE),
    SD_BUS_PROPERTY("ItemIsMenu", "b", nullptr, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_METHOD("Activate", "ii", "", nullptr, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SecondaryActivate", "ii", "", nullptr, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("ContextMenu", "ii", "", nullptr, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Scroll", "is", "", nullptr, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("NewTitle", "", 0),
    SD_BUS_SIGNAL("NewIcon", "", 0),
    SD_BUS_SIGNAL("NewStatus", "s", 0),
    SD_BUS_SIGNAL("NewToolTip", "", 0),
    SD_BUS_VTABLE_END,
};

// The vtable above with the handlers filled in (the macros want constant expressions, and the
// handlers are class members).
std::vector<sd_bus_vtable> vtableWithHandlers(sd_bus_property_get_t getter, sd_bus_message_handler_t activate,
                                              sd_bus_message_handler_t secondaryActivate, sd_bus_message_handler_t contextMenu,
                                              sd_bus_message_handler_t ignore) {
    std::vector<sd_bus_vtable> table(std::begin(itemVtable), std::end(itemVtable));
    for (auto& entry : table) {
        if (entry.type == _SD_BUS_VTABLE_PROPERTY) {
            entry.x.property.get = getter;
        } else if (entry.type == _SD_BUS_VTABLE_METHOD) {
            const std::string member = entry.x.method.member;
            entry.x.method.handler = member == "Activate"            ? activate
                                     : member == "SecondaryActivate" ? secondaryActivate
                                     : member == "ContextMenu"       ? contextMenu
                                                                     : ignore;
        }
    }
    return table;
}

// The folder of the application's images: hosts that look icons up by name find the status
// item's own SVG there, drawn at the panel's size.
std::filesystem::path iconFolder() {
    return foundation::resourceDirectory() / "images";
}

std::vector<sd_bus_vtable>& vtable() {
    static std::vector<sd_bus_vtable> table;
    return table;
}

int appendPixmaps(sd_bus_message* reply, const std::optional<StatusNotifierTray::Pixmap>& pixmap) {
    int result = sd_bus_message_open_container(reply, 'a', "(iiay)");
    if (result < 0) return result;
    if (pixmap && pixmap->width > 0) {
        result = sd_bus_message_open_container(reply, 'r', "iiay");
        if (result < 0) return result;
        sd_bus_message_append(reply, "ii", pixmap->width, pixmap->height);
        result = sd_bus_message_append_array(reply, 'y', pixmap->argb.data(), pixmap->argb.size());
        if (result < 0) return result;
        result = sd_bus_message_close_container(reply);
        if (result < 0) return result;
    }
    return sd_bus_message_close_container(reply);
}
}  // namespace

std::string StatusNotifierTray::iconName() const {
    // Named after the item's image when that image is one of the application's own files, so
    // that a host that looks icons up (and a theme that replaces them) draws it at its own size;
    // hosts that cannot take the pixmap.
    const auto current = item();
    const auto image = current ? current->image() : nullptr;
    if (!image || image->name().empty()) return {};
    std::error_code error;
    return std::filesystem::is_regular_file(iconFolder() / (image->name() + ".svg"), error) ? image->name() : std::string{};
}

StatusNotifierTray::Pixmap StatusNotifierTray::pixmap(const ui::Image& image) {
    Pixmap pixmap{image.pixelsWide(), image.pixelsHigh(), {}};
    pixmap.argb.reserve(static_cast<std::size_t>(pixmap.width * pixmap.height * 4));
    // Rows from the top; the image counts them from the bottom.
    for (int y = pixmap.height - 1; y >= 0; --y) {
        for (int x = 0; x < pixmap.width; ++x) {
            const auto pixel = image.pixel(x, y);
            pixmap.argb.insert(pixmap.argb.end(), {pixel.alpha, pixel.red, pixel.green, pixel.blue});
        }
    }
    return pixmap;
}

std::unique_ptr<StatusNotifierTray> StatusNotifierTray::make(std::unique_ptr<SessionBus> bus, XConnection& connection) {
    static int instance = 0;
    const std::string name = "org.kde.StatusNotifierItem-" + std::to_string(::getpid()) + "-" + std::to_string(++instance);
    if (sd_bus_request_name(bus->bus(), name.c_str(), 0) < 0) return nullptr;
    return std::unique_ptr<StatusNotifierTray>(new StatusNotifierTray(std::move(bus), connection, name));
}

StatusNotifierTray::StatusNotifierTray(std::unique_ptr<SessionBus> bus, XConnection& connection, std::string serviceName)
    : bus_(std::move(bus)), connection_(connection), serviceName_(std::move(serviceName)) {
    if (vtable().empty()) vtable() = vtableWithHandlers(getProperty, activate, secondaryActivate, contextMenu, ignoreCall);
    sd_bus_add_object_vtable(bus_->bus(), &objectSlot_, objectPath, interfaceName, vtable().data(), this);
    // A watcher that starts (or starts again) has forgotten us.
    sd_bus_match_signal(bus_->bus(), &matchSlot_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                        "NameOwnerChanged", watcherChanged, this);
    ui::StatusBar::system().setItemPlacer([this](const ui::StatusItem& item) -> std::optional<ui::Rect> {
        return &item == this->item().get() ? place(item) : std::nullopt;
    });
    registerWithWatcher();
    bus_->watch();
}

StatusNotifierTray::~StatusNotifierTray() {
    ui::StatusBar::system().setItemPlacer(nullptr);
    sd_bus_slot_unref(registerSlot_);
    sd_bus_slot_unref(matchSlot_);
    sd_bus_slot_unref(objectSlot_);
    sd_bus_release_name(bus_->bus(), serviceName_.c_str());
}

void StatusNotifierTray::registerWithWatcher() {
    // Asynchronous: the watcher calls us back for our properties before it answers.
    sd_bus_slot_unref(registerSlot_);
    sd_bus_call_method_async(bus_->bus(), &registerSlot_, watcherName, "/StatusNotifierWatcher", watcherName,
                             "RegisterStatusNotifierItem", registered, this, "s", serviceName_.c_str());
    sd_bus_flush(bus_->bus());
}

int StatusNotifierTray::registered(sd_bus_message* reply, void* userdata, sd_bus_error*) {
    auto& tray = *static_cast<StatusNotifierTray*>(userdata);
    if (sd_bus_message_is_method_error(reply, nullptr)) return 0;
    // A host shows the item now, whether or not the item exists yet: it is placed from then on.
    tray.registered_ = true;
    ui::StatusBar::system().layoutItems();
    return 0;
}

std::optional<ui::Rect> StatusNotifierTray::place(const ui::StatusItem& item) const {
    if (placed_) return placed_;
    if (!registered_) return std::nullopt;
    // No host says where its items are before one is clicked: until then the item counts as
    // standing at the end of the host's panel, where panels keep their trays.
    const auto bar = panel();
    if (!bar) return std::nullopt;
    const int thickness = static_cast<int>(ui::StatusBar::system().thickness());
    const bool across = bar->width >= bar->height;
    const int x = across ? bar->x + bar->width - thickness / 2 : bar->x + bar->width / 2;
    const int y = across ? bar->y + bar->height / 2 : bar->y + bar->height - thickness / 2;
    return frameAt(item, x, y);
}

std::optional<XRectangle> StatusNotifierTray::panel() const {
    // The host's panel is the window that reserves an edge of the screen (it is there also
    // without a window manager), else what lies outside the work area along one edge.
    if (const auto reserving = reservingWindow()) return reserving;
    const auto area = workArea();
    if (!area) return std::nullopt;
    const int width = connection_.width();
    const int height = connection_.height();
    const int areaRight = area->x + area->width;
    const int areaBottom = area->y + area->height;
    const auto strip = [](int x, int y, int w, int h) {
        return XRectangle{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(w),
                          static_cast<unsigned short>(h)};
    };
    if (areaBottom < height) return strip(0, areaBottom, width, height - areaBottom);
    if (area->y > 0) return strip(0, 0, width, area->y);
    if (area->x > 0) return strip(0, 0, area->x, height);
    if (areaRight < width) return strip(areaRight, 0, width - areaRight, height);
    return std::nullopt;
}

std::optional<XRectangle> StatusNotifierTray::reservingWindow() const {
    Display* display = connection_.display();
    const Atom strut = connection_.atom("_NET_WM_STRUT");
    const Atom strutPartial = connection_.atom("_NET_WM_STRUT_PARTIAL");
    const auto reserves = [&](::Window window) {
        for (const Atom property : {strutPartial, strut}) {
            Atom type = None;
            int format = 0;
            unsigned long count = 0;
            unsigned long remaining = 0;
            unsigned char* data = nullptr;
            bool found = false;
            if (XGetWindowProperty(display, window, property, 0, 4, False, XA_CARDINAL, &type, &format, &count, &remaining,
                                   &data) == Success &&
                data != nullptr) {
                const auto* values = reinterpret_cast<const long*>(data);
                found = format == 32 && count == 4 && (values[0] > 0 || values[1] > 0 || values[2] > 0 || values[3] > 0);
                XFree(data);
            }
            if (found) return true;
        }
        return false;
    };
    const auto childrenOf = [&](::Window window) {
        ::Window root = None;
        ::Window parent = None;
        ::Window* children = nullptr;
        unsigned count = 0;
        std::vector<::Window> found;
        if (XQueryTree(display, window, &root, &parent, &children, &count) != 0 && children != nullptr) {
            found.assign(children, children + count);
            XFree(children);
        }
        return found;
    };
    // Panels are top-level windows, or one level down in a window manager's frame.
    std::vector<::Window> candidates = childrenOf(connection_.root());
    for (const ::Window top : std::vector<::Window>(candidates)) {
        for (const ::Window child : childrenOf(top)) candidates.push_back(child);
    }
    for (const ::Window window : candidates) {
        XWindowAttributes attributes{};
        if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable || !reserves(window)) {
            continue;
        }
        int x = 0;
        int y = 0;
        ::Window child = None;
        XTranslateCoordinates(display, window, connection_.root(), 0, 0, &x, &y, &child);
        return XRectangle{static_cast<short>(x), static_cast<short>(y), static_cast<unsigned short>(attributes.width),
                          static_cast<unsigned short>(attributes.height)};
    }
    return std::nullopt;
}

std::optional<XRectangle> StatusNotifierTray::workArea() const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::optional<XRectangle> area;
    if (XGetWindowProperty(connection_.display(), connection_.root(), connection_.atom("_NET_WORKAREA"), 0, 4, False, XA_CARDINAL,
                           &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (count >= 4 && format == 32) {
            const auto* values = reinterpret_cast<const long*>(data);
            area = XRectangle{static_cast<short>(values[0]), static_cast<short>(values[1]),
                              static_cast<unsigned short>(values[2]), static_cast<unsigned short>(values[3])};
        }
        XFree(data);
    }
    return area;
}

std::shared_ptr<ui::StatusItem> StatusNotifierTray::item() const {
    const auto items = ui::StatusBar::system().items();
    return items.empty() ? nullptr : items.front();
}

void StatusNotifierTray::sync() {
    bus_->process();
    const auto current = item();
    if (!current) return;
    const std::shared_ptr<const ui::Image> image = current->image();
    if (image != shownImage_) {
        shownImage_ = image;
        sd_bus_emit_signal(bus_->bus(), objectPath, interfaceName, "NewIcon", "");
    }
    if (current->title() != shownTitle_) {
        shownTitle_ = current->title();
        sd_bus_emit_signal(bus_->bus(), objectPath, interfaceName, "NewTitle", "");
    }
    sd_bus_flush(bus_->bus());
}

ui::Rect StatusNotifierTray::frameAt(const ui::StatusItem& item, int x, int y) const {
    const double thickness = ui::StatusBar::system().thickness();
    const int width = static_cast<int>(item.effectiveLength() > 0 ? item.effectiveLength() : thickness);
    int top = y - static_cast<int>(thickness) / 2;
    int height = static_cast<int>(thickness);
    // The item spans the panel's thickness, so that the popup opens just past the panel's edge.
    if (const auto bar = panel(); bar && y >= bar->y && y < bar->y + bar->height) {
        top = bar->y;
        height = bar->height;
    }
    return connection_.fromX(x - width / 2, top, width, std::max(height, 1));
}

bool StatusNotifierTray::placeAt(int x, int y) {
    const auto current = item();
    if (!current) return false;
    const auto before = place(*current);
    placed_ = frameAt(*current, x, y);
    ui::StatusBar::system().layoutItems();
    // Whether the item was thought to be elsewhere: the host told where it is for the first time.
    return !before || std::abs(before->midX() - placed_->midX()) >= placed_->width() / 2;
}

void StatusNotifierTray::click(int x, int y, bool contextMenu) {
    // Not from inside the bus's own handler: what the click opens may run a loop of its own.
    const std::weak_ptr<void> alive = lifetime_;
    dispatch::DispatchQueue::main()->async([this, alive, x, y, contextMenu] {
        if (alive.expired()) return;
        const bool firstTold = !placed_;
        const bool moved = placeAt(x, y);
        const auto current = item();
        if (!current) return;
        // The click that first says where the icon is moves an open popup there (it follows its
        // item) and leaves it open: the person clicked the icon to have the popup at it.
        const auto button = current->button();
        if (!contextMenu && firstTold && moved && button && button->isHighlighted()) return;
        const std::shared_ptr<ui::Window> window = current->window();
        const ui::Point centre{window->frame().width() / 2, window->frame().height() / 2};
        auto& application = ui::Application::shared();
        if (contextMenu) {
            application.sendEvent(ui::Event::mouseEvent(ui::EventType::rightMouseUp, centre, window));
            return;
        }
        application.sendEvent(ui::Event::mouseEvent(ui::EventType::leftMouseDown, centre, window));
        application.sendEvent(ui::Event::mouseEvent(ui::EventType::leftMouseUp, centre, window));
    });
}

int StatusNotifierTray::getProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                                    void* userdata, sd_bus_error*) {
    auto& tray = *static_cast<StatusNotifierTray*>(userdata);
    const auto current = tray.item();
    const std::string name = property;
    const std::string title = current && !current->title().empty() ? current->title() : itemTitle;
    if (name == "Category") return sd_bus_message_append(reply, "s", "ApplicationStatus");
    if (name == "Id") return sd_bus_message_append(reply, "s", itemId);
    if (name == "Title") return sd_bus_message_append(reply, "s", title.c_str());
    if (name == "Status") return sd_bus_message_append(reply, "s", "Active");
    if (name == "WindowId") return sd_bus_message_append(reply, "i", 0);
    if (name == "IconName") return sd_bus_message_append(reply, "s", tray.iconName().c_str());
    if (name == "IconThemePath") return sd_bus_message_append(reply, "s", iconFolder().c_str());
    if (name == "ItemIsMenu") return sd_bus_message_append(reply, "b", 0);
    std::optional<Pixmap> icon;
    if (current && current->image()) icon = pixmap(*current->image());
    if (name == "IconPixmap") return appendPixmaps(reply, icon);
    if (name == "ToolTip") {
        int result = sd_bus_message_open_container(reply, 'r', "sa(iiay)ss");
        if (result < 0) return result;
        sd_bus_message_append(reply, "s", "");
        result = appendPixmaps(reply, std::nullopt);
        if (result < 0) return result;
        sd_bus_message_append(reply, "ss", itemTitle, "");
        return sd_bus_message_close_container(reply);
    }
    return -ENOENT;
}

int StatusNotifierTray::activate(sd_bus_message* message, void* userdata, sd_bus_error*) {
    int x = 0;
    int y = 0;
    const int result = sd_bus_message_read(message, "ii", &x, &y);
    if (result < 0) return result;
    static_cast<StatusNotifierTray*>(userdata)->click(x, y, false);
    return sd_bus_reply_method_return(message, "");
}

int StatusNotifierTray::secondaryActivate(sd_bus_message* message, void* userdata, sd_bus_error*) {
    int x = 0;
    int y = 0;
    const int result = sd_bus_message_read(message, "ii", &x, &y);
    if (result < 0) return result;
    // A middle click does nothing of its own, but tells where the icon is.
    auto& tray = *static_cast<StatusNotifierTray*>(userdata);
    const std::weak_ptr<void> alive = tray.lifetime_;
    dispatch::DispatchQueue::main()->async([&tray, alive, x, y] {
        if (!alive.expired()) tray.placeAt(x, y);
    });
    return sd_bus_reply_method_return(message, "");
}

int StatusNotifierTray::contextMenu(sd_bus_message* message, void* userdata, sd_bus_error*) {
    int x = 0;
    int y = 0;
    const int result = sd_bus_message_read(message, "ii", &x, &y);
    if (result < 0) return result;
    static_cast<StatusNotifierTray*>(userdata)->click(x, y, true);
    return sd_bus_reply_method_return(message, "");
}

int StatusNotifierTray::ignoreCall(sd_bus_message* message, void*, sd_bus_error*) {
    return sd_bus_reply_method_return(message, "");
}

int StatusNotifierTray::watcherChanged(sd_bus_message* message, void* userdata, sd_bus_error*) {
    const char* name = nullptr;
    const char* oldOwner = nullptr;
    const char* newOwner = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &oldOwner, &newOwner) < 0) return 0;
    if (std::strcmp(name, watcherName) == 0 && newOwner != nullptr && *newOwner != '\0') {
        static_cast<StatusNotifierTray*>(userdata)->registerWithWatcher();
    }
    return 0;
}

}  // namespace platform::display
