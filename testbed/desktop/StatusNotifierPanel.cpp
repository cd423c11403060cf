#include "testbed/desktop/StatusNotifierPanel.hpp"

#include "testbed/desktop/DesktopProgram.hpp"

namespace corvantis::testbed {

namespace {

constexpr const char* settingsDaemon = "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd";
constexpr auto startLimit = std::chrono::seconds(30);

// Whether a program on the bus of `environment` owns `name`.
bool nameHasOwner(const std::vector<std::string>& environment, const std::string& name) {
    const DesktopProgram asked(environment, "dbus-send",
                               {"--session", "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus.NameHasOwner", "string:" + name});
    return asked.waitForExit(startLimit) && asked.standardOutput().find("true") != std::string::npos;
}

}  // namespace

std::optional<std::string> StatusNotifierPanel::unavailableReason() {
    for (const auto* program : {"xfce4-panel", "dbus-daemon", "dbus-send"}) {
        if (!programExists(program)) return std::string(program) + " is not installed (scripts/setup installs it)";
    }
    if (!std::filesystem::exists(settingsDaemon)) return std::string(settingsDaemon) + " is missing (xfconf)";
    return std::nullopt;
}

StatusNotifierPanel::StatusNotifierPanel(const VirtualDesktop& desktop, const std::filesystem::path& folder)
    : desktop_(desktop), bus_(std::make_unique<PrivateSessionBus>(folder / "bus")) {
    if (bus_->address().empty()) {
        problem_ = "dbus-daemon did not start: " + bus_->output();
        return;
    }
    const auto channels = folder / "config" / "xfce4" / "xfconf" / "xfce-perchannel-xml";
    std::filesystem::create_directories(channels);
    std::filesystem::copy_file(CORVANTIS_PANEL_SETTINGS, channels / "xfce4-panel.xml",
                               std::filesystem::copy_options::overwrite_existing);
    const std::vector<std::string> environment{"DISPLAY=" + desktop.displayName(), "DBUS_SESSION_BUS_ADDRESS=" + bus_->address(),
                                               "XDG_CONFIG_HOME=" + (folder / "config").string(), "HOME=" + folder.string(),
                                               "NO_AT_BRIDGE=1"};
    // The bus starts no services: the settings daemon the panel asks is started here.
    settings_ = std::make_unique<DesktopProgram>(environment, settingsDaemon, std::vector<std::string>{});
    if (!VirtualDesktop::waitUntil([&] { return nameHasOwner(environment, "org.xfce.Xfconf"); }, startLimit)) {
        problem_ = "xfconfd did not start: " + settings_->output();
        return;
    }
    panel_ = std::make_unique<DesktopProgram>(environment, "xfce4-panel", std::vector<std::string>{"--disable-wm-check"});
    // The status tray's plug-in takes the watcher's name once it runs.
    if (!VirtualDesktop::waitUntil([&] { return nameHasOwner(environment, "org.kde.StatusNotifierWatcher"); }, startLimit)) {
        problem_ = "xfce4-panel's status tray did not start: " + panel_->output();
    }
}

StatusNotifierPanel::~StatusNotifierPanel() {
    panel_.reset();
    settings_.reset();
    bus_.reset();
}

std::optional<VirtualDesktop::Area> StatusNotifierPanel::area() const {
    for (const auto& window : desktop_.windowsOf("xfce4-panel")) {
        if (window.type == "DOCK" && window.area.width > 100) return window.area;
    }
    return std::nullopt;
}

std::optional<VirtualDesktop::Area> StatusNotifierPanel::trayArea() const {
    // The plug-in runs in a program of its own, whose window the panel embeds.
    const auto tray = desktop_.trayIcon("wrapper-2.0");
    const auto bar = area();
    if (!tray || !bar) return std::nullopt;
    // The tray grows before it draws the icon: it shows one when its middle is not the panel's
    // own background.
    if (desktop_.pixel(tray->midX(), tray->midY()) == desktop_.pixel(bar->x + 2, tray->midY())) return std::nullopt;
    return tray;
}

std::string StatusNotifierPanel::output() const {
    return panel_ ? panel_->output() : std::string{};
}

}  // namespace corvantis::testbed
