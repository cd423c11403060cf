#pragma once

#include "platform/ui/Rect.hpp"
#include "platform/ui/Responder.hpp"

#include <memory>

namespace platform::ui {

// A region of a view whose owner hears the pointer come and go.
class TrackingArea {
public:
    // Option flags with AppKit's raw values.
    static constexpr unsigned mouseEnteredAndExited = 0x01;
    static constexpr unsigned mouseMoved = 0x02;
    static constexpr unsigned cursorUpdate = 0x04;
    static constexpr unsigned activeWhenFirstResponder = 0x10;
    static constexpr unsigned activeInKeyWindow = 0x20;
    static constexpr unsigned activeInActiveApp = 0x40;
    static constexpr unsigned activeAlways = 0x80;
    static constexpr unsigned assumeInside = 0x100;
    static constexpr unsigned inVisibleRect = 0x200;
    static constexpr unsigned enabledDuringMouseDrag = 0x400;

    // `owner` is held weakly: it is usually the view the area is added to.
    TrackingArea(Rect rect, unsigned options, const std::shared_ptr<Responder>& owner)
        : rect_(rect), options_(options), owner_(owner) {}

    Rect rect() const { return rect_; }
    unsigned options() const { return options_; }
    std::shared_ptr<Responder> owner() const { return owner_.lock(); }

private:
    Rect rect_;
    unsigned options_;
    std::weak_ptr<Responder> owner_;
};

}  // namespace platform::ui
