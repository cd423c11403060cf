#pragma once

#include "platform/ui/Rect.hpp"

#include <memory>
#include <string>

namespace platform::ui {

// A mouse cursor. Headless there is no pointer to draw; a cursor is its identity, which views
// ask for over rectangles of themselves (see `View::resetCursorRects`) and a renderer would show.
class Cursor {
public:
    // The same object on every call.
    static std::shared_ptr<Cursor> arrow();
    static std::shared_ptr<Cursor> pointingHand();

    const std::string& name() const { return name_; }

    explicit Cursor(std::string name) : name_(std::move(name)) {}

private:
    std::string name_;
};

// A rectangle of a view, in the view's own coordinates, over which the pointer shows `cursor`.
struct CursorRect {
    Rect rect;
    std::shared_ptr<Cursor> cursor;
};

}  // namespace platform::ui
