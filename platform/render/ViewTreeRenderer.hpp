#pragma once

#include "platform/dispatch/Clock.hpp"
#include "platform/ui/Window.hpp"

#include <cairo.h>

#include <cstddef>
#include <map>
#include <optional>
#include <vector>

namespace platform::render {

class CairoGraphicsContext;

// Draws a window's view tree: each view in its frame (in-between values while an animation runs),
// hidden views and views at alpha 0 left out with their subviews, alpha applied to a view and its
// subviews as one picture, flipped views honoured, each view clipped to its bounds, siblings in
// drawing order (layer z position, then order), the layer's look (background, corner radius,
// border, masking), `viewWillDraw` then `draw`, and the frames of animation views. A sheet gets
// a thin edge along its sides and bottom, and casts a soft shadow on the window it is shown on.
//
// It also keeps, per window, whether a new picture is due: after `markDirty`, while a view asks
// for display or an animation runs, and when the tree's geometry changed since the last
// picture, or the texts, images, states and colours of its fields, buttons, image views, boxes
// and layers changed, or a sheet was shown on it or taken away. Main thread only.
class ViewTreeRenderer {
public:
    // Part of a window: rectangles in points from its top-left corner, which may overlap.
    using Area = std::vector<ui::Rect>;

    // Draws `window`'s content into `cr`, whose origin is the window's top-left corner on the
    // device, at `scale` device pixels per point: all of it, or only `area`, when `changedArea`
    // gave it. What was there is replaced: the window's background colour, or transparency where
    // it is clear.
    void render(ui::Window& window, cairo_t* cr, double scale, const std::optional<Area>& area = std::nullopt);
    // What a new picture of `window` must cover, in whole pixels: when only animations in place
    // changed since the last picture (a playing scene, a fade), where they are and were, which
    // may be nothing; none when the whole window must be drawn.
    std::optional<Area> changedArea(ui::Window& window) const;

    // Whether `window` should be drawn again.
    bool needsRedraw(ui::Window& window) const;
    // Asks for a new picture of `window` (after input, or a change only the model knows of).
    void markDirty(const ui::Window& window);
    // Whether something in `window` moves now where it can be seen, so that frames must follow
    // on a timer: not in a window at alpha 0, nor in a hidden view or one at alpha 0 (a hidden
    // screen), unless that alpha is itself being animated.
    bool isAnimating(ui::Window& window) const;
    // How many frames a second what moves in `window` needs now: a fade or a move
    // `smoothFrameRate`, a playing scene its own rate (the fastest of them counts); 0 when
    // nothing moves.
    double frameRate(ui::Window& window) const;

    static constexpr double smoothFrameRate = 30;
    // Drops what is kept about a window that is gone.
    void forget(const ui::Window& window);

private:
    // Draws `view` and its subviews into `context`, whose coordinates are those of the view's
    // superview (y downwards when `superviewFlipped`).
    static void drawView(ui::View& view, CairoGraphicsContext& context, bool superviewFlipped, dispatch::TimePoint at);

    static double frameRate(ui::View& view, dispatch::TimePoint at);
    // Where things animate in place now, in points from the window's top-left corner; none when
    // a view moves or resizes.
    static std::optional<Area> movingArea(ui::Window& window);
    // Adds the bounds of the views under `view` that animate in place, in window coordinates;
    // false when one moves or resizes.
    static bool addMovingArea(ui::View& view, dispatch::TimePoint at, Area& area);

    struct WindowState {
        bool dirty = true;
        // The last picture was taken while something moved, in this area (none: anywhere).
        bool inBetween = false;
        std::optional<Area> movedArea;
        std::size_t fingerprint = 0;
    };
    static std::size_t fingerprint(ui::Window& window);
    // Adds what `view` and the views it shows look like.
    static void combineShown(std::size_t& seed, ui::View& view);
    // Whether a view that is shown asks to be drawn again.
    static bool asksForDisplay(ui::View& view);

    std::map<const ui::Window*, WindowState> windows_;
};

}  // namespace platform::render
