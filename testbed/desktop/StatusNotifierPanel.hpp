#pragma once

#include "testbed/desktop/PrivateSessionBus.hpp"
#include "testbed/desktop/VirtualDesktop.hpp"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace corvantis::testbed {

class DesktopProgram;

// A StatusNotifierItem host on a virtual desktop: xfce4-panel along the bottom edge of the
// screen, as wide as the screen, its status tray followed by a clock at the right end, on a
// session bus of its own with the settings daemon it reads its layout from. The application
// shows its item there when it runs on the same bus. Destroying it ends the panel and the bus.
class StatusNotifierPanel {
public:
    // Why the panel cannot be made here (a program missing); none when it can.
    static std::optional<std::string> unavailableReason();

    // `folder` holds the bus and the panel's settings.
    StatusNotifierPanel(const VirtualDesktop& desktop, const std::filesystem::path& folder);
    ~StatusNotifierPanel();
    StatusNotifierPanel(const StatusNotifierPanel&) = delete;
    StatusNotifierPanel& operator=(const StatusNotifierPanel&) = delete;

    // Empty when the panel is up; else what went wrong.
    const std::string& problem() const { return problem_; }
    // For the application's DBUS_SESSION_BUS_ADDRESS.
    const std::string& busAddress() const { return bus_->address(); }
    // The panel's window on the screen.
    std::optional<VirtualDesktop::Area> area() const;
    // The status tray's part of the panel, which grows with the items it shows; none before it
    // shows one there.
    std::optional<VirtualDesktop::Area> trayArea() const;
    std::string output() const;

private:
    const VirtualDesktop& desktop_;
    std::unique_ptr<PrivateSessionBus> bus_;
    std::unique_ptr<DesktopProgram> settings_;
    std::unique_ptr<DesktopProgram> panel_;
    std::string problem_;
};

}  // namespace corvantis::testbed
