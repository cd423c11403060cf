#include "platform/render/ViewTreeRenderer.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/render/CairoGraphicsContext.hpp"
#include "platform/render/LottiePlayer.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Box.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

namespace platform::render {

namespace {

// A rectangle with rounded corners (circular arcs), or a plain one for a radius of 0.
void addRoundedRect(cairo_t* cr, const ui::Rect& rect, double radius) {
    cairo_new_path(cr);
    radius = std::min({radius, rect.width() / 2, rect.height() / 2});
    if (radius <= 0) {
        cairo_rectangle(cr, rect.minX(), rect.minY(), rect.width(), rect.height());
        return;
    }
    constexpr double quarter = 1.5707963267948966;
    cairo_arc(cr, rect.maxX() - radius, rect.minY() + radius, radius, -quarter, 0);
    cairo_arc(cr, rect.maxX() - radius, rect.maxY() - radius, radius, 0, quarter);
    cairo_arc(cr, rect.minX() + radius, rect.maxY() - radius, radius, quarter, 2 * quarter);
    cairo_arc(cr, rect.minX() + radius, rect.minY() + radius, radius, 2 * quarter, 3 * quarter);
    cairo_close_path(cr);
}

bool intersectsClip(cairo_t* cr, const ui::Rect& bounds) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    cairo_clip_extents(cr, &x1, &y1, &x2, &y2);
    return bounds.minX() < x2 && bounds.maxX() > x1 && bounds.minY() < y2 && bounds.maxY() > y1 && x2 > x1 && y2 > y1;
}

void combine(std::size_t& seed, std::size_t value) {
    seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

void combine(std::size_t& seed, double value) {
    combine(seed, std::hash<double>{}(value));
}

void combine(std::size_t& seed, const void* pointer) {
    combine(seed, std::hash<const void*>{}(pointer));
}

void combine(std::size_t& seed, const std::optional<ui::Color>& color) {
    if (!color) return combine(seed, std::size_t{0});
    for (double component : {color->redComponent(), color->greenComponent(), color->blueComponent(), color->alphaComponent()}) {
        combine(seed, component);
    }
}

// What the common views show beyond their geometry: texts, images, states, colours.
void combineContent(std::size_t& seed, ui::View& view) {
    if (const auto* field = dynamic_cast<const ui::TextField*>(&view)) {
        combine(seed, std::hash<std::string>{}(field->stringValue()));
        combine(seed, field->textColor());
        const auto selection = field->selectedRange();
        combine(seed, (selection.location << 1) ^ (selection.length << 24));
        combine(seed, std::size_t{field->isEditing()} | std::size_t{field->showsInsertionPoint()} << 1 |
                          std::size_t{field->isEnabled()} << 2);
    }
    if (const auto* button = dynamic_cast<const ui::Button*>(&view)) {
        combine(seed, std::hash<std::string>{}(button->title()));
        combine(seed, button->image().get());
        combine(seed, static_cast<double>(button->state()));
        combine(seed, button->isHighlighted() ? 1.0 : 0.0);
        combine(seed, button->isEnabled() ? 1.0 : 0.0);
    }
    if (const auto* imageView = dynamic_cast<const ui::ImageView*>(&view)) combine(seed, imageView->image().get());
    if (const auto* box = dynamic_cast<const ui::Box*>(&view)) combine(seed, box->fillColor());
}

}  // namespace

void ViewTreeRenderer::drawView(ui::View& view, CairoGraphicsContext& context, bool superviewFlipped, dispatch::TimePoint at) {
    if (view.isHidden()) return;
    const auto& log = ui::AnimationLog::shared();
    const double alpha = std::clamp(log.presentedAlpha(&view, view.alphaValue(), at), 0.0, 1.0);
    if (alpha <= 0) return;
    const ui::Rect frame = log.presentedFrame(&view, view.frame(), at);
    cairo_t* cr = context.cairo();
    cairo_save(cr);
    cairo_translate(cr, frame.minX(), frame.minY());
    if (view.isFlipped() != superviewFlipped) {
        cairo_translate(cr, 0, frame.height());
        cairo_scale(cr, 1, -1);
    }
    const ui::Rect bounds{0, 0, frame.width(), frame.height()};
    if (!intersectsClip(cr, bounds)) {
        cairo_restore(cr);
        return;
    }
    if (alpha < 1) context.beginTransparencyLayer(alpha);

    // The view's own drawing comes first, aside: a view may set its layer's look while it draws,
    // and that look lies beneath what it drew.
    view.viewWillDraw();
    cairo_push_group(cr);
    view.draw(context, bounds);
    if (const auto* animationView = dynamic_cast<const animation::AnimationView*>(&view)) {
        LottiePlayer::shared().draw(*animationView, cr, at);
    }
    cairo_pattern_t* content = cairo_pop_group(cr);

    const ui::Layer* layer = view.layer();
    const double radius = layer ? layer->cornerRadius : 0;
    if (layer && layer->backgroundColor) {
        addRoundedRect(cr, bounds, radius);
        CairoGraphicsContext::setSource(cr, *layer->backgroundColor);
        cairo_fill(cr);
    }
    cairo_save(cr);
    addRoundedRect(cr, bounds, layer && layer->masksToBounds ? radius : 0);
    cairo_clip(cr);
    cairo_set_source(cr, content);
    cairo_paint(cr);
    cairo_pattern_destroy(content);
    for (const auto& subview : view.subviewsInDrawingOrder()) drawView(*subview, context, view.isFlipped(), at);
    cairo_restore(cr);

    if (layer && layer->borderWidth > 0 && layer->borderColor) {
        // The border lies inside the bounds, over the content.
        const double inset = layer->borderWidth / 2;
        addRoundedRect(cr, {inset, inset, bounds.width() - 2 * inset, bounds.height() - 2 * inset},
                       std::max(0.0, radius - inset));
        cairo_set_line_width(cr, layer->borderWidth);
        CairoGraphicsContext::setSource(cr, *layer->borderColor);
        cairo_stroke(cr);
    }
    if (alpha < 1) context.endTransparencyLayer();
    cairo_restore(cr);
    view.setNeedsDisplay(false);
}

void ViewTreeRenderer::render(ui::Window& window, cairo_t* cr, double scale) {
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    const ui::Size size = window.frame().size;
    cairo_rectangle(cr, 0, 0, size.width, size.height);
    cairo_clip(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    CairoGraphicsContext::setSource(cr, window.backgroundColor());
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (const auto content = window.contentView()) {
        CairoGraphicsContext context(cr);
        // The device counts y downwards from the window's top-left corner.
        drawView(*content, context, true, ui::AnimationLog::now());
    }
    cairo_restore(cr);
    windows_[&window] = {false, fingerprint(window)};
}

bool ViewTreeRenderer::needsRedraw(ui::Window& window) const {
    const auto state = windows_.find(&window);
    if (state == windows_.end() || state->second.dirty) return true;
    if (isAnimating(window)) return true;
    if (const auto content = window.contentView()) {
        for (const auto& view : content->selfAndDescendants()) {
            if (view->needsDisplay()) return true;
        }
    }
    return fingerprint(window) != state->second.fingerprint;
}

void ViewTreeRenderer::markDirty(const ui::Window& window) {
    windows_[&window].dirty = true;
}

bool ViewTreeRenderer::isAnimating(ui::Window& window) const {
    const auto& log = ui::AnimationLog::shared();
    const auto at = ui::AnimationLog::now();
    if (log.isAnimating(&window, at)) return true;
    const auto content = window.contentView();
    if (!content) return false;
    for (const auto& view : content->selfAndDescendants()) {
        if (log.isAnimating(view.get(), at)) return true;
        const auto* animationView = dynamic_cast<const animation::AnimationView*>(view.get());
        if (animationView && animationView->isAnimationPlaying() && !view->isHiddenOrHasHiddenAncestor()) return true;
    }
    return false;
}

void ViewTreeRenderer::forget(const ui::Window& window) {
    windows_.erase(&window);
}

std::size_t ViewTreeRenderer::fingerprint(ui::Window& window) {
    std::size_t seed = 0;
    combine(seed, window.frame().width());
    combine(seed, window.frame().height());
    const auto content = window.contentView();
    if (!content) return seed;
    for (const auto& view : content->selfAndDescendants()) {
        combine(seed, static_cast<const void*>(view.get()));
        combineContent(seed, *view);
        const ui::Rect frame = view->frame();
        for (double value :
             {frame.minX(), frame.minY(), frame.width(), frame.height(), view->alphaValue(), view->isHidden() ? 1.0 : 0.0}) {
            combine(seed, value);
        }
        if (const ui::Layer* layer = view->layer()) {
            for (double value : {layer->zPosition, layer->cornerRadius, layer->borderWidth, layer->masksToBounds ? 1.0 : 0.0})
                combine(seed, value);
            combine(seed, layer->backgroundColor);
            combine(seed, layer->borderColor);
        }
    }
    return seed;
}

}  // namespace platform::render
