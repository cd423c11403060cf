#include "platform/ui/ViewController.hpp"

#include <stdexcept>

namespace platform::ui {

std::shared_ptr<View> ViewController::view() {
    if (view_) return view_;
    if (loading_) throw std::logic_error("ViewController::view: asked for the view while loading it");
    loading_ = true;
    try {
        loadView();
    } catch (...) {
        loading_ = false;
        throw;
    }
    loading_ = false;
    if (!view_) view_ = std::make_shared<View>();
    viewDidLoad();
    return view_;
}

void ViewController::loadView() {
    view_ = loader_ ? loader_(*this) : std::make_shared<View>();
}

}  // namespace platform::ui
