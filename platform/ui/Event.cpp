#include "platform/ui/Event.hpp"

#include "platform/Services.hpp"

#include <atomic>
#include <chrono>

namespace platform::ui {

std::optional<EventType> eventTypeFromRaw(int raw) {
    switch (raw) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 6:
        case 8:
        case 9:
        case 10:
        case 11:
        case 22: return static_cast<EventType>(raw);
        default: return std::nullopt;
    }
}

std::string_view description(EventType type) {
    switch (type) {
        case EventType::leftMouseDown: return "leftMouseDown";
        case EventType::leftMouseUp: return "leftMouseUp";
        case EventType::rightMouseDown: return "rightMouseDown";
        case EventType::rightMouseUp: return "rightMouseUp";
        case EventType::mouseMoved: return "mouseMoved";
        case EventType::leftMouseDragged: return "leftMouseDragged";
        case EventType::scrollWheel: return "scrollWheel";
        case EventType::mouseEntered: return "mouseEntered";
        case EventType::mouseExited: return "mouseExited";
        case EventType::keyDown: return "keyDown";
        case EventType::keyUp: return "keyUp";
    }
    return "unknown";
}

namespace {
std::int64_t nextEventNumber() {
    static std::atomic<std::int64_t> counter{0};
    return ++counter;
}

double secondsNow() {
    const auto sinceEpoch = Services::current().clock()->now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count();
}
}  // namespace

Event::Event(EventType type, const std::shared_ptr<Window>& window, std::uint64_t modifierFlags,
             std::optional<std::int64_t> eventNumber)
    : type_(type),
      window_(window),
      modifierFlags_(modifierFlags),
      timestamp_(secondsNow()),
      eventNumber_(eventNumber ? *eventNumber : nextEventNumber()) {}

Event Event::mouseEvent(EventType type, Point locationInWindow, const std::shared_ptr<Window>& window,
                        std::uint64_t modifierFlags, std::optional<std::int64_t> eventNumber, std::int64_t clickCount) {
    Event event(type, window, modifierFlags, eventNumber);
    event.location_ = locationInWindow;
    event.clickCount_ = clickCount;
    return event;
}

Event Event::keyEvent(EventType type, const std::shared_ptr<Window>& window, std::string characters, std::uint64_t modifierFlags,
                      std::optional<std::string> charactersIgnoringModifiers, std::uint16_t keyCode) {
    Event event(type, window, modifierFlags, std::nullopt);
    event.keyCode_ = keyCode;
    event.charactersIgnoringModifiers_ = charactersIgnoringModifiers ? std::move(*charactersIgnoringModifiers) : characters;
    event.characters_ = std::move(characters);
    return event;
}

Event Event::scrollWheelEvent(Point locationInWindow, const std::shared_ptr<Window>& window, double deltaY,
                              std::uint64_t modifierFlags) {
    Event event(EventType::scrollWheel, window, modifierFlags, std::nullopt);
    event.location_ = locationInWindow;
    event.scrollingDeltaY_ = deltaY;
    return event;
}

}  // namespace platform::ui
