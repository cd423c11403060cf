#include "platform/ui/Control.hpp"

#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/Window.hpp"

namespace platform::ui {

namespace {
constexpr double systemFontSize = 13;
}

Control::Control(Rect frame) : View(frame), font_(Font::system(systemFontSize)) {
    setTag(0);
}

bool Control::sendAction(const Selector& action, const std::shared_ptr<Responder>& target) {
    const auto keepAlive = sharedView();  // the action may take this control out of its tree
    return Application::shared().sendAction(action, target.get(), this);
}

void Control::performClick(Object*) {
    if (enabled_) respondToClick();
}

void Control::respondToClick() {
    sendAction(action_, target());
}

void Control::click() {
    const Point middle = convert(Point{bounds().midX(), bounds().midY()}, nullptr);
    Window* host = window();
    const auto shared = host ? host->sharedWindow() : nullptr;
    const auto press = Event::mouseEvent(EventType::leftMouseDown, middle, shared);
    const auto release = Event::mouseEvent(EventType::leftMouseUp, middle, shared);
    if (shared) {
        Application::shared().sendEvent(press);
        Application::shared().sendEvent(release);
        return;
    }
    const auto keepAlive = sharedView();
    mouseDown(press);
    mouseUp(release);
}

void Control::mouseDown(const Event&) {
    if (!enabled_) return;
    tracking_ = true;
    highlighted_ = true;
}

void Control::mouseUp(const Event& event) {
    if (!tracking_) return;
    tracking_ = false;
    highlighted_ = false;
    if (enabled_ && bounds().contains(convertFrom(event.locationInWindow(), nullptr))) respondToClick();
}

}  // namespace platform::ui
