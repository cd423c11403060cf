#include "platform/display/DisplayServer.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/display/KeyTranslation.hpp"
#include "platform/display/SavePanelPresenter.hpp"
#include "platform/display/TrayChooser.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/Cursor.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Pasteboard.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/StatusBarWindow.hpp"

#include <X11/Xatom.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <tuple>
#include <utility>

namespace platform::display {

namespace {
// Presses closer than this in time and place count as one multiple click.
constexpr Time doubleClickMilliseconds = 400;
constexpr int doubleClickDistance = 4;
// Points of content one notch of the wheel scrolls.
constexpr double wheelStep = 30;

bool isStatusWindow(const ui::Window& window) {
    return dynamic_cast<const ui::StatusBarWindow*>(&window) != nullptr;
}

// Where a window goes in the stacking order, bottom first: by level, then by when it was last
// ordered front. A sheet goes right above its window, whatever its own level and whenever its
// window was last ordered front.
using StackingRank = std::tuple<int, std::size_t, int>;
StackingRank stackingRank(const ui::Window& window, const std::vector<std::shared_ptr<ui::Window>>& visible) {
    // The window of a modal session waits for its answer on top of everything it interrupted.
    if (&window == ui::Application::shared().modalWindow()) return {std::numeric_limits<int>::max(), 0, 0};
    const ui::Window* base = &window;
    while (base->sheetParent() != nullptr) base = base->sheetParent();
    const auto position = std::find_if(visible.begin(), visible.end(), [&](const auto& shown) { return shown.get() == base; });
    int depth = 0;
    for (const ui::Window* parent = window.sheetParent(); parent != nullptr; parent = parent->sheetParent()) ++depth;
    return {std::max(window.level(), base->level()), static_cast<std::size_t>(position - visible.begin()), depth};
}

dispatch::Duration seconds(double value) {
    return std::chrono::duration_cast<dispatch::Duration>(std::chrono::duration<double>(value));
}
}  // namespace

std::unique_ptr<DisplayServer> DisplayServer::connect(const std::string& displayName) {
    auto connection = XConnection::open(displayName);
    if (!connection) return nullptr;
    return std::unique_ptr<DisplayServer>(new DisplayServer(std::move(connection)));
}

DisplayServer::DisplayServer(std::unique_ptr<XConnection> connection)
    : connection_(std::move(connection)), clipboard_(std::make_shared<XClipboard>(*connection_)) {}

DisplayServer::~DisplayServer() {
    detach();
}

void DisplayServer::attach() {
    if (attached_) return;
    attached_ = true;
    ui::Screen::setScreenFrames({ui::Rect(0, 0, connection_->width(), connection_->height())});
    ui::StatusBar::system().layoutItems();
    ui::Pasteboard::general()->setBridge(clipboard_);
    ui::Application::shared().setModalHandler([this](ui::Window& window) { runModal(window); });
    menus_ = std::make_unique<MenuPresenter>(*this);
    tray_ = chooseTray(*this);
    // The handler only reads: what the events cause may run a nested loop (a modal alert), which
    // must see later events arrive.
    const auto alive = std::weak_ptr<int>(lifetime_);
    watch_ = std::make_unique<dispatch::DescriptorWatch>(connection_->descriptor(), [this, alive] {
        if (alive.expired()) return;
        readEvents();
        processEventsSoon();
    });
    // What work on the main queue changed (timers, network replies, input) is shown once the
    // queue has nothing more to do; while frames play, the frame timer shows it instead.
    Services::current().mainQueue()->setIdleObserver([this, alive] {
        if (alive.expired() || playingFrames_) return;
        drawingDue_ = true;
        sync();
    });
    drawingDue_ = true;
    sync();
}

void DisplayServer::updateFrameTimer() {
    // Frames cost a picture each: they play only while something moves where it can be seen,
    // and only as often as what moves needs (a slow pulse fewer than a fade).
    double rate = 0;
    for (auto& [pointer, entry] : windows_) {
        const auto window = entry.window.lock();
        if (window && entry.native->isMapped()) rate = std::max(rate, renderer_.frameRate(*window));
    }
    rate = std::min(rate, 1 / frameInterval);
    if (rate == frameRate_) return;
    frameRate_ = rate;
    playingFrames_ = rate > 0;
    const auto queue = Services::current().mainQueue();
    if (!playingFrames_) {
        queue->setTicker({}, nullptr);
        return;
    }
    // On the run loop itself: a frame wakes the main thread once, and nothing else.
    queue->setTicker(seconds(1 / rate), [this] {
        // Input comes through the descriptor watch; a frame only shows what changed.
        drawingDue_ = true;
        sync();
    });
}

void DisplayServer::detach() {
    if (!attached_) return;
    attached_ = false;
    frameRate_ = 0;
    if (std::exchange(playingFrames_, false)) Services::current().mainQueue()->setTicker({}, nullptr);
    Services::current().mainQueue()->setIdleObserver(nullptr);
    watch_.reset();
    ui::Application::shared().setModalHandler(nullptr);
    ui::Pasteboard::general()->setBridge(nullptr);
    tray_.reset();
    menus_.reset();
    windows_.clear();
    XFlush(connection_->display());
}

NativeWindow* DisplayServer::nativeWindow(const ui::Window& window) {
    const auto found = windows_.find(&window);
    return found == windows_.end() ? nullptr : found->second.native.get();
}

NativeWindow* DisplayServer::nativeWindowFor(::Window id) {
    for (auto& [window, entry] : windows_) {
        if (entry.native->id() == id) return entry.native.get();
    }
    return nullptr;
}

std::shared_ptr<ui::Window> DisplayServer::sharedWindow(NativeWindow& native) {
    const auto found = windows_.find(&native.window());
    return found == windows_.end() ? nullptr : found->second.window.lock();
}

int DisplayServer::addEventFilter(EventFilter filter) {
    filters_.emplace(++lastFilter_, std::move(filter));
    return lastFilter_;
}

void DisplayServer::removeEventFilter(int token) {
    filters_.erase(token);
}

// ---- Events

void DisplayServer::readEvents() {
    Display* display = connection_->display();
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        queued_.push_back(event);
    }
}

void DisplayServer::processEventsSoon() {
    const auto alive = std::weak_ptr<int>(lifetime_);
    dispatch::DispatchQueue::main()->async([this, alive] {
        if (!alive.expired()) processEvents();
    });
}

void DisplayServer::processEvents() {
    readEvents();
    while (!queued_.empty()) {
        XEvent event = queued_.front();
        queued_.pop_front();
        // Only the last of a run of moves matters.
        if (event.type == MotionNotify && !queued_.empty() && queued_.front().type == MotionNotify &&
            queued_.front().xmotion.window == event.xmotion.window) {
            continue;
        }
        handle(event);
    }
    sync();
}

void DisplayServer::handle(XEvent& event) {
    const auto filters = filters_;  // a filter may remove itself
    for (const auto& [token, filter] : filters) {
        if (filter(event)) return;
    }
    if (clipboard_->handle(event)) return;
    if (tray_ && tray_->handle(event)) return;
    NativeWindow* native = nativeWindowFor(event.xany.window);
    if (native == nullptr) return;
    ui::Window& window = native->window();
    switch (event.type) {
        case ButtonPress:
        case ButtonRelease: handleButton(*native, event.xbutton); break;
        case MotionNotify: handleMotion(*native, event.xmotion); break;
        case KeyPress:
        case KeyRelease: handleKey(*native, event.xkey); break;
        case FocusIn:
            if (event.xfocus.detail != NotifyPointer && event.xfocus.detail != NotifyInferior && window.canBecomeKey() &&
                !window.isKeyWindow() && window.isVisible() && window.alphaValue() > 0) {
                window.makeKey();
            }
            break;
        case FocusOut: focusCheckDue_ = true; break;
        case Expose:
            if (event.xexpose.count == 0) renderer_.markDirty(window);
            break;
        case LeaveNotify:
            ui::Application::shared().sendEvent(ui::Event::mouseEvent(ui::EventType::mouseMoved, {}, nullptr));
            break;
        case ConfigureNotify:
            if (!event.xconfigure.override_redirect) {
                int x = 0;
                int y = 0;
                ::Window child = None;
                XTranslateCoordinates(connection_->display(), native->id(), connection_->root(), 0, 0, &x, &y, &child);
                native->placedAt(x, y, event.xconfigure.width, event.xconfigure.height);
            }
            break;
        case ClientMessage:
            if (static_cast<Atom>(event.xclient.data.l[0]) == connection_->atom("WM_DELETE_WINDOW")) {
                if (const auto shared = sharedWindow(*native)) shared->close();
            }
            break;
        default: break;
    }
}

void DisplayServer::handleButton(NativeWindow& native, const XButtonEvent& event) {
    const auto window = sharedWindow(native);
    if (!window) return;
    const ui::Point location{static_cast<double>(event.x), window->frame().height() - event.y};
    const std::uint64_t flags = modifierFlagsFromState(event.state);
    auto& application = ui::Application::shared();
    if (event.button == Button4 || event.button == Button5) {
        if (event.type == ButtonPress) {
            application.sendEvent(
                ui::Event::scrollWheelEvent(location, window, event.button == Button4 ? wheelStep : -wheelStep, flags));
        }
        renderer_.markDirty(*window);
        return;
    }
    if (event.button != Button1 && event.button != Button3) return;
    const bool press = event.type == ButtonPress;
    if (press) {
        const bool again = event.time - lastPressTime_ <= doubleClickMilliseconds &&
                           std::abs(event.x_root - lastPressX_) <= doubleClickDistance &&
                           std::abs(event.y_root - lastPressY_) <= doubleClickDistance;
        clickCount_ = again ? clickCount_ + 1 : 1;
        lastPressTime_ = event.time;
        lastPressX_ = event.x_root;
        lastPressY_ = event.y_root;
        // A click brings a window that can take the keys to the front of them, as on any desktop.
        if (event.button == Button1 && window->canBecomeKey() && !window->isKeyWindow()) window->makeKey();
    }
    ui::EventType type;
    if (event.button == Button1) {
        type = press ? ui::EventType::leftMouseDown : ui::EventType::leftMouseUp;
    } else {
        type = press ? ui::EventType::rightMouseDown : ui::EventType::rightMouseUp;
    }
    application.sendEvent(ui::Event::mouseEvent(type, location, window, flags, std::nullopt, clickCount_));
    renderer_.markDirty(*window);
}

void DisplayServer::handleMotion(NativeWindow& native, const XMotionEvent& event) {
    const auto window = sharedWindow(native);
    if (!window) return;
    const ui::Point location{static_cast<double>(event.x), window->frame().height() - event.y};
    const auto type = (event.state & Button1Mask) != 0 ? ui::EventType::leftMouseDragged : ui::EventType::mouseMoved;
    ui::Application::shared().sendEvent(ui::Event::mouseEvent(type, location, window, modifierFlagsFromState(event.state)));
    native.showCursor(window->cursorAt(location)->name());
    renderer_.markDirty(*window);
}

void DisplayServer::handleKey(NativeWindow& native, XKeyEvent& event) {
    const auto key = translateKey(event);
    if (!key) return;
    auto& application = ui::Application::shared();
    auto target = application.keyWindow();
    if (!target) target = sharedWindow(native);
    if (!target) return;
    const auto type = event.type == KeyPress ? ui::EventType::keyDown : ui::EventType::keyUp;
    application.sendEvent(ui::Event::keyEvent(type, target, key->characters, modifierFlagsFromState(event.state),
                                              key->charactersIgnoringModifiers, key->keyCode));
    renderer_.markDirty(*target);
}

void DisplayServer::handleFocusOut() {
    // Focus moving between our own windows is the layer's business; focus leaving for another
    // program (or nowhere) ends the key window's turn, as losing activation does.
    ::Window focus = None;
    int revert = 0;
    XGetInputFocus(connection_->display(), &focus, &revert);
    if (nativeWindowFor(focus) != nullptr) return;
    const auto key = ui::Application::shared().keyWindow();
    NativeWindow* const keyNative = key ? nativeWindow(*key) : nullptr;
    if (keyNative == nullptr) return;
    // Focus that went to nobody (the root, or the window manager's own window, where a window
    // manager puts it when one of our windows closes) was not taken by another program: it comes
    // back to the key window, which the window manager never gives it to.
    if (keyNative->isMapped() && isNobodysFocus(focus)) {
        keyNative->focus();
        return;
    }
    key->resignKey();
}

bool DisplayServer::isNobodysFocus(::Window focus) {
    if (focus == None || focus == PointerRoot || focus == connection_->root()) return true;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    ::Window manager = None;
    if (XGetWindowProperty(connection_->display(), connection_->root(), connection_->atom("_NET_SUPPORTING_WM_CHECK"), 0, 1,
                           False, XA_WINDOW, &type, &format, &count, &remaining, &data) == Success &&
        data != nullptr) {
        if (count > 0 && format == 32) manager = static_cast<::Window>(*reinterpret_cast<const unsigned long*>(data));
        XFree(data);
    }
    return manager != None && focus == manager;
}

void DisplayServer::giveFocusToKeyWindow() {
    // The X focus follows the key window, and comes back to it when its X window is mapped again
    // (a popup reopened, a sheet shown with it): an unmapped window lost the focus to its parent.
    const auto key = ui::Application::shared().keyWindow();
    NativeWindow* const keyNative = key ? nativeWindow(*key) : nullptr;
    const bool focusable = keyNative != nullptr && keyNative->isMapped();
    if (key != focused_.lock() || focusable != focusGiven_) {
        focused_ = key;
        focusGiven_ = focusable;
        if (focusable) keyNative->focus();
    }
}

// ---- Keeping X in line with the layer

void DisplayServer::sync() {
    auto& application = ui::Application::shared();
    if (focusCheckDue_) {
        focusCheckDue_ = false;
        handleFocusOut();
    }
    const auto visible = application.windows();
    for (const auto& window : visible) {
        if (windows_.contains(window.get())) continue;
        const bool status = isStatusWindow(*window);
        if (status && (!tray_ || !tray_->showsStatusWindows())) continue;
        if (const auto savePanel = std::dynamic_pointer_cast<ui::SavePanel>(window)) SavePanelPresenter::furnish(savePanel);
        auto native =
            std::make_unique<NativeWindow>(*connection_, *window, status && tray_ && tray_->kind() == Tray::Kind::xembed);
        if (status) tray_->adopt(*native);
        // A modal session's window is a dialog over the window it interrupted.
        if (window.get() == application.modalWindow()) {
            const auto parent = modalParent_.lock();
            if (NativeWindow* const parentNative = parent ? nativeWindow(*parent) : nullptr)
                native->setTransientFor(*parentNative);
        }
        windows_.emplace(window.get(), Entry{window, std::move(native)});
    }
    // A window that takes the keys back (a popup whose sheet closes) has them before the window
    // that had them goes: unmapping a focused window hands the focus to the window manager.
    giveFocusToKeyWindow();
    std::vector<std::pair<StackingRank, NativeWindow*>> order;
    bool mapDue = false;
    for (auto entry = windows_.begin(); entry != windows_.end();) {
        const auto window = entry->second.window.lock();
        const auto position = std::find(visible.begin(), visible.end(), window);
        if (!window || position == visible.end()) {
            if (window) renderer_.forget(*window);
            if (window && isStatusWindow(*window) && tray_) tray_->release(*entry->second.native);
            entry = windows_.erase(entry);
            continue;
        }
        NativeWindow& native = *entry->second.native;
        if (native.update()) renderer_.markDirty(*window);
        mapDue = mapDue || native.isMapDue();
        if (native.isMapped() && !native.isEmbedded()) order.push_back({stackingRank(*window, visible), &native});
        ++entry;
    }
    // A window waiting to be shown is drawn now: no later idle moment may come to show it (a
    // modal session's nested loop can wait for input on a window never mapped).
    if (std::exchange(drawingDue_, false) || mapDue) drawChangedWindows();
    std::sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<NativeWindow*> stacked;
    for (const auto& [rank, native] : order) stacked.push_back(native);
    restack(stacked);
    giveFocusToKeyWindow();
    if (tray_) tray_->sync();
    updateFrameTimer();
    XFlush(connection_->display());
    // A round trip above may have read input into Xlib's own queue, where the descriptor watch
    // never sees it: without this a click could wait for the next event from the server.
    if (XEventsQueued(connection_->display(), QueuedAlready) > 0) processEventsSoon();
}

void DisplayServer::drawChangedWindows() {
    bool mappedNow = false;
    for (auto& [pointer, entry] : windows_) {
        const auto window = entry.window.lock();
        const bool due = entry.native->isMapDue();
        if (window && (entry.native->isMapped() || due) && renderer_.needsRedraw(*window)) {
            entry.native->draw(renderer_);
            mappedNow = mappedNow || (due && entry.native->isMapped());
        }
    }
    // A window mapped with its first picture may show something that moves.
    if (mappedNow) updateFrameTimer();
    XFlush(connection_->display());
}

void DisplayServer::restack(const std::vector<NativeWindow*>& order) {
    std::vector<::Window> ids;
    for (const NativeWindow* native : order) ids.push_back(native->id());
    if (ids == stacking_) return;
    stacking_ = ids;
    // Bottom first, each raised above the one before.
    for (const ::Window id : ids) XRaiseWindow(connection_->display(), id);
}

// ---- Modal sessions

void DisplayServer::runModal(ui::Window& window) {
    auto& application = ui::Application::shared();
    const auto interrupted = application.keyWindow();
    const bool overWindow = interrupted && interrupted.get() != &window && nativeWindow(*interrupted) != nullptr;
    const auto outerParent = std::exchange(modalParent_, overWindow ? interrupted : nullptr);
    if (window.frame().origin == ui::Point{}) {
        // A window nobody placed opens over the window it interrupts (a save panel asking about
        // its folder), else in the middle of the screen, a little above centre.
        const ui::Rect frame = window.frame();
        if (overWindow) {
            const ui::Rect over = interrupted->frame();
            const double x = std::max(0.0, std::min(over.midX() - frame.width() / 2, connection_->width() - frame.width()));
            window.setFrameOrigin({std::round(x), std::round(over.maxY() - frame.height())});
        } else {
            window.setFrameOrigin({std::round((connection_->width() - frame.width()) / 2),
                                   std::round((connection_->height() - frame.height()) * 0.6)});
        }
    }
    window.makeKey();
    const auto ended = [&] { return application.isModalSessionStopped() || !window.isVisible() || application.isTerminated(); };
    const auto queue = Services::current().mainQueue();
    sync();
    while (!ended()) queue->runUntil(ended, std::chrono::seconds(1));
    modalParent_ = outerParent;
}

}  // namespace platform::display
