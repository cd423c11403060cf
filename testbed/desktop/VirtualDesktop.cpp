#include "testbed/desktop/VirtualDesktop.hpp"

#include "testbed/desktop/DesktopProgram.hpp"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <stdexcept>
#include <thread>

namespace corvantis::testbed {

namespace {

// The desktop's backdrop, so that the edges of windows show against it.
constexpr unsigned long backdrop = 0x5b6b7f;

std::string resourceName(Display* display, ::Window window) {
    XClassHint hint{};
    if (XGetClassHint(display, window, &hint) == 0) return {};
    std::string name = hint.res_name != nullptr ? hint.res_name : "";
    if (hint.res_name != nullptr) XFree(hint.res_name);
    if (hint.res_class != nullptr) XFree(hint.res_class);
    return name;
}

std::string windowType(Display* display, ::Window window) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string name;
    if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), 0, 1, False, XA_ATOM, &type,
                           &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (count > 0) {
            char* atomName = XGetAtomName(display, *reinterpret_cast<const Atom*>(data));
            if (atomName != nullptr) {
                name = atomName;
                XFree(atomName);
            }
        }
        XFree(data);
    }
    const std::string prefix = "_NET_WM_WINDOW_TYPE_";
    return name.starts_with(prefix) ? name.substr(prefix.size()) : name;
}

// The first value of a window's property of 32-bit `type` (a window, an atom); 0 when it has none.
unsigned long windowProperty(Display* display, ::Window window, Atom property, Atom type) {
    Atom actual = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    unsigned long value = 0;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actual, &format, &count, &remaining, &data) ==
            Success &&
        data != nullptr) {
        if (count > 0 && format == 32) value = *reinterpret_cast<const unsigned long*>(data);
        XFree(data);
    }
    return value;
}

// The window's place on the screen when it is shown; none when it is not mapped.
std::optional<VirtualDesktop::Area> shownArea(Display* display, ::Window window) {
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display, window, &attributes) == 0 || attributes.map_state != IsViewable) return std::nullopt;
    int x = 0;
    int y = 0;
    ::Window child = None;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    return VirtualDesktop::Area{x, y, attributes.width, attributes.height};
}

std::vector<::Window> childrenOf(Display* display, ::Window window) {
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
}

}  // namespace

std::optional<std::string> VirtualDesktop::unavailableReason(const Options& options) {
    std::vector<std::string> programs{"Xvfb", "xdotool"};
    if (!options.trayEdge.empty()) programs.push_back("trayer");
    if (options.windowManager) programs.push_back("openbox");
    for (const auto& program : programs) {
        if (!programExists(program)) return program + " is not installed (scripts/setup installs it)";
    }
    return std::nullopt;
}

VirtualDesktop::VirtualDesktop(Options options) : options_(std::move(options)) {
    // Xvfb picks a free display and writes its number once it accepts connections.
    auto server = std::make_unique<DesktopProgram>(
        std::vector<std::string>{}, "Xvfb",
        std::vector<std::string>{"-displayfd", "1", "-screen", "0",
                                 std::to_string(options_.width) + "x" + std::to_string(options_.height) + "x24", "-nolisten",
                                 "tcp"});
    const bool numbered = waitUntil([&] { return server->standardOutput().find('\n') != std::string::npos || server->exit(); },
                                    std::chrono::seconds(20));
    const std::string written = server->standardOutput();
    if (!numbered || written.find('\n') == std::string::npos) throw std::runtime_error("Xvfb did not start: " + server->output());
    const std::string number = written.substr(0, written.find('\n'));
    displayName_ = ":" + number;
    server_ = std::move(server);
    display_ = XOpenDisplay(displayName_.c_str());
    if (display_ == nullptr) throw std::runtime_error("cannot connect to " + displayName_);
    if (options_.windowManager) {
        // openbox names its check window on the root once it manages the screen.
        windowManager_ = std::make_unique<DesktopProgram>(std::vector<std::string>{"DISPLAY=" + displayName_}, "openbox",
                                                          std::vector<std::string>{"--sm-disable"});
        const Atom check = XInternAtom(display_, "_NET_SUPPORTING_WM_CHECK", False);
        if (!waitUntil([&] { return windowProperty(display_, DefaultRootWindow(display_), check, XA_WINDOW) != 0; })) {
            throw std::runtime_error("openbox did not start: " + windowManager_->output());
        }
    }
    // After the window manager, which blackens the screen when it starts.
    const ::Window root = DefaultRootWindow(display_);
    XSetWindowBackground(display_, root, backdrop);
    XClearWindow(display_, root);
    XSync(display_, False);
    if (options_.trayEdge.empty()) return;
    tray_ =
        std::make_unique<DesktopProgram>(std::vector<std::string>{"DISPLAY=" + displayName_}, "trayer",
                                         std::vector<std::string>{"--edge", options_.trayEdge, "--align", "right", "--widthtype",
                                                                  "request", "--height", "24", "--SetDockType", "true"});
    const Atom selection = XInternAtom(display_, ("_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display_))).c_str(), False);
    if (!waitUntil([&] { return XGetSelectionOwner(display_, selection) != None; })) {
        throw std::runtime_error("trayer did not take the tray");
    }
}

VirtualDesktop::~VirtualDesktop() {
    if (display_ != nullptr) XCloseDisplay(display_);
    tray_.reset();
    windowManager_.reset();
    server_.reset();
}

bool VirtualDesktop::xdotool(const std::vector<std::string>& arguments) const {
    DesktopProgram run({"DISPLAY=" + displayName_}, "xdotool", arguments);
    return run.waitForExit(std::chrono::seconds(20)) && run.exit()->succeeded();
}

void VirtualDesktop::click(int x, int y, int button) const {
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y), "click", std::to_string(button)});
}

void VirtualDesktop::moveTo(int x, int y) const {
    xdotool({"mousemove", "--sync", std::to_string(x), std::to_string(y)});
}

void VirtualDesktop::key(const std::string& name) const {
    xdotool({"key", name});
}

void VirtualDesktop::type(const std::string& text) const {
    xdotool({"type", "--delay", "20", text});
}

std::uint32_t VirtualDesktop::pixel(int x, int y) const {
    XImage* image = XGetImage(display_, DefaultRootWindow(display_), x, y, 1, 1, AllPlanes, ZPixmap);
    if (image == nullptr) return 0;
    const auto value = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF;
    XDestroyImage(image);
    return value;
}

std::vector<VirtualDesktop::ShownWindow> VirtualDesktop::windowsOf(const std::string& className) const {
    XSync(display_, False);
    std::vector<ShownWindow> shown;
    // The root's children come bottom first, as they are stacked; a managed window sits inside
    // its frame, a level or two down.
    for (const ::Window top : childrenOf(display_, DefaultRootWindow(display_))) {
        std::vector<::Window> pending{top};
        for (int depth = 0; depth < 3 && !pending.empty(); ++depth) {
            std::vector<::Window> next;
            for (const ::Window window : pending) {
                if (resourceName(display_, window) != className) {
                    for (const ::Window child : childrenOf(display_, window)) next.push_back(child);
                    continue;
                }
                if (const auto area = shownArea(display_, window)) shown.push_back({window, *area, windowType(display_, window)});
            }
            pending = std::move(next);
        }
    }
    return shown;
}

std::optional<VirtualDesktop::Area> VirtualDesktop::trayIcon(const std::string& className) const {
    XSync(display_, False);
    // The icon is docked somewhere below the tray's own windows.
    std::vector<::Window> pending;
    for (const ::Window top : childrenOf(display_, DefaultRootWindow(display_))) {
        for (const ::Window child : childrenOf(display_, top)) pending.push_back(child);
    }
    while (!pending.empty()) {
        const ::Window window = pending.back();
        pending.pop_back();
        if (resourceName(display_, window) == className) return shownArea(display_, window);
        for (const ::Window child : childrenOf(display_, window)) pending.push_back(child);
    }
    return std::nullopt;
}

std::string VirtualDesktop::windowTitle(unsigned long window) const {
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display_, window, XInternAtom(display_, "_NET_WM_NAME", False), 0, 1024, False,
                           XInternAtom(display_, "UTF8_STRING", False), &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        title.assign(reinterpret_cast<const char*>(data), count);
        XFree(data);
    }
    return title;
}

unsigned long VirtualDesktop::transientFor(unsigned long window) const {
    ::Window parent = None;
    return XGetTransientForHint(display_, window, &parent) != 0 ? parent : 0;
}

unsigned long VirtualDesktop::focusedWindow() const {
    ::Window focus = None;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus;
}

bool VirtualDesktop::waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

}  // namespace corvantis::testbed
