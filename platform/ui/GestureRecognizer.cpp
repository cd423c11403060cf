#include "platform/ui/GestureRecognizer.hpp"

#include "platform/ui/View.hpp"

namespace platform::ui {

bool GestureRecognizer::sendAction() {
    if (!enabled_) return false;
    const auto keepAlive = sharedAs(this);  // the action may take the recogniser off its view
    if (auto receiver = target()) return receiver->perform(action_, this);
    return view_ != nullptr && view_->tryToPerform(action_, this);
}

}  // namespace platform::ui
