#pragma once

#include "platform/ui/Object.hpp"
#include "platform/ui/Responder.hpp"

#include <memory>

namespace platform::ui {

class Event;
class View;

// Turns input on a view into an action sent to a target, with the recogniser as the sender.
// Kinds of recogniser decide when to send; this base keeps the wiring.
class GestureRecognizer : public Object {
public:
    // `target` is held weakly, as AppKit does.
    GestureRecognizer(const std::shared_ptr<Responder>& target, Selector action) : target_(target), action_(std::move(action)) {}

    std::shared_ptr<Responder> target() const { return target_.lock(); }
    const Selector& action() const { return action_; }
    // The view the recogniser is attached to; none until it is added to one.
    View* view() const { return view_; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled) { enabled_ = enabled; }

    // Sends the action: to the target when there is one, else along the responder chain from
    // the view. False when nobody performed it.
    bool sendAction();

    // Mouse events on the view or inside it, offered before the view gets them (see `Window`).
    // Kinds of recogniser watch those they need; nothing by default.
    virtual void mouseDown(const Event&) {}
    virtual void mouseUp(const Event&) {}
    virtual void rightMouseDown(const Event&) {}
    virtual void rightMouseUp(const Event&) {}

private:
    friend class View;

    std::weak_ptr<Responder> target_;
    Selector action_;
    View* view_ = nullptr;  // set while the view holds the recogniser
    bool enabled_ = true;
};

}  // namespace platform::ui
