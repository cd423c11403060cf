#include "platform/ui/Box.hpp"

namespace platform::ui {

void Box::setFillColor(std::optional<Color> color) {
    fillColor_ = std::move(color);
    setNeedsDisplay(true);
}

void Box::draw(GraphicsContext& context, const Rect&) {
    if (fillColor_) context.fill(bounds(), *fillColor_, CompositingOperation::sourceOver);
}

}  // namespace platform::ui
