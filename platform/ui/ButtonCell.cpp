#include "platform/ui/ButtonCell.hpp"

namespace platform::ui {

void ButtonCell::draw(GraphicsContext& context, const Rect& frame, View& controlView, bool highlighted) {
    if (backgroundColor_) context.fill(frame, *backgroundColor_, CompositingOperation::sourceOver);
    const auto shown = highlighted && alternateImage_ ? alternateImage_ : image_;
    if (shown) context.draw(shown, frame);
    if (title_.length() > 0) drawTitle(context, title_, frame, controlView);
}

Rect ButtonCell::drawTitle(GraphicsContext& context, const AttributedString& title, const Rect& frame, View&) {
    const Size size = title.size();
    const auto style = title.length() > 0 ? title.attributes(0).paragraphStyle : std::nullopt;
    const TextAlignment alignment = style ? style->alignment : TextAlignment::center;
    double x = frame.midX() - size.width / 2;
    if (alignment == TextAlignment::left) x = frame.minX();
    if (alignment == TextAlignment::right) x = frame.maxX() - size.width;
    const Rect drawn(x, frame.midY() - size.height / 2, size.width, size.height);
    context.draw(title, drawn);
    return drawn;
}

}  // namespace platform::ui
