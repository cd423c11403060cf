#include "platform/render/ViewTreeRenderer.hpp"

#include "platform/animation/AnimationView.hpp"
#include "platform/render/CairoGraphicsContext.hpp"
#include "platform/render/LottiePlayer.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Box.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/SoftShadow.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <algorithm>
#include <cmath>
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

// A sheet's edge: a thin grey line along the sides and the bottom (it hangs from its top), in
// device coordinates of the sheet.
const ui::Color& sheetEdgeColor() {
    static const ui::Color grey = ui::Color::sRGB(0.6, 0.6, 0.62, 1.0);
    return grey;
}
constexpr double sheetShadowRadius = 8;

// The shown sheet of `window`, in the window's device coordinates; none without one.
std::optional<ui::Rect> shownSheetRect(const ui::Window& window) {
    const auto sheet = window.attachedSheet();
    if (!sheet || !sheet->isVisible()) return std::nullopt;
    const ui::Rect own = window.frame();
    const ui::Rect on = sheet->frame();
    return ui::Rect{on.minX() - own.minX(), own.maxY() - on.maxY(), on.width(), on.height()};
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

    // A layer-backed view's own drawing comes first, aside: it may set its layer's look while it
    // draws, and that look lies beneath what it drew. A view without a layer draws in place, and
    // so does an animation view, which draws only its scene: that spares a picture of its size.
    view.viewWillDraw();
    const auto* animationView = dynamic_cast<const animation::AnimationView*>(&view);
    const bool aside = view.layer() != nullptr && animationView == nullptr;
    if (aside) {
        cairo_push_group(cr);
    } else {
        cairo_save(cr);
        cairo_rectangle(cr, 0, 0, bounds.width(), bounds.height());
        cairo_clip(cr);
    }
    view.draw(context, bounds);
    if (animationView != nullptr) LottiePlayer::shared().draw(*animationView, cr, at);
    cairo_pattern_t* content = aside ? cairo_pop_group(cr) : nullptr;
    if (!aside) cairo_restore(cr);

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
    if (content != nullptr) {
        cairo_set_source(cr, content);
        cairo_paint(cr);
        cairo_pattern_destroy(content);
    }
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

void ViewTreeRenderer::render(ui::Window& window, cairo_t* cr, double scale, const std::optional<Area>& area) {
    cairo_save(cr);
    cairo_scale(cr, scale, scale);
    const ui::Size size = window.frame().size;
    cairo_new_path(cr);
    for (const ui::Rect& drawn : area.value_or(Area{ui::Rect{0, 0, size.width, size.height}})) {
        cairo_rectangle(cr, drawn.minX(), drawn.minY(), drawn.width(), drawn.height());
    }
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
    // A sheet stands out from the window it covers: it casts a shadow there and has an edge.
    if (const auto sheet = shownSheetRect(window)) {
        CairoGraphicsContext context(cr);
        ui::BezierPath outline;
        outline.moveTo({sheet->minX(), sheet->minY()});
        outline.lineTo({sheet->maxX(), sheet->minY()});
        outline.lineTo({sheet->maxX(), sheet->maxY()});
        outline.lineTo({sheet->minX(), sheet->maxY()});
        outline.closePath();
        ui::paintSoftShadow(context, outline, {0, 2}, sheetShadowRadius, ui::Color::sRGB(0, 0, 0, 0.25));
    }
    if (window.sheetParent() != nullptr) {
        cairo_move_to(cr, 0.5, 0);
        cairo_line_to(cr, 0.5, size.height - 0.5);
        cairo_line_to(cr, size.width - 0.5, size.height - 0.5);
        cairo_line_to(cr, size.width - 0.5, 0);
        cairo_set_line_width(cr, 1);
        CairoGraphicsContext::setSource(cr, sheetEdgeColor());
        cairo_stroke(cr);
    }
    cairo_restore(cr);
    // A whole picture shows every view as it is now, also those it left out as hidden or clear:
    // none of them asks for another.
    if (!area && window.contentView()) {
        for (const auto& view : window.contentView()->selfAndDescendants()) view->setNeedsDisplay(false);
    }
    // A picture taken while something moved shows values in between: the end needs one more,
    // there.
    const bool inBetween = isAnimating(window);
    // A picture of an area follows `changedArea`, which found the rest as it was.
    auto& state = windows_[&window];
    const std::size_t shown = area ? state.fingerprint : fingerprint(window);
    state = {false, inBetween, inBetween ? movingArea(window) : std::optional<Area>{}, shown};
}

std::optional<ViewTreeRenderer::Area> ViewTreeRenderer::changedArea(ui::Window& window) const {
    const auto state = windows_.find(&window);
    const auto content = window.contentView();
    if (state == windows_.end() || state->second.dirty || !content) return std::nullopt;
    if (state->second.inBetween && !state->second.movedArea) return std::nullopt;
    if (asksForDisplay(*content) || fingerprint(window) != state->second.fingerprint) return std::nullopt;
    auto changed = movingArea(window);
    if (!changed) return std::nullopt;
    for (const ui::Rect& was : state->second.movedArea.value_or(Area{})) {
        if (std::find(changed->begin(), changed->end(), was) == changed->end()) changed->push_back(was);
    }
    return changed;
}

std::optional<ViewTreeRenderer::Area> ViewTreeRenderer::movingArea(ui::Window& window) {
    Area area;
    const auto content = window.contentView();
    if (content && window.visibleAlphaValue() > 0 && !addMovingArea(*content, ui::AnimationLog::now(), area)) return std::nullopt;
    // From the window's coordinates (y upwards) to the device's, in whole pixels.
    const double height = window.frame().height();
    Area device;
    for (const ui::Rect& part : area) {
        if (part.width() <= 0 || part.height() <= 0) continue;
        const double top = std::floor(height - part.maxY());
        const double left = std::floor(part.minX());
        device.push_back({left, top, std::ceil(part.maxX()) - left, std::ceil(height - part.minY()) - top});
    }
    return device;
}

bool ViewTreeRenderer::addMovingArea(ui::View& view, dispatch::TimePoint at, Area& area) {
    if (view.isHidden()) return true;
    const auto& log = ui::AnimationLog::shared();
    const bool fading = log.isAnimating(&view, at);
    // A view that moves or changes size could uncover anything.
    if (fading && (log.isAnimating(&view, std::string("frame")) || log.isAnimating(&view, std::string("frameOrigin")))) {
        return false;
    }
    if (!fading && view.alphaValue() <= 0) return true;
    if (fading) {
        // Everything the view and its subviews draw lies in its bounds, which clip them.
        area.push_back(view.convert(view.bounds(), nullptr));
        return true;
    }
    if (const auto* animationView = dynamic_cast<const animation::AnimationView*>(&view);
        animationView && animationView->isAnimationPlaying()) {
        for (const ui::Rect& part : LottiePlayer::shared().inkedRects(*animationView)) {
            area.push_back(view.convert(part, nullptr));
        }
    }
    for (const auto& subview : view.subviews()) {
        if (!addMovingArea(*subview, at, area)) return false;
    }
    return true;
}

bool ViewTreeRenderer::needsRedraw(ui::Window& window) const {
    const auto state = windows_.find(&window);
    if (state == windows_.end() || state->second.dirty || state->second.inBetween) return true;
    if (isAnimating(window)) return true;
    if (const auto content = window.contentView(); content && asksForDisplay(*content)) return true;
    return fingerprint(window) != state->second.fingerprint;
}

void ViewTreeRenderer::markDirty(const ui::Window& window) {
    windows_[&window].dirty = true;
}

bool ViewTreeRenderer::isAnimating(ui::Window& window) const {
    return frameRate(window) > 0;
}

double ViewTreeRenderer::frameRate(ui::Window& window) const {
    const auto& log = ui::AnimationLog::shared();
    const auto at = ui::AnimationLog::now();
    if (log.isAnimating(&window, at)) return smoothFrameRate;
    // A window nobody sees moves nothing on screen, whatever plays in it.
    if (window.visibleAlphaValue() <= 0) return 0;
    const auto content = window.contentView();
    return content ? frameRate(*content, at) : 0;
}

double ViewTreeRenderer::frameRate(ui::View& view, dispatch::TimePoint at) {
    // What is drawn of a view is what `drawView` shows: nothing of a hidden one, or of one faded
    // out, with their subviews.
    if (view.isHidden()) return 0;
    const auto& log = ui::AnimationLog::shared();
    if (log.isAnimating(&view, at)) return smoothFrameRate;
    if (view.alphaValue() <= 0) return 0;
    double rate = 0;
    auto* animationView = dynamic_cast<animation::AnimationView*>(&view);
    if (animationView && animationView->isAnimationPlaying()) {
        // A scene is played at the rate it was made for, no faster.
        rate = std::min(smoothFrameRate, LottiePlayer::shared().frameRate(*animationView));
        if (rate <= 0) rate = smoothFrameRate;
    }
    for (const auto& subview : view.subviews()) rate = std::max(rate, frameRate(*subview, at));
    return rate;
}

void ViewTreeRenderer::forget(const ui::Window& window) {
    windows_.erase(&window);
}

std::size_t ViewTreeRenderer::fingerprint(ui::Window& window) {
    std::size_t seed = 0;
    combine(seed, window.frame().width());
    combine(seed, window.frame().height());
    if (const auto sheet = shownSheetRect(window)) {
        for (double value : {sheet->minX(), sheet->minY(), sheet->width(), sheet->height()}) combine(seed, value);
    }
    if (const auto content = window.contentView()) combineShown(seed, *content);
    return seed;
}

void ViewTreeRenderer::combineShown(std::size_t& seed, ui::View& view) {
    combine(seed, static_cast<const void*>(&view));
    const ui::Rect frame = view.frame();
    for (double value :
         {frame.minX(), frame.minY(), frame.width(), frame.height(), view.alphaValue(), view.isHidden() ? 1.0 : 0.0}) {
        combine(seed, value);
    }
    // What a hidden or clear view holds is not drawn (a hidden screen, its long list): showing it
    // again changes the values above.
    if (view.isHidden() || view.alphaValue() <= 0) return;
    combineContent(seed, view);
    if (const ui::Layer* layer = view.layer()) {
        for (double value : {layer->zPosition, layer->cornerRadius, layer->borderWidth, layer->masksToBounds ? 1.0 : 0.0})
            combine(seed, value);
        combine(seed, layer->backgroundColor);
        combine(seed, layer->borderColor);
    }
    for (const auto& subview : view.subviews()) combineShown(seed, *subview);
}

bool ViewTreeRenderer::asksForDisplay(ui::View& view) {
    if (view.isHidden() || view.alphaValue() <= 0) return false;
    if (view.needsDisplay()) return true;
    const auto& subviews = view.subviews();
    return std::any_of(subviews.begin(), subviews.end(), [](const auto& subview) { return asksForDisplay(*subview); });
}

}  // namespace platform::render
