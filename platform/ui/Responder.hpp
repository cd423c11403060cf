#pragma once

#include "platform/ui/Object.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace platform::ui {

class Event;

// An action's name as AppKit spells it, colon included: "btnLoginClick:", "cut:".
using Selector = std::string;

// A link of the responder chain. Events a responder does not handle go on to its next responder;
// actions are found by selector along the chain.
class Responder : public Object {
public:
    using ActionHandler = std::function<void(Object* sender)>;

    // The next link, held weakly; views fall back on their superview, which owns them.
    virtual std::shared_ptr<Responder> nextResponder() const { return nextResponder_.lock(); }
    void setNextResponder(const std::shared_ptr<Responder>& next) { nextResponder_ = next; }

    // Makes `selector` an action this responder performs with `handler`.
    void setActionHandler(const Selector& selector, ActionHandler handler);
    bool respondsTo(const Selector& selector) const;
    // Performs `selector` on this responder alone; false when it has no such action.
    bool perform(const Selector& selector, Object* sender);
    // Performs `selector` on the first responder of the chain, starting here, that has the
    // action; false when none has.
    bool tryToPerform(const Selector& selector, Object* sender);

    // Events; by default each goes on to the next responder.
    virtual void mouseDown(const Event& event);
    virtual void mouseUp(const Event& event);
    virtual void rightMouseDown(const Event& event);
    virtual void rightMouseUp(const Event& event);
    virtual void mouseMoved(const Event& event);
    virtual void mouseDragged(const Event& event);
    virtual void scrollWheel(const Event& event);
    virtual void mouseEntered(const Event& event);
    virtual void mouseExited(const Event& event);
    virtual void keyDown(const Event& event);
    virtual void keyUp(const Event& event);

    // A key equivalent offered to this responder; true when it was handled. Nothing by default.
    virtual bool performKeyEquivalent(const Event& event);
    // Escape and its kin; goes on to the next responder by default.
    virtual void cancelOperation(Object* sender);

    virtual bool acceptsFirstResponder() const { return false; }
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

private:
    void passOn(void (Responder::*hook)(const Event&), const Event& event);

    std::weak_ptr<Responder> nextResponder_;
    std::map<Selector, ActionHandler> actions_;
};

}  // namespace platform::ui
