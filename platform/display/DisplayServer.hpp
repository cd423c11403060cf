#pragma once

#include "platform/dispatch/DescriptorWatch.hpp"
#include "platform/display/MenuPresenter.hpp"
#include "platform/display/NativeWindow.hpp"
#include "platform/display/Tray.hpp"
#include "platform/display/XClipboard.hpp"
#include "platform/display/XConnection.hpp"
#include "platform/render/ViewTreeRenderer.hpp"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::display {

// The application on an X display: every visible window of the layer gets an X window, which is
// kept in line with it (position, size, alpha, stacking, the key window's focus) and drawn again
// through the renderer when anything visible changed; X input becomes the layer's events; the
// pasteboard is the X clipboard; modal sessions wait for the person; menus pop up; the status
// items go to the tray. The X connection's descriptor is watched by the main queue; what other
// work changed (timers, network replies) is drawn once the main queue falls idle, and a frame
// timer plays animations only while one runs in a mapped window, at the rate it needs, so that
// an application nobody looks at does no work. Main thread only; one per process.
class DisplayServer {
public:
    // The shortest time between two looks at the windows.
    static constexpr double frameInterval = 1.0 / 30;

    // Connects to `displayName` ($DISPLAY when empty); none when no X server answers.
    static std::unique_ptr<DisplayServer> connect(const std::string& displayName = {});
    ~DisplayServer();
    DisplayServer(const DisplayServer&) = delete;
    DisplayServer& operator=(const DisplayServer&) = delete;

    // Takes over the layer: the screen's size, the pasteboard, the modal handler, menus, the
    // tray (chosen by `chooseTray`), the descriptor watch and the frame timer.
    void attach();
    // Gives everything back to the headless model.
    void detach();

    XConnection& connection() { return *connection_; }
    render::ViewTreeRenderer& renderer() { return renderer_; }
    const Tray* tray() const { return tray_.get(); }
    // Whether frames play now, on the frame timer.
    bool isPlayingFrames() const { return playingFrames_; }
    // The X window showing `window`; none while it has none.
    NativeWindow* nativeWindow(const ui::Window& window);

    // Reads what the server sent and handles it, then brings the windows in line and draws.
    void processEvents();
    // Brings the X windows in line with the layer's. Pictures are drawn at most once a frame, on
    // the frame timer, however often input arrives.
    void sync();
    // Draws every window whose picture changed, now.
    void drawChangedWindows();

    // Lets `filter` see X events first (menus, the tray); it answers true for the events it took.
    using EventFilter = std::function<bool(const XEvent& event)>;
    int addEventFilter(EventFilter filter);
    void removeEventFilter(int token);

private:
    explicit DisplayServer(std::unique_ptr<XConnection> connection);

    void readEvents();
    // Handles what was read on the main queue's next turn.
    void processEventsSoon();
    void handle(XEvent& event);
    void handleButton(NativeWindow& native, const XButtonEvent& event);
    void handleMotion(NativeWindow& native, const XMotionEvent& event);
    void handleKey(NativeWindow& native, XKeyEvent& event);
    void handleFocusOut();
    // Whether the X focus on `focus` is nobody's: the root, none, or the window manager's own.
    bool isNobodysFocus(::Window focus);
    void giveFocusToKeyWindow();
    NativeWindow* nativeWindowFor(::Window id);
    std::shared_ptr<ui::Window> sharedWindow(NativeWindow& native);
    void runModal(ui::Window& window);
    // Plays frames (a ticker on the main queue) while something animates in a mapped window.
    void updateFrameTimer();
    void restack(const std::vector<NativeWindow*>& order);

    struct Entry {
        std::weak_ptr<ui::Window> window;
        std::unique_ptr<NativeWindow> native;
    };

    std::unique_ptr<XConnection> connection_;
    // Work posted to the main queue checks this is alive before touching the server.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
    render::ViewTreeRenderer renderer_;
    std::shared_ptr<XClipboard> clipboard_;
    std::unique_ptr<Tray> tray_;
    std::unique_ptr<MenuPresenter> menus_;
    std::map<const ui::Window*, Entry> windows_;
    std::vector<::Window> stacking_;
    std::weak_ptr<ui::Window> focused_;
    // The window the running modal session interrupted, which its window is a dialog over.
    std::weak_ptr<ui::Window> modalParent_;
    // Whether `focused_`'s X window was mapped when it was given the focus.
    bool focusGiven_ = false;
    std::unique_ptr<dispatch::DescriptorWatch> watch_;
    std::deque<XEvent> queued_;
    std::map<int, EventFilter> filters_;
    int lastFilter_ = 0;
    bool playingFrames_ = false;
    // Frames a second the frame timer plays at now.
    double frameRate_ = 0;
    bool focusCheckDue_ = false;
    bool drawingDue_ = false;
    bool attached_ = false;
    // For click counts: where and when the last press was.
    Time lastPressTime_ = 0;
    int lastPressX_ = 0;
    int lastPressY_ = 0;
    std::int64_t clickCount_ = 0;
};

}  // namespace platform::display
