#pragma once

#include "platform/display/SessionBus.hpp"
#include "platform/display/Tray.hpp"
#include "platform/ui/Rect.hpp"

#include <systemd/sd-bus.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::ui {
class Image;
class StatusItem;
}  // namespace platform::ui

namespace platform::display {

class XConnection;

// The first status item as a StatusNotifierItem on the session bus, for desktops whose panel
// hosts items over D-Bus (KDE, XFCE, Cinnamon, LXQt, GNOME with the AppIndicator extension).
// The item registers with org.kde.StatusNotifierWatcher, and again whenever a watcher appears;
// it serves its id, title, status, icon (by name, from the application's images folder given as
// the icon theme path, and as a pixmap drawn from the item's image) and tooltip, and says
// NewIcon when the image changes. Once registered, the item is placed at the end of the host's
// panel (the window that reserves an edge of the screen, else the edge the work area leaves
// out), where trays sit, until the host says where it is: Activate(x, y), SecondaryActivate and
// ContextMenu place it there, and an open popup follows. Activate becomes a left press and
// release on the item's button where the host was clicked (the host gives no times, so it is a
// short press), except the first, which only moves the open popup to the icon when the popup
// stood elsewhere; ContextMenu becomes a right release there. Main thread only.
class StatusNotifierTray final : public Tray {
public:
    static constexpr const char* watcherName = "org.kde.StatusNotifierWatcher";
    static constexpr const char* objectPath = "/StatusNotifierItem";
    static constexpr const char* interfaceName = "org.kde.StatusNotifierItem";

    // Claims the item's name on `bus`; none when the bus refuses it.
    static std::unique_ptr<StatusNotifierTray> make(std::unique_ptr<SessionBus> bus, XConnection& connection);
    ~StatusNotifierTray() override;

    Kind kind() const override { return Kind::statusNotifierItem; }
    bool showsStatusWindows() const override { return false; }
    void sync() override;

    const std::string& serviceName() const { return serviceName_; }

    // The icon as the protocol's pixmap: width, height, then ARGB32 in network byte order.
    struct Pixmap {
        int width = 0;
        int height = 0;
        std::vector<std::uint8_t> argb;
    };
    static Pixmap pixmap(const ui::Image& image);
    // The icon's name for hosts that look it up; empty when the image has no file of its own.
    std::string iconName() const;

private:
    StatusNotifierTray(std::unique_ptr<SessionBus> bus, XConnection& connection, std::string serviceName);
    void registerWithWatcher();
    std::shared_ptr<ui::StatusItem> item() const;
    // The host was clicked at (x, y) on the screen (X's coordinates): the item is placed there.
    // True when it stood elsewhere before.
    bool placeAt(int x, int y);
    // Where the item is: where the host last said, else at the end of its panel once registered.
    std::optional<ui::Rect> place(const ui::StatusItem& item) const;
    // The item's frame around (x, y), spanning the panel's thickness when (x, y) is on it.
    ui::Rect frameAt(const ui::StatusItem& item, int x, int y) const;
    void click(int x, int y, bool contextMenu);
    // The screen's work area and the panel beside it, X's coordinates; none when no desktop says.
    std::optional<XRectangle> workArea() const;
    std::optional<XRectangle> panel() const;
    // The shown window that reserves an edge of the screen (_NET_WM_STRUT), X's coordinates.
    std::optional<XRectangle> reservingWindow() const;

    static int getProperty(sd_bus* bus, const char* path, const char* interface, const char* property, sd_bus_message* reply,
                           void* userdata, sd_bus_error* error);
    static int activate(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int secondaryActivate(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int contextMenu(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int ignoreCall(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int watcherChanged(sd_bus_message* message, void* userdata, sd_bus_error* error);
    static int registered(sd_bus_message* reply, void* userdata, sd_bus_error* error);

    std::unique_ptr<SessionBus> bus_;
    XConnection& connection_;
    std::string serviceName_;
    sd_bus_slot* objectSlot_ = nullptr;
    sd_bus_slot* matchSlot_ = nullptr;
    sd_bus_slot* registerSlot_ = nullptr;  // the registration's pending reply
    std::shared_ptr<void> lifetime_ = std::make_shared<int>(0);
    std::shared_ptr<const ui::Image> shownImage_;
    std::string shownTitle_;
    bool registered_ = false;
    std::optional<ui::Rect> placed_;  // where the host last said the item is
};

}  // namespace platform::display
