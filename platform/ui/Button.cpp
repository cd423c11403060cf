#include "platform/ui/Button.hpp"

#include <stdexcept>

namespace platform::ui {

std::optional<ControlStateValue> controlStateValueFromRaw(int raw) {
    if (raw < -1 || raw > 1) return std::nullopt;
    return static_cast<ControlStateValue>(raw);
}

Button::Button(Rect frame) : Control(frame), cell_(std::make_shared<ButtonCell>()) {}

void Button::setCell(std::shared_ptr<ButtonCell> cell) {
    if (!cell) throw std::invalid_argument("Button::setCell: no cell given");
    cell_ = std::move(cell);
}

void Button::setTitle(std::string_view title) {
    TextAttributes attributes;
    attributes.font = font();
    cell_->setAttributedTitle(AttributedString(std::string(title), attributes));
}

void Button::draw(GraphicsContext& context, const Rect&) {
    cell_->draw(context, bounds(), *this, isHighlighted());
}

void Button::respondToClick() {
    switch (type_) {
        case ButtonType::pushOnPushOff:
        case ButtonType::toggle:
        case ButtonType::switchButton:
        case ButtonType::onOff:
            state_ = state_ == ControlStateValue::on ? ControlStateValue::off : ControlStateValue::on;
            break;
        case ButtonType::radio: state_ = ControlStateValue::on; break;
        case ButtonType::momentaryLight:
        case ButtonType::momentaryChange:
        case ButtonType::momentaryPushIn: break;
    }
    Control::respondToClick();
}

}  // namespace platform::ui
