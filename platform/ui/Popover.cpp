#include "platform/ui/Popover.hpp"

#include "platform/ui/PopoverBubbleView.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/ViewController.hpp"
#include "platform/ui/Window.hpp"

namespace platform::ui {

namespace {
// The screen's sense of an edge given in a view's coordinates: a flipped view's minimum-y edge
// is its top.
RectEdge onScreen(RectEdge edge, const View& view) {
    if (!view.isFlipped()) return edge;
    if (edge == RectEdge::minY) return RectEdge::maxY;
    if (edge == RectEdge::maxY) return RectEdge::minY;
    return edge;
}
}  // namespace

Popover::Popover()
    : window_(std::make_shared<Window>(Rect{}, WindowStyleMask::borderless)), bubble_(std::make_shared<PopoverBubbleView>()) {
    window_->setLevel(WindowLevel::popUpMenu);
    // Only the bubble and its arrow are drawn.
    window_->setOpaque(false);
    window_->setBackgroundColor(Color::clear());
    window_->setContentView(bubble_);
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
    const RectEdge edge = onScreen(preferredEdge, positioningView);
    const Rect frame = PopoverBubbleView::frameFor(anchor, size, edge);
    window_->setFrame(frame);
    const bool vertical = edge == RectEdge::minY || edge == RectEdge::maxY;
    bubble_->layOut(content, size, edge, vertical ? anchor.midX() - frame.minX() : anchor.midY() - frame.minY());
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
