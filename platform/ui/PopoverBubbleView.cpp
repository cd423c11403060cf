#include "platform/ui/PopoverBubbleView.hpp"

#include <algorithm>
#include <array>
#include <vector>

namespace platform::ui {

namespace {
constexpr double kappa = 0.5522847498;

const Color& borderColor() {
    static const Color grey = Color::sRGB(213 / 255.0, 213 / 255.0, 213 / 255.0, 1);
    return grey;
}

Point along(Point from, Point direction, double distance) {
    return {from.x + direction.x * distance, from.y + direction.y * distance};
}
}  // namespace

Rect PopoverBubbleView::frameFor(const Rect& anchor, Size size, RectEdge edge) {
    switch (edge) {
        case RectEdge::minX:
            return {anchor.minX() - size.width - arrowLength, anchor.midY() - size.height / 2, size.width + arrowLength,
                    size.height};
        case RectEdge::maxX: return {anchor.maxX(), anchor.midY() - size.height / 2, size.width + arrowLength, size.height};
        case RectEdge::maxY: return {anchor.midX() - size.width / 2, anchor.maxY(), size.width, size.height + arrowLength};
        case RectEdge::minY: break;
    }
    return {anchor.midX() - size.width / 2, anchor.minY() - size.height - arrowLength, size.width, size.height + arrowLength};
}

void PopoverBubbleView::layOut(const std::shared_ptr<View>& content, Size size, RectEdge edge, double tip) {
    edge_ = edge;
    const bool vertical = edge == RectEdge::minY || edge == RectEdge::maxY;
    setFrame(
        {frame().origin, vertical ? Size{size.width, size.height + arrowLength} : Size{size.width + arrowLength, size.height}});
    // The arrow keeps to the straight part of its side.
    const double side = vertical ? size.width : size.height;
    const double margin = cornerRadius + arrowWidth / 2;
    tip_ = side > 2 * margin ? std::clamp(tip, margin, side - margin) : side / 2;
    // A new controller's view takes the old one's place.
    for (const auto& old : std::vector(subviews())) {
        if (old != content) old->removeFromSuperview();
    }
    if (content->superview() != this) addSubview(content);
    content->setFrame({body().origin, size});
    setNeedsDisplay(true);
}

Rect PopoverBubbleView::body() const {
    const Rect all = bounds();
    switch (edge_) {
        case RectEdge::minY: return {0, 0, all.width(), all.height() - arrowLength};
        case RectEdge::maxY: return {0, arrowLength, all.width(), all.height() - arrowLength};
        case RectEdge::minX: return {0, 0, all.width() - arrowLength, all.height()};
        case RectEdge::maxX: break;
    }
    return {arrowLength, 0, all.width() - arrowLength, all.height()};
}

Point PopoverBubbleView::arrowTip() const {
    const Rect all = bounds();
    switch (edge_) {
        case RectEdge::minY: return {tip_, all.maxY()};
        case RectEdge::maxY: return {tip_, 0};
        case RectEdge::minX: return {all.maxX(), tip_};
        case RectEdge::maxX: break;
    }
    return {0, tip_};
}

void PopoverBubbleView::draw(GraphicsContext& context, const Rect&) {
    // Inset by half the border's width, so that the border is drawn whole.
    const Rect shape = body();
    const double inset = 0.5;
    const double minX = shape.minX() + inset, maxX = shape.maxX() - inset;
    const double minY = shape.minY() + inset, maxY = shape.maxY() - inset;
    const double r = cornerRadius;
    // The four sides clockwise from the top, y upwards: where each starts, runs and points out.
    struct Side {
        Point start;
        Point direction;
        Point outward;
        double length;
        RectEdge facing;  // the placement whose anchor lies beyond this side
    };
    const std::array<Side, 4> sides{{
        {{minX + r, maxY}, {1, 0}, {0, 1}, maxX - minX - 2 * r, RectEdge::minY},
        {{maxX, maxY - r}, {0, -1}, {1, 0}, maxY - minY - 2 * r, RectEdge::minX},
        {{maxX - r, minY}, {-1, 0}, {0, -1}, maxX - minX - 2 * r, RectEdge::maxY},
        {{minX, minY + r}, {0, 1}, {-1, 0}, maxY - minY - 2 * r, RectEdge::maxX},
    }};
    BezierPath outline;
    outline.moveTo(sides[0].start);
    for (std::size_t index = 0; index < sides.size(); ++index) {
        const Side& side = sides[index];
        if (side.facing == edge_) {
            // The tip's place along this side, counted from the side's start.
            const Point tip = arrowTip();
            const double at =
                side.direction.x != 0 ? (tip.x - side.start.x) * side.direction.x : (tip.y - side.start.y) * side.direction.y;
            const Point base = along(side.start, side.direction, at);
            outline.lineTo(along(base, side.direction, -arrowWidth / 2));
            outline.lineTo(along(base, side.outward, arrowLength - inset));
            outline.lineTo(along(base, side.direction, arrowWidth / 2));
        }
        const Point end = along(side.start, side.direction, side.length);
        outline.lineTo(end);
        // The corner to the next side.
        const Side& next = sides[(index + 1) % sides.size()];
        outline.curveTo(next.start, along(end, side.direction, r * kappa), along(next.start, next.direction, -r * kappa));
    }
    outline.closePath();
    context.fill(outline, Color::white());
    outline.setLineWidth(1);
    context.stroke(outline, borderColor());
}

}  // namespace platform::ui
