#include "platform/ui/MenuView.hpp"

#include "platform/ui/Appearance.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/SoftShadow.hpp"
#include "platform/ui/TextMeasurer.hpp"

#include <algorithm>
#include <cmath>

namespace platform::ui {

namespace {
constexpr double cornerRadius = 6;
constexpr double fontSize = 13;
const Selector choose = "chooseMenuItem:";

const Color& borderColor() {
    static const Color grey = Color::sRGB(0, 0, 0, 0.18);
    return grey;
}

BezierPath roundedRect(const Rect& rect, double radius) {
    constexpr double kappa = 0.5522847498;
    const double r = std::min({radius, rect.width() / 2, rect.height() / 2});
    const double d = r * kappa;
    BezierPath path;
    path.moveTo({rect.minX() + r, rect.maxY()});
    path.lineTo({rect.maxX() - r, rect.maxY()});
    path.curveTo({rect.maxX(), rect.maxY() - r}, {rect.maxX() - r + d, rect.maxY()}, {rect.maxX(), rect.maxY() - r + d});
    path.lineTo({rect.maxX(), rect.minY() + r});
    path.curveTo({rect.maxX() - r, rect.minY()}, {rect.maxX(), rect.minY() + r - d}, {rect.maxX() - r + d, rect.minY()});
    path.lineTo({rect.minX() + r, rect.minY()});
    path.curveTo({rect.minX(), rect.minY() + r}, {rect.minX() + r - d, rect.minY()}, {rect.minX(), rect.minY() + r - d});
    path.lineTo({rect.minX(), rect.maxY() - r});
    path.curveTo({rect.minX() + r, rect.maxY()}, {rect.minX(), rect.maxY() - r + d}, {rect.minX() + r - d, rect.maxY()});
    path.closePath();
    return path;
}

// One row: its title, and the highlight while the pointer is over it.
class MenuRow final : public Button {
public:
    MenuRow(Rect frame, const std::string& title) : Button(frame) {
        setFont(Appearance::current().font(fontSize));
        setTitle(title);
    }

    bool isHovered() const { return hovered_; }

    void viewDidMoveToWindow() override {
        if (trackingAreas().empty()) {
            addTrackingArea(std::make_shared<TrackingArea>(
                bounds(), TrackingArea::mouseEnteredAndExited | TrackingArea::activeAlways, sharedView()));
        }
    }
    void mouseEntered(const Event&) override { hover(true); }
    void mouseExited(const Event&) override { hover(false); }

    void draw(GraphicsContext& context, const Rect&) override {
        const Appearance& look = Appearance::current();
        const Rect row = bounds();
        if (hovered_) context.fill(roundedRect(Rect(4, 1, row.width() - 8, row.height() - 2), 4), look.accentColor);
        const AttributedString title(this->title(),
                                     {font(), hovered_ ? Color::white() : look.textColor, std::nullopt, std::nullopt});
        const Size size = title.size();
        context.draw(title, Rect(MenuView::horizontalPadding, row.midY() - size.height / 2, size.width + 1, size.height));
    }

protected:
    // The menu hears which row was clicked.
    void respondToClick() override {
        if (View* menu = superview()) menu->perform(choose, this);
    }

private:
    void hover(bool hovered) {
        if (hovered_ == hovered) return;
        hovered_ = hovered;
        setNeedsDisplay(true);
    }

    bool hovered_ = false;
};
}  // namespace

MenuView::MenuView(const Menu& menu, std::function<void(int index)> chosen) {
    const auto& items = menu.items();
    const TextAttributes attributes{Appearance::current().font(fontSize), std::nullopt, std::nullopt, std::nullopt};
    double width = minimumWidth;
    for (const auto& item : items) {
        width = std::max(width, std::ceil(TextMeasurer::sizeOf(item->title(), attributes).width) + 2 * horizontalPadding);
    }
    const double height = rowHeight * static_cast<double>(items.size()) + 2 * verticalPadding;
    setFrame({0, 0, width + 2 * shadowMargin, height + 2 * shadowMargin});
    setActionHandler(choose, [chosen = std::move(chosen)](Object* sender) {
        if (const auto* row = dynamic_cast<const Button*>(sender); row && chosen) chosen(row->tag());
    });
    const Rect inside = body();
    for (std::size_t index = 0; index < items.size(); ++index) {
        const double top = inside.maxY() - verticalPadding - rowHeight * static_cast<double>(index + 1);
        auto row = std::make_shared<MenuRow>(Rect(inside.minX(), top, width, rowHeight), items[index]->title());
        row->setTag(static_cast<int>(index));
        addSubview(row);
    }
}

Rect MenuView::body() const {
    const Rect all = bounds();
    return {shadowMargin, shadowMargin, all.width() - 2 * shadowMargin, all.height() - 2 * shadowMargin};
}

int MenuView::highlightedRow() const {
    for (const auto& view : subviews()) {
        if (const auto* row = dynamic_cast<const MenuRow*>(view.get()); row && row->isHovered()) return row->tag();
    }
    return -1;
}

void MenuView::draw(GraphicsContext& context, const Rect&) {
    const BezierPath outline = roundedRect(body(), cornerRadius);
    paintSoftShadow(context, outline, {0, -2}, shadowMargin - 2, Color::sRGB(0, 0, 0, 0.3));
    context.fill(outline, Color::white());
    // The border sits on the body's edge, half a point either side.
    BezierPath border = outline;
    border.setLineWidth(1);
    context.stroke(border, borderColor());
}

}  // namespace platform::ui
