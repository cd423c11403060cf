#include "platform/ui/Button.hpp"

#include "platform/ui/Event.hpp"
#include "platform/ui/Window.hpp"

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
    static const Color blue = Color::controlAccent();
    return blue;
}

constexpr double focusRingWidth = 3;

// A rectangle with corners rounded by `radius`, from cubic quarters.
BezierPath roundedRectangle(const Rect& rect, double radius) {
    constexpr double kappa = 0.5522847498;
    radius = std::max(0.0, std::min({radius, rect.width() / 2, rect.height() / 2}));
    const double k = radius * kappa;
    BezierPath path;
    path.moveTo({rect.minX() + radius, rect.minY()});
    path.lineTo({rect.maxX() - radius, rect.minY()});
    path.curveTo({rect.maxX(), rect.minY() + radius}, {rect.maxX() - radius + k, rect.minY()},
                 {rect.maxX(), rect.minY() + radius - k});
    path.lineTo({rect.maxX(), rect.maxY() - radius});
    path.curveTo({rect.maxX() - radius, rect.maxY()}, {rect.maxX(), rect.maxY() - radius + k},
                 {rect.maxX() - radius + k, rect.maxY()});
    path.lineTo({rect.minX() + radius, rect.maxY()});
    path.curveTo({rect.minX(), rect.maxY() - radius}, {rect.minX() + radius - k, rect.maxY()},
                 {rect.minX(), rect.maxY() - radius + k});
    path.lineTo({rect.minX(), rect.minY() + radius});
    path.curveTo({rect.minX() + radius, rect.minY()}, {rect.minX(), rect.minY() + radius - k},
                 {rect.minX() + radius - k, rect.minY()});
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

bool Button::hasKeyboardFocus() {
    Window* host = window();
    return host != nullptr && host->isKeyWindow() && host->firstResponder().get() == this;
}

void Button::drawPushButton(GraphicsContext& context) {
    const Rect frame = bounds();
    const double radius = layer() ? layer()->cornerRadius : 0;
    if (isDefaultButton()) {
        context.fill(roundedRectangle(frame, radius), markBlue());
        AttributedString title = cell_->attributedTitle();
        if (title.length() > 0) {
            title.addAttributes({std::nullopt, Color::white(), std::nullopt, std::nullopt}, {0, title.length()});
            cell_->drawTitle(context, title, frame, *this);
        }
    } else {
        cell_->draw(context, frame, *this, isHighlighted());
    }
    if (!hasKeyboardFocus()) return;
    // Inside the bounds, which clip the drawing: along the edge in the focus colour, or, on the
    // accent fill of a default button, as a white line a little further in.
    const double width = isDefaultButton() ? 1.5 : focusRingWidth;
    const double inset = isDefaultButton() ? focusRingWidth + width / 2 : width / 2;
    BezierPath ring =
        roundedRectangle({frame.minX() + inset, frame.minY() + inset, frame.width() - 2 * inset, frame.height() - 2 * inset},
                         std::max(0.0, radius - inset));
    ring.setLineWidth(width);
    context.stroke(ring, isDefaultButton() ? Color::white() : Color::keyboardFocusIndicator());
}

bool Button::performKeyEquivalent(const Event& event) {
    const auto modifiers = event.modifierFlags() & (ModifierFlags::command | ModifierFlags::control);
    if (keyEquivalent_.empty() || event.type() != EventType::keyDown || modifiers != 0 || event.characters() != keyEquivalent_ ||
        !isEnabled() || isHiddenOrHasHiddenAncestor()) {
        return false;
    }
    // Return is the button the person moved the focus to, when it is another one.
    if (keyEquivalent_ == "\r") {
        Window* host = window();
        const auto* focused = host != nullptr ? dynamic_cast<const Button*>(host->firstResponder().get()) : nullptr;
        if (focused != nullptr && focused != this && focused->isEnabled()) return false;
    }
    performClick(this);
    return true;
}

void Button::keyDown(const Event& event) {
    if ((event.characters() == " " || event.characters() == "\r") && hasKeyboardFocus()) {
        performClick(this);
    } else {
        Control::keyDown(event);
    }
}

void Button::draw(GraphicsContext& context, const Rect&) {
    if (type_ != ButtonType::radio && type_ != ButtonType::switchButton) {
        if (!isEnabled()) context.beginTransparencyLayer(disabledAlpha);
        drawPushButton(context);
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
    const BezierPath outline = type_ == ButtonType::radio ? BezierPath::oval(mark) : rectangle(mark);
    context.fill(outline, on ? markBlue() : Color::white());
    context.stroke(outline, on ? markBlue() : Color::systemGray());
    if (on && type_ == ButtonType::radio) {
        const double dot = size * 0.375;
        context.fill(BezierPath::oval(Rect(mark.midX() - dot / 2, mark.midY() - dot / 2, dot, dot)), Color::white());
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
