#include "platform/ui/Responder.hpp"

namespace platform::ui {

void Responder::setActionHandler(const Selector& selector, ActionHandler handler) {
    actions_[selector] = std::move(handler);
}

bool Responder::respondsTo(const Selector& selector) const {
    return actions_.count(selector) != 0;
}

bool Responder::perform(const Selector& selector, Object* sender) {
    const auto found = actions_.find(selector);
    if (found == actions_.end()) return false;
    // A copy: the handler may replace its own entry while it runs.
    const ActionHandler handler = found->second;
    handler(sender);
    return true;
}

bool Responder::tryToPerform(const Selector& selector, Object* sender) {
    // Holding each link keeps it alive while its action runs, even if the action unhooks it.
    for (std::shared_ptr<Responder> responder = sharedAs(this); responder; responder = responder->nextResponder()) {
        if (responder->perform(selector, sender)) return true;
    }
    return false;
}

void Responder::passOn(void (Responder::*hook)(const Event&), const Event& event) {
    if (auto next = nextResponder()) (next.get()->*hook)(event);
}

void Responder::mouseDown(const Event& event) {
    passOn(&Responder::mouseDown, event);
}

void Responder::mouseUp(const Event& event) {
    passOn(&Responder::mouseUp, event);
}

void Responder::rightMouseDown(const Event& event) {
    passOn(&Responder::rightMouseDown, event);
}

void Responder::rightMouseUp(const Event& event) {
    passOn(&Responder::rightMouseUp, event);
}

void Responder::mouseMoved(const Event& event) {
    passOn(&Responder::mouseMoved, event);
}

void Responder::mouseDragged(const Event& event) {
    passOn(&Responder::mouseDragged, event);
}

void Responder::scrollWheel(const Event& event) {
    passOn(&Responder::scrollWheel, event);
}

void Responder::mouseEntered(const Event& event) {
    passOn(&Responder::mouseEntered, event);
}

void Responder::mouseExited(const Event& event) {
    passOn(&Responder::mouseExited, event);
}

void Responder::keyDown(const Event& event) {
    passOn(&Responder::keyDown, event);
}

void Responder::keyUp(const Event& event) {
    passOn(&Responder::keyUp, event);
}

bool Responder::performKeyEquivalent(const Event&) {
    return false;
}

void Responder::cancelOperation(Object* sender) {
    if (auto next = nextResponder()) next->cancelOperation(sender);
}

}  // namespace platform::ui
