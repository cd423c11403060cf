#include "platform/ui/WindowController.hpp"

#include "platform/ui/Window.hpp"

namespace platform::ui {

WindowController::WindowController(std::shared_ptr<Window> window) {
    setWindow(std::move(window));
}

WindowController::~WindowController() {
    setWindow(nullptr);
}

void WindowController::setWindow(std::shared_ptr<Window> window) {
    if (window_ && window_->windowController_ == this) window_->windowController_ = nullptr;
    window_ = std::move(window);
    if (window_) window_->windowController_ = this;
}

}  // namespace platform::ui
