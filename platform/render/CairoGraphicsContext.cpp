#include "platform/render/CairoGraphicsContext.hpp"

#include "platform/render/ImageSurfaceCache.hpp"
#include "platform/render/TextLayout.hpp"

#include <pango/pangocairo.h>

namespace platform::render {

namespace {

cairo_operator_t cairoOperator(ui::CompositingOperation operation) {
    switch (operation) {
        case ui::CompositingOperation::clear: return CAIRO_OPERATOR_CLEAR;
        case ui::CompositingOperation::copy: return CAIRO_OPERATOR_SOURCE;
        case ui::CompositingOperation::sourceOver: return CAIRO_OPERATOR_OVER;
        case ui::CompositingOperation::sourceIn: return CAIRO_OPERATOR_IN;
        case ui::CompositingOperation::sourceOut: return CAIRO_OPERATOR_OUT;
        case ui::CompositingOperation::sourceAtop: return CAIRO_OPERATOR_ATOP;
        case ui::CompositingOperation::destinationOver: return CAIRO_OPERATOR_DEST_OVER;
        case ui::CompositingOperation::destinationIn: return CAIRO_OPERATOR_DEST_IN;
        case ui::CompositingOperation::destinationOut: return CAIRO_OPERATOR_DEST_OUT;
        case ui::CompositingOperation::destinationAtop: return CAIRO_OPERATOR_DEST_ATOP;
        case ui::CompositingOperation::exclusiveOr: return CAIRO_OPERATOR_XOR;
    }
    return CAIRO_OPERATOR_OVER;
}

}  // namespace

void CairoGraphicsContext::addPath(cairo_t* cr, const ui::BezierPath& path) {
    cairo_new_path(cr);
    for (const auto& element : path.elements()) {
        const auto& p = element.points;
        switch (element.type) {
            case ui::BezierPath::ElementType::moveTo: cairo_move_to(cr, p[0].x, p[0].y); break;
            case ui::BezierPath::ElementType::lineTo: cairo_line_to(cr, p[0].x, p[0].y); break;
            case ui::BezierPath::ElementType::curveTo: cairo_curve_to(cr, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y); break;
            case ui::BezierPath::ElementType::closePath: cairo_close_path(cr); break;
        }
    }
}

void CairoGraphicsContext::setSource(cairo_t* cr, const ui::Color& color) {
    const ui::Color rgb = color.usingColorSpace(ui::ColorSpace::sRGB);
    cairo_set_source_rgba(cr, rgb.redComponent(), rgb.greenComponent(), rgb.blueComponent(), rgb.alphaComponent());
}

void CairoGraphicsContext::fill(const ui::BezierPath& path, const ui::Color& color) {
    addPath(cr_, path);
    setSource(cr_, color);
    cairo_fill(cr_);
}

void CairoGraphicsContext::fill(const ui::Rect& rect, const ui::Color& color, ui::CompositingOperation operation) {
    // Clipped first: several of Cairo's operators would otherwise reach outside the rectangle.
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr_);
    cairo_set_operator(cr_, cairoOperator(operation));
    setSource(cr_, color);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

void CairoGraphicsContext::stroke(const ui::BezierPath& path, const ui::Color& color) {
    addPath(cr_, path);
    double width = path.lineWidth();
    if (width <= 0) {
        // The thinnest line the device shows: one device pixel.
        double dy = 0;
        width = 1;
        cairo_device_to_user_distance(cr_, &width, &dy);
    }
    cairo_set_line_width(cr_, width);
    setSource(cr_, color);
    cairo_stroke(cr_);
}

void CairoGraphicsContext::originAtTopLeft(cairo_t* cr, const ui::Rect& rect) {
    cairo_matrix_t matrix;
    cairo_get_matrix(cr, &matrix);
    if (matrix.yy < 0) {  // y grows upwards on the device
        cairo_translate(cr, rect.minX(), rect.maxY());
        cairo_scale(cr, 1, -1);
    } else {
        cairo_translate(cr, rect.minX(), rect.minY());
    }
}

void CairoGraphicsContext::draw(std::shared_ptr<const ui::Image> image, const ui::Rect& rect) {
    if (!image || image->pixelsWide() == 0 || image->pixelsHigh() == 0 || rect.width() <= 0 || rect.height() <= 0) return;
    cairo_surface_t* const surface = ImageSurfaceCache::shared().surfaceOf(image);
    cairo_save(cr_);
    originAtTopLeft(cr_, rect);
    cairo_scale(cr_, rect.width() / image->pixelsWide(), rect.height() / image->pixelsHigh());
    cairo_set_source_surface(cr_, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr_), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr_, 0, 0, image->pixelsWide(), image->pixelsHigh());
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void CairoGraphicsContext::draw(const ui::AttributedString& text, const ui::Rect& rect) {
    if (text.length() == 0 || rect.width() <= 0 || rect.height() <= 0) return;
    const TextLayout layout(text, rect.width(), rect.height());
    cairo_save(cr_);
    cairo_rectangle(cr_, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr_);
    originAtTopLeft(cr_, rect);
    cairo_move_to(cr_, layout.alignmentOffset(), 0);
    pango_cairo_show_layout(cr_, layout.layout());
    cairo_restore(cr_);
}

void CairoGraphicsContext::clip(const ui::Rect& rect) {
    cairo_rectangle(cr_, rect.minX(), rect.minY(), rect.width(), rect.height());
    cairo_clip(cr_);
}

void CairoGraphicsContext::clip(const ui::BezierPath& path) {
    addPath(cr_, path);
    cairo_clip(cr_);
}

void CairoGraphicsContext::beginTransparencyLayer(double alpha) {
    cairo_push_group(cr_);
    layerAlphas_.push_back(alpha);
}

void CairoGraphicsContext::endTransparencyLayer() {
    if (layerAlphas_.empty()) return;
    cairo_pop_group_to_source(cr_);
    cairo_paint_with_alpha(cr_, layerAlphas_.back());
    layerAlphas_.pop_back();
}

}  // namespace platform::render
