#pragma once

#include "platform/ui/BezierPath.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/View.hpp"

namespace corvantis {

// The popup's content view: one filled shape, a rectangle with rounded corners and, on its top
// edge, an arrow whose tip points up at the status-bar icon (or down at it, mirrored, when the
// popup opens above the icon).
class StatusPopupBackgroundView : public platform::ui::View {
public:
    using View::View;

    double cornerRadius = 3.0;
    platform::ui::Color backgroundColor = platform::ui::Color::windowBackground();
    platform::ui::Size arrowSize{12, 8};

    // Where the arrow's tip lies, from the view's left edge.
    double arrowX() const { return arrowX_; }
    // Stores the position and asks for a redraw, even when it did not move.
    void setArrowX(double arrowX);
    // Whether the arrow sits on the bottom edge pointing down (the popup above a bottom tray);
    // the whole shape is then mirrored top to bottom.
    bool arrowPointsDown = false;

    // The outline: from the arrow's tip clockwise round the body and back. The arrow's base stays
    // on the straight part of its edge, so an arrow at the body's end leans rather than being cut.
    platform::ui::BezierPath shape() const;
    void draw(platform::ui::GraphicsContext& context, const platform::ui::Rect& dirtyRect) override;

private:
    // How far along each corner's tangents its control points lie, as a share of the radius.
    static constexpr double kappa = 0.55;

    double arrowX_ = 0;
};

}  // namespace corvantis
