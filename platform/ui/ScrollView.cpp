#include "platform/ui/ScrollView.hpp"

namespace platform::ui {

void ScrollView::setDocumentView(std::shared_ptr<View> view) {
    if (documentView_ == view) return;
    if (documentView_) documentView_->removeFromSuperview();
    documentView_ = std::move(view);
    if (!documentView_) return;
    documentView_->setFrameOrigin(Point{});
    addSubview(documentView_);
}

}  // namespace platform::ui
