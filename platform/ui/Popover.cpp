#include "platform/ui/Popover.hpp"

#include "platform/ui/View.hpp"
#include "platform/ui/ViewController.hpp"
#include "platform/ui/Window.hpp"

namespace platform::ui {

namespace {
// Where a popover of `size` goes beside `anchor` (screen coordinates) on `edge`.
Rect placed(const Rect& anchor, Size size, RectEdge edge) {
    switch (edge) {
        case RectEdge::minX: return {anchor.minX() - size.width, anchor.midY() - size.height / 2, size.width, size.height};
        case RectEdge::maxX: return {anchor.maxX(), anchor.midY() - size.height / 2, size.width, size.height};
        case RectEdge::maxY: return {anchor.midX() - size.width / 2, anchor.maxY(), size.width, size.height};
        case RectEdge::minY: break;
    }
    return {anchor.midX() - size.width / 2, anchor.minY() - size.height, size.width, size.height};
}

// The screen's sense of an edge given in a view's coordinates: a flipped view's minimum-y edge
// is its top.
RectEdge onScreen(RectEdge edge, const View& view) {
    if (!view.isFlipped()) return edge;
    if (edge == RectEdge::minY) return RectEdge::maxY;
    if (edge == RectEdge::maxY) return RectEdge::minY;
    return edge;
}
}  // namespace

Popover::Popover() : window_(std::make_shared<Window>(Rect{}, WindowStyleMask::borderless)) {
    window_->setLevel(WindowLevel::popUpMenu);
}

Popover::~Popover() {
    window_->orderOut();
}

void Popover::show(const Rect& positioningRect, View& positioningView, RectEdge preferredEdge) {
    Window* host = positioningView.window();
    if (!contentViewController_ || host == nullptr) return;
    const auto content = contentViewController_->view();
    const Size size = contentSize_.width > 0 && contentSize_.height > 0 ? contentSize_ : content->frame().size;
    const Rect anchor = host->convertToScreen(positioningView.convert(positioningRect, nullptr));
    window_->setFrame(placed(anchor, size, onScreen(preferredEdge, positioningView)));
    window_->setContentView(content);
    const bool appearing = !shown_;
    shown_ = true;
    const auto controller = contentViewController_;
    if (appearing) controller->viewWillAppear();
    window_->orderFront();
    if (appearing) controller->viewDidAppear();
}

void Popover::close() {
    if (!shown_) return;
    shown_ = false;
    window_->orderOut();
}

}  // namespace platform::ui
