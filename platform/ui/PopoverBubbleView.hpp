#pragma once

#include "platform/ui/Popover.hpp"
#include "platform/ui/View.hpp"

#include <memory>

namespace platform::ui {

// What a shown popover's window holds: a white bubble with rounded corners and a thin border,
// with an arrow on one side that points at what the popover belongs to, and the content view
// inside the bubble, clear of the arrow.
class PopoverBubbleView final : public View {
public:
    // How far the arrow stands out from the bubble, and how wide its base is.
    static constexpr double arrowLength = 8;
    static constexpr double arrowWidth = 16;
    static constexpr double cornerRadius = 6;

    // The window frame for content of `size` beside `anchor` (screen coordinates) on `edge`:
    // the bubble, plus the arrow's strip on the anchor's side.
    static Rect frameFor(const Rect& anchor, Size size, RectEdge edge);

    // Holds `content` at `size`, its arrow on the side that faces `edge`'s anchor, its tip at
    // `tip` (along that side, in the view's coordinates).
    void layOut(const std::shared_ptr<View>& content, Size size, RectEdge edge, double tip);

    RectEdge edge() const { return edge_; }
    // Where the arrow's tip is, in the view's coordinates.
    Point arrowTip() const;

    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    Rect body() const;

    RectEdge edge_ = RectEdge::minY;
    double tip_ = 0;
};

}  // namespace platform::ui
