#pragma once

#include "platform/ui/Point.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform::ui {

class Window;

// Event types with AppKit's raw values; only those the application meets.
enum class EventType : int {
    leftMouseDown = 1,
    leftMouseUp = 2,
    rightMouseDown = 3,
    rightMouseUp = 4,
    mouseMoved = 5,
    leftMouseDragged = 6,
    mouseEntered = 8,
    mouseExited = 9,
    keyDown = 10,
    keyUp = 11,
    scrollWheel = 22,
};

std::optional<EventType> eventTypeFromRaw(int raw);
std::string_view description(EventType type);

// Event masks: one bit per event type, at the type's raw value (left mouse-down 1 → mask 2).
namespace EventMask {
constexpr std::uint64_t of(EventType type) {
    return std::uint64_t{1} << static_cast<int>(type);
}
inline constexpr std::uint64_t leftMouseDown = of(EventType::leftMouseDown);
inline constexpr std::uint64_t leftMouseUp = of(EventType::leftMouseUp);
inline constexpr std::uint64_t rightMouseDown = of(EventType::rightMouseDown);
inline constexpr std::uint64_t rightMouseUp = of(EventType::rightMouseUp);
inline constexpr std::uint64_t mouseMoved = of(EventType::mouseMoved);
inline constexpr std::uint64_t leftMouseDragged = of(EventType::leftMouseDragged);
inline constexpr std::uint64_t scrollWheel = of(EventType::scrollWheel);
inline constexpr std::uint64_t keyDown = of(EventType::keyDown);
inline constexpr std::uint64_t keyUp = of(EventType::keyUp);
inline constexpr std::uint64_t any = ~std::uint64_t{0};
}  // namespace EventMask

// Modifier-key flags with AppKit's raw values.
namespace ModifierFlags {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t numericPad = 0x200000;
inline constexpr std::uint64_t help = 0x400000;
inline constexpr std::uint64_t function = 0x800000;
// The flags that mean the same on every keyboard; the low 16 bits are device-dependent.
inline constexpr std::uint64_t deviceIndependentFlagsMask = 0xffff0000;
}  // namespace ModifierFlags

// One input event: a value that can be kept after its dispatch. The window is held weakly.
// Every event made here gets the next event number of the process and a timestamp in seconds
// from the installed clock, unless the maker gives its own.
class Event {
public:
    // A mouse event at `locationInWindow` (window coordinates; screen coordinates when there is
    // no window).
    static Event mouseEvent(EventType type, Point locationInWindow, const std::shared_ptr<Window>& window,
                            std::uint64_t modifierFlags = 0, std::optional<std::int64_t> eventNumber = std::nullopt,
                            std::int64_t clickCount = 1);
    // A key event. `charactersIgnoringModifiers` is `characters` unless given; as in AppKit it
    // still carries Shift ("Z" for Command-Shift-Z).
    static Event keyEvent(EventType type, const std::shared_ptr<Window>& window, std::string characters,
                          std::uint64_t modifierFlags = 0, std::optional<std::string> charactersIgnoringModifiers = std::nullopt,
                          std::uint16_t keyCode = 0);
    // A turn of the wheel at `locationInWindow`: `deltaY` points of content, positive when the
    // wheel turns away from the person (the content moves down, as AppKit counts it).
    static Event scrollWheelEvent(Point locationInWindow, const std::shared_ptr<Window>& window, double deltaY,
                                  std::uint64_t modifierFlags = 0);

    EventType type() const { return type_; }
    Point locationInWindow() const { return location_; }
    std::shared_ptr<Window> window() const { return window_.lock(); }
    std::uint64_t modifierFlags() const { return modifierFlags_; }
    // Seconds on the installed clock's monotonic time line.
    double timestamp() const { return timestamp_; }
    std::int64_t eventNumber() const { return eventNumber_; }
    std::int64_t clickCount() const { return clickCount_; }
    const std::string& characters() const { return characters_; }
    const std::string& charactersIgnoringModifiers() const { return charactersIgnoringModifiers_; }
    // The virtual key code of a key event (AppKit's numbering: Return 36, Escape 53, A 0, …).
    std::uint16_t keyCode() const { return keyCode_; }
    double scrollingDeltaY() const { return scrollingDeltaY_; }

    bool isKeyEvent() const { return type_ == EventType::keyDown || type_ == EventType::keyUp; }

private:
    Event(EventType type, const std::shared_ptr<Window>& window, std::uint64_t modifierFlags,
          std::optional<std::int64_t> eventNumber);

    EventType type_;
    Point location_;
    std::weak_ptr<Window> window_;
    std::uint64_t modifierFlags_;
    double timestamp_;
    std::int64_t eventNumber_;
    std::int64_t clickCount_ = 0;
    std::string characters_;
    std::string charactersIgnoringModifiers_;
    std::uint16_t keyCode_ = 0;
    double scrollingDeltaY_ = 0;
};

}  // namespace platform::ui
