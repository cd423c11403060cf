#pragma once

#include "platform/ui/ApplicationDelegate.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/ModalResponse.hpp"
#include "platform/ui/Responder.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace platform::ui {

class Window;

// The handle of a local event monitor, for removing it again.
struct EventMonitor {
    std::uint64_t id = 0;
    friend bool operator==(const EventMonitor&, const EventMonitor&) = default;
};

// The running application: its delegate, its windows and key window, and the dispatch of
// events and actions. The run loop is the installed main queue. Main thread only.
//
// An event goes first through the local monitors whose mask takes its type, in the order they
// were added; each gets what the one before returned, and one that returns nothing swallows the
// event. Then a mouse event goes to its window; a key-down is offered as a key equivalent to
// its window (the key window when it names none) and otherwise goes to that window's first
// responder; moving the pointer updates the tracking areas of the window under it. A window at
// alpha 0 takes no input at all, and while a modal window runs, no other window takes clicks.
class Application {
public:
    using EventHandler = std::function<std::optional<Event>(const Event&)>;
    // Stands for the person in front of a modal window: it acts on the window (clicks a button,
    // say), and what it does decides the session's response.
    using ModalHandler = std::function<void(Window& window)>;

    static Application& shared();

    // ---- Life cycle
    // The delegate is kept for the whole run.
    std::shared_ptr<ApplicationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
    // Tells the delegate that launching has finished.
    void finishLaunching();
    // Tells the delegate that the application will end and stops the run loop. Afterwards
    // `isTerminated` is true.
    void terminate();
    bool isTerminated() const { return terminated_; }

    // ---- Events
    // The event being dispatched now, monitors included; none outside a dispatch.
    std::optional<Event> currentEvent() const { return currentEvent_; }
    EventMonitor addLocalMonitorForEvents(std::uint64_t mask, EventHandler handler);
    // Removing a monitor during a dispatch keeps it from seeing the rest of that dispatch.
    void removeMonitor(const EventMonitor& monitor);
    void sendEvent(const Event& event);

    // ---- Actions
    // Sends `action` to `target`, or, with no target, to the first responder along the
    // responder chain of the key window, then to that window's delegate and to the application's
    // delegate when they are responders. True when someone performed it.
    bool sendAction(const Selector& action, Responder* target, Object* sender);

    // ---- Windows
    std::shared_ptr<Window> keyWindow() const { return keyWindow_.lock(); }
    // The visible windows, in the order they were last ordered front.
    std::vector<std::shared_ptr<Window>> windows() const;

    // ---- Activation
    bool isActive() const { return active_; }
    // Makes the application active; windows hidden by `deactivate` come back.
    void activate();
    // Makes it inactive: the key window resigns, and windows that hide on deactivation are ordered out.
    void deactivate();

    // ---- Modal sessions
    void setModalHandler(ModalHandler handler) { modalHandler_ = std::move(handler); }
    // Shows `window` modally and hands it to the modal handler. The response is what
    // `stopModal` was given during the session, or abort when it was not called (as when no
    // handler is installed). The key window from before the session is key again after it.
    ModalResponse runModal(Window& window);
    // Ends the running modal session with `response`; nothing outside a session.
    void stopModal(ModalResponse response);
    // The window of the running modal session, if any.
    Window* modalWindow() const { return modalWindow_; }
    // Whether the running modal session has been given its response; a handler that waits for
    // the person (a display's) waits for this.
    bool isModalSessionStopped() const { return modalResponse_.has_value(); }

    // Back to the state of a new process (used between tests).
    void reset();

private:
    friend class Window;

    struct Monitor {
        EventMonitor handle;
        std::uint64_t mask;
        EventHandler handler;
    };

    Application() = default;
    bool isMonitorRegistered(const EventMonitor& monitor) const;
    bool takesInputDuringModalSession(const Window& window) const;
    void dispatch(const Event& event);
    void movePointer(const Event& event);
    void makeKeyWindow(Window& window);
    void resignKeyWindow(Window& window);
    void windowDidOrderFront(Window& window);
    void windowDidOrderOut(Window& window);

    std::shared_ptr<ApplicationDelegate> delegate_;
    bool terminated_ = false;
    std::optional<Event> currentEvent_;
    std::vector<Monitor> monitors_;
    std::uint64_t lastMonitorId_ = 0;
    std::weak_ptr<Window> keyWindow_;
    std::vector<std::weak_ptr<Window>> windows_;
    std::vector<std::weak_ptr<Window>> hiddenByDeactivation_;
    std::weak_ptr<Window> pointerWindow_;
    bool active_ = false;
    ModalHandler modalHandler_;
    Window* modalWindow_ = nullptr;  // set for the length of `runModal`, which holds the window
    std::optional<ModalResponse> modalResponse_;
};

// Runs the application: tells the delegate that launching has finished, then runs the main
// queue until `Application::terminate`. Returns 0.
int applicationMain();

}  // namespace platform::ui
