#include "platform/ui/Window.hpp"

#include "platform/ui/View.hpp"

namespace platform::ui {

Window::~Window() {
    if (contentView_) contentView_->hostWindow_ = nullptr;
}

void Window::setFrame(const Rect& frame) {
    frame_ = frame;
    if (contentView_) contentView_->setFrame({Point{}, frame.size});
}

void Window::setContentView(std::shared_ptr<View> view) {
    if (view == contentView_) return;
    if (view) view->removeFromSuperview();
    const auto old = std::exchange(contentView_, view);
    if (old) {
        old->setNextResponder(nullptr);
        old->setHostWindow(nullptr);
    }
    if (!view) return;
    view->setFrame({Point{}, frame_.size});
    view->setNextResponder(sharedAs(this));
    view->setHostWindow(this);
}

}  // namespace platform::ui
