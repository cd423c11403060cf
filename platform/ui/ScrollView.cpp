#include "platform/ui/ScrollView.hpp"

#include "platform/ui/Event.hpp"

#include <algorithm>

namespace platform::ui {

void ScrollView::setDocumentView(std::shared_ptr<View> view) {
    if (documentView_ == view) return;
    if (documentView_) documentView_->removeFromSuperview();
    documentView_ = std::move(view);
    if (!documentView_) return;
    scrollOffset_ = 0;
    documentView_->setFrameOrigin(Point{});
    addSubview(documentView_);
}

void ScrollView::scrollTo(double offset) {
    if (!documentView_) return;
    const double furthest = std::max(0.0, documentView_->frame().height() - frame().height());
    scrollOffset_ = std::clamp(offset, 0.0, furthest);
    documentView_->setFrameOrigin({documentView_->frame().origin.x, -scrollOffset_});
    setNeedsDisplay(true);
}

void ScrollView::scrollWheel(const Event& event) {
    // A positive delta turns the wheel away from the person: the content comes down, back
    // towards its top.
    scrollTo(scrollOffset_ - event.scrollingDeltaY());
}

}  // namespace platform::ui
