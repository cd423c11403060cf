#include "platform/ui/Button.hpp"

#include <algorithm>
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

namespace {

constexpr double markSize = 16;
constexpr double markGap = 6;
constexpr double disabledAlpha = 0.4;

const Color& markBlue() {
    static const Color blue = Color::sRGB(0x1f / 255.0, 0x66 / 255.0, 0xfb / 255.0, 1);
    return blue;
}

// An ellipse in `rect` from four cubic quarters.
BezierPath oval(const Rect& rect) {
    constexpr double kappa = 0.5522847498;
    const double rx = rect.width() / 2;
    const double ry = rect.height() / 2;
    const double cx = rect.midX();
    const double cy = rect.midY();
    BezierPath path;
    path.moveTo({cx + rx, cy});
    path.curveTo({cx, cy + ry}, {cx + rx, cy + ry * kappa}, {cx + rx * kappa, cy + ry});
    path.curveTo({cx - rx, cy}, {cx - rx * kappa, cy + ry}, {cx - rx, cy + ry * kappa});
    path.curveTo({cx, cy - ry}, {cx - rx, cy - ry * kappa}, {cx - rx * kappa, cy - ry});
    path.curveTo({cx + rx, cy}, {cx + rx * kappa, cy - ry}, {cx + rx, cy - ry * kappa});
    path.closePath();
    return path;
}

BezierPath rectangle(const Rect& rect) {
    BezierPath path;
    path.moveTo(rect.origin);
    path.lineTo({rect.maxX(), rect.minY()});
    path.lineTo({rect.maxX(), rect.maxY()});
    path.lineTo({rect.minX(), rect.maxY()});
    path.closePath();
    return path;
}

}  // namespace

void Button::draw(GraphicsContext& context, const Rect&) {
    if (type_ != ButtonType::radio && type_ != ButtonType::switchButton) {
        if (!isEnabled()) context.beginTransparencyLayer(disabledAlpha);
        cell_->draw(context, bounds(), *this, isHighlighted());
        if (!isEnabled()) context.endTransparencyLayer();
        return;
    }
    // Radio buttons and check boxes: the mark at the left edge, the title after it.
    const Rect frame = bounds();
    const double size = std::min(markSize, frame.height());
    const Rect mark(frame.minX() + 0.5, frame.midY() - size / 2 + 0.5, size - 1, size - 1);
    const bool on = state_ == ControlStateValue::on;
    // A disabled mark is shown faded; its title keeps its own colour.
    if (!isEnabled()) context.beginTransparencyLayer(disabledAlpha);
    const BezierPath outline = type_ == ButtonType::radio ? oval(mark) : rectangle(mark);
    context.fill(outline, on ? markBlue() : Color::white());
    context.stroke(outline, on ? markBlue() : Color::systemGray());
    if (on && type_ == ButtonType::radio) {
        const double dot = size * 0.375;
        context.fill(oval(Rect(mark.midX() - dot / 2, mark.midY() - dot / 2, dot, dot)), Color::white());
    } else if (on) {
        BezierPath tick;
        tick.setLineWidth(2);
        // y counts downwards: the tick's foot is near the bottom.
        tick.moveTo({mark.minX() + mark.width() * 0.22, mark.midY()});
        tick.lineTo({mark.minX() + mark.width() * 0.42, mark.maxY() - mark.height() * 0.28});
        tick.lineTo({mark.minX() + mark.width() * 0.78, mark.maxY() - mark.height() * 0.74});
        context.stroke(tick, Color::white());
    }
    if (!isEnabled()) context.endTransparencyLayer();
    const AttributedString& title = cell_->attributedTitle();
    if (title.length() > 0) {
        const double x = mark.maxX() + markGap;
        cell_->drawTitle(context, title, Rect(x, frame.minY(), std::min(title.size().width, frame.maxX() - x), frame.height()),
                         *this);
    }
}

void Button::respondToClick() {
    switch (type_) {
        case ButtonType::pushOnPushOff:
        case ButtonType::toggle:
        case ButtonType::switchButton:
        case ButtonType::onOff: state_ = state_ == ControlStateValue::on ? ControlStateValue::off : ControlStateValue::on; break;
        case ButtonType::radio: state_ = ControlStateValue::on; break;
        case ButtonType::momentaryLight:
        case ButtonType::momentaryChange:
        case ButtonType::momentaryPushIn: break;
    }
    Control::respondToClick();
}

}  // namespace platform::ui
