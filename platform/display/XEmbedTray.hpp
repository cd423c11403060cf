#pragma once

#include "platform/display/Tray.hpp"
#include "platform/ui/Rect.hpp"

#include <X11/Xlib.h>

#include <map>
#include <memory>
#include <optional>
#include <set>

namespace platform::ui {
class StatusItem;
}

namespace platform::display {

class XConnection;

// The status items embedded in the system tray of the screen (the manager owning
// `_NET_SYSTEM_TRAY_S<screen>`) by the XEmbed protocol: each item's window is docked, the manager
// places and maps it, and its real rectangle on the screen becomes the item's frame, also when
// the tray moves the windows that hold it. A manager that starts again gets the items docked
// again. Main thread only.
class XEmbedTray final : public Tray {
public:
    explicit XEmbedTray(XConnection& connection);
    ~XEmbedTray() override;

    // The tray manager of the screen; None when no tray runs.
    static ::Window manager(XConnection& connection);

    Kind kind() const override { return Kind::xembed; }
    bool showsStatusWindows() const override { return true; }
    void adopt(NativeWindow& window) override;
    void release(NativeWindow& window) override;
    bool handle(const XEvent& event) override;

private:
    void dock(NativeWindow& window);
    void placed(NativeWindow& window);
    void watchAncestors(::Window window);

    XConnection& connection_;
    std::map<::Window, NativeWindow*> docked_;
    std::map<const ui::StatusItem*, ui::Rect> places_;
    // The tray's windows that hold the icons, whose moves move the icons.
    std::set<::Window> ancestors_;
};

}  // namespace platform::display
