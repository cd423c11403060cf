#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct _XDisplay;

namespace corvantis::testbed {

class DesktopProgram;

// A virtual X screen of its own (Xvfb), optionally with a window manager (openbox) and an XEmbed
// tray (trayer) along one edge, and the means to act on it and look at it as a person would: the pointer and the keyboard
// through xdotool, the screen's pixels, and where the windows of a program are. Coordinates are
// X's: pixels from the top-left corner of the screen.
class VirtualDesktop {
public:
    struct Options {
        int width = 1280;
        int height = 800;
        // "top", "bottom", "left" or "right" starts trayer there; empty for no tray.
        std::string trayEdge;
        // Starts openbox, which frames, stacks and focuses the windows it manages.
        bool windowManager = false;
    };

    struct Area {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        int midX() const { return x + width / 2; }
        int midY() const { return y + height / 2; }
        int maxX() const { return x + width; }
        int maxY() const { return y + height; }
        bool contains(const Area& other) const {
            return other.x >= x && other.y >= y && other.maxX() <= maxX() && other.maxY() <= maxY();
        }
    };

    // A top-level window of the program, as the screen shows it.
    struct ShownWindow {
        unsigned long id = 0;
        Area area;
        // The last part of its _NET_WM_WINDOW_TYPE: "POPUP_MENU", "DIALOG", "NORMAL".
        std::string type;
    };

    // Why the desktop cannot be made here (a program missing); none when it can.
    static std::optional<std::string> unavailableReason(const Options& options);

    explicit VirtualDesktop(Options options);
    ~VirtualDesktop();
    VirtualDesktop(const VirtualDesktop&) = delete;
    VirtualDesktop& operator=(const VirtualDesktop&) = delete;

    // ":N", for the DISPLAY of programs shown here.
    const std::string& displayName() const { return displayName_; }
    const Options& options() const { return options_; }

    // Runs xdotool with `arguments` and waits for it; false when it failed.
    bool xdotool(const std::vector<std::string>& arguments) const;
    void click(int x, int y, int button = 1) const;
    void moveTo(int x, int y) const;
    // Key names as xdotool knows them ("Escape", "Return", "shift+Tab").
    void key(const std::string& name) const;
    void type(const std::string& text) const;

    // The colour of a pixel of the screen as 0xRRGGBB.
    std::uint32_t pixel(int x, int y) const;
    // The mapped top-level windows whose WM_CLASS is `className`, bottom first (those the window
    // manager framed stacked where their frames are).
    std::vector<ShownWindow> windowsOf(const std::string& className) const;
    // Where the tray shows the icon window of `className`; none before it has docked one.
    std::optional<Area> trayIcon(const std::string& className) const;
    // The _NET_WM_NAME of a window, and the window it is WM_TRANSIENT_FOR (0 for none).
    std::string windowTitle(unsigned long window) const;
    unsigned long transientFor(unsigned long window) const;
    // The window that has the keyboard focus.
    unsigned long focusedWindow() const;

    // Polls `done` until it answers true or `timeout` passes; returns `done()`.
    static bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));

private:
    Options options_;
    std::string displayName_;
    std::unique_ptr<DesktopProgram> server_;
    std::unique_ptr<DesktopProgram> windowManager_;
    std::unique_ptr<DesktopProgram> tray_;
    _XDisplay* display_ = nullptr;
};

}  // namespace corvantis::testbed
