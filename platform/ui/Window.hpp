#pragma once

#include "platform/ui/Rect.hpp"
#include "platform/ui/Responder.hpp"

#include <memory>

namespace platform::ui {

class View;

// The root of a view tree: a frame on the screen (in screen coordinates, y upwards from the
// bottom of the main screen) and the content view that fills it. Windows have no decorations
// here, so the content area is the whole frame. Windows live in `std::shared_ptr`s.
class Window : public Responder {
public:
    explicit Window(Rect contentRect) : frame_(contentRect) {}
    ~Window() override;

    Rect frame() const { return frame_; }
    // Moves and sizes the window; the content view is sized with it.
    void setFrame(const Rect& frame);

    std::shared_ptr<View> contentView() const { return contentView_; }
    // Makes `view` the content view: it fills the window, its next responder is the window, and
    // it and its subviews hear `viewDidMoveToWindow`. The old content view leaves the window.
    void setContentView(std::shared_ptr<View> view);

private:
    Rect frame_;
    std::shared_ptr<View> contentView_;
};

}  // namespace platform::ui
