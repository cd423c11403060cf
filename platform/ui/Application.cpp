#include "platform/ui/Application.hpp"

#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/ui/Window.hpp"
#include "platform/ui/WindowDelegate.hpp"

#include <algorithm>
#include <utility>

namespace platform::ui {

namespace {
// Sets the current event for the length of a dispatch; nested dispatches put the outer one back.
class CurrentEventScope {
public:
    CurrentEventScope(std::optional<Event>& slot, const Event& event) : slot_(slot), previous_(std::exchange(slot, event)) {}
    ~CurrentEventScope() { slot_ = std::move(previous_); }
    CurrentEventScope(const CurrentEventScope&) = delete;
    CurrentEventScope& operator=(const CurrentEventScope&) = delete;

private:
    std::optional<Event>& slot_;
    std::optional<Event> previous_;
};

void eraseWindow(std::vector<std::weak_ptr<Window>>& list, const Window& window) {
    std::erase_if(list, [&](const auto& weak) {
        const auto held = weak.lock();
        return !held || held.get() == &window;
    });
}
}  // namespace

Application& Application::shared() {
    // Never destroyed: windows released during exit still reach it.
    static auto* application = new Application();
    return *application;
}

// ---- Life cycle

void Application::finishLaunching() {
    if (const auto listener = delegate_) listener->applicationDidFinishLaunching();
}

void Application::terminate() {
    if (const auto listener = delegate_) listener->applicationWillTerminate();
    terminated_ = true;
    Services::current().mainQueue()->stop();
}

int applicationMain() {
    const auto queue = Services::current().mainQueue();
    queue->async([] { Application::shared().finishLaunching(); });
    queue->run();
    return 0;
}

// ---- Events

EventMonitor Application::addLocalMonitorForEvents(std::uint64_t mask, EventHandler handler) {
    const EventMonitor handle{++lastMonitorId_};
    monitors_.push_back({handle, mask, std::move(handler)});
    return handle;
}

void Application::removeMonitor(const EventMonitor& monitor) {
    std::erase_if(monitors_, [&](const Monitor& registered) { return registered.handle == monitor; });
}

bool Application::isMonitorRegistered(const EventMonitor& monitor) const {
    return std::any_of(monitors_.begin(), monitors_.end(),
                       [&](const Monitor& registered) { return registered.handle == monitor; });
}

void Application::sendEvent(const Event& event) {
    CurrentEventScope scope(currentEvent_, event);
    Event current = event;
    // A copy: a handler may add or remove monitors.
    const auto monitors = monitors_;
    for (const Monitor& monitor : monitors) {
        if ((monitor.mask & EventMask::of(current.type())) == 0 || !isMonitorRegistered(monitor.handle)) continue;
        auto passed = monitor.handler(current);
        if (!passed) return;
        current = std::move(*passed);
        currentEvent_ = current;
    }
    dispatch(current);
}

void Application::dispatch(const Event& event) {
    switch (event.type()) {
        case EventType::mouseMoved: movePointer(event); return;
        case EventType::keyDown:
        case EventType::keyUp: {
            auto window = event.window();
            if (!window) window = keyWindow();
            // A transparent window, such as a closed popup that kept key status, takes no keys.
            if (!window || window->visibleAlphaValue() <= 0) return;
            if (event.type() == EventType::keyDown && window->performKeyEquivalent(event)) return;
            window->sendEvent(event);
            return;
        }
        case EventType::mouseEntered:
        case EventType::mouseExited: return;  // made by windows themselves, never dispatched
        default:
            if (const auto window = event.window(); window && takesInputDuringModalSession(*window)) window->sendEvent(event);
            return;
    }
}

bool Application::takesInputDuringModalSession(const Window& window) const {
    // While a modal window waits for its answer, the other windows take no clicks.
    if (modalWindow_ == nullptr) return true;
    for (const Window* shown = &window; shown != nullptr; shown = shown->sheetParent()) {
        if (shown == modalWindow_) return true;
    }
    return false;
}

void Application::movePointer(const Event& event) {
    auto window = event.window();
    // Under a sheet nothing tracks the pointer either: the sheet must be answered first.
    if (window && (!window->isVisible() || window->visibleAlphaValue() <= 0 || window->attachedSheet() ||
                   !takesInputDuringModalSession(*window))) {
        window.reset();
    }
    if (const auto previous = pointerWindow_.lock(); previous && previous != window) previous->pointerMoved(std::nullopt);
    pointerWindow_ = window;
    if (window) window->pointerMoved(event.locationInWindow());
}

// ---- Actions

bool Application::sendAction(const Selector& action, Responder* target, Object* sender) {
    if (action.empty()) return false;
    if (target != nullptr) return target->perform(action, sender);
    const auto window = keyWindow();
    if (!window) return false;
    if (window->firstResponder()->tryToPerform(action, sender)) return true;
    if (auto* responder = dynamic_cast<Responder*>(window->delegate().get()); responder && responder->perform(action, sender)) {
        return true;
    }
    auto* responder = dynamic_cast<Responder*>(delegate_.get());
    return responder != nullptr && responder->perform(action, sender);
}

// ---- Windows

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::shared_ptr<Window>> visible;
    for (const auto& weak : windows_) {
        if (auto window = weak.lock()) visible.push_back(std::move(window));
    }
    return visible;
}

void Application::windowDidOrderFront(Window& window) {
    eraseWindow(windows_, window);
    windows_.push_back(window.sharedWindow());
}

void Application::windowDidOrderOut(Window& window) {
    eraseWindow(windows_, window);
}

void Application::makeKeyWindow(Window& window) {
    const auto previous = keyWindow();
    if (previous.get() == &window) return;
    keyWindow_ = window.sharedWindow();
    if (previous) previous->didResignKey();
    window.didBecomeKey();
}

void Application::resignKeyWindow(Window& window) {
    if (keyWindow().get() != &window) return;
    keyWindow_.reset();
    window.didResignKey();
}

// ---- Activation

void Application::activate() {
    if (active_) return;
    active_ = true;
    for (const auto& weak : std::exchange(hiddenByDeactivation_, {})) {
        if (auto window = weak.lock()) window->orderFront();
    }
}

void Application::deactivate() {
    if (!active_) return;
    active_ = false;
    if (const auto key = keyWindow()) key->resignKey();
    for (const auto& window : windows()) {
        if (!window->hidesOnDeactivate()) continue;
        window->orderOut();
        hiddenByDeactivation_.push_back(window);
    }
}

// ---- Modal sessions

ModalResponse Application::runModal(Window& window) {
    const auto keepAlive = window.sharedWindow();
    const auto interrupted = keyWindow();
    Window* const outerWindow = std::exchange(modalWindow_, &window);
    auto outerResponse = std::exchange(modalResponse_, std::nullopt);
    window.orderFront();
    if (modalHandler_) {
        const auto handler = modalHandler_;  // the handler may install another
        handler(window);
    }
    window.orderOut();
    // The window the session interrupted (a save panel asking about its folder) takes the keys back.
    if (interrupted && interrupted.get() != &window && interrupted->isVisible()) interrupted->makeKey();
    const ModalResponse response = modalResponse_.value_or(ModalResponse::abort);
    modalWindow_ = outerWindow;
    modalResponse_ = std::move(outerResponse);
    return response;
}

void Application::stopModal(ModalResponse response) {
    if (modalWindow_ != nullptr) modalResponse_ = response;
}

void Application::reset() {
    delegate_.reset();
    terminated_ = false;
    currentEvent_.reset();
    monitors_.clear();
    keyWindow_.reset();
    windows_.clear();
    hiddenByDeactivation_.clear();
    pointerWindow_.reset();
    active_ = false;
    modalHandler_ = nullptr;
    modalWindow_ = nullptr;
    modalResponse_.reset();
}

}  // namespace platform::ui
