#pragma once

#include "platform/ui/GraphicsContext.hpp"

#include <cairo.h>

#include <vector>

namespace platform::render {

// The painter: the drawing calls of views carried out on a Cairo context whose current
// transformation maps the drawing view's coordinates to device pixels. Text and images are drawn
// upright whether those coordinates count y upwards or downwards.
class CairoGraphicsContext final : public ui::GraphicsContext {
public:
    explicit CairoGraphicsContext(cairo_t* cr) : cr_(cr) {}

    cairo_t* cairo() const { return cr_; }

    void fill(const ui::BezierPath& path, const ui::Color& color) override;
    void fill(const ui::Rect& rect, const ui::Color& color, ui::CompositingOperation operation) override;
    void stroke(const ui::BezierPath& path, const ui::Color& color) override;
    void draw(std::shared_ptr<const ui::Image> image, const ui::Rect& rect) override;
    void draw(const ui::AttributedString& text, const ui::Rect& rect) override;

    void saveGraphicsState() override { cairo_save(cr_); }
    void restoreGraphicsState() override { cairo_restore(cr_); }
    void translate(double dx, double dy) override { cairo_translate(cr_, dx, dy); }
    void scale(double sx, double sy) override { cairo_scale(cr_, sx, sy); }
    void clip(const ui::Rect& rect) override;
    void clip(const ui::BezierPath& path) override;
    void beginTransparencyLayer(double alpha) override;
    void endTransparencyLayer() override;

    // Paths and colours as Cairo takes them.
    static void addPath(cairo_t* cr, const ui::BezierPath& path);
    static void setSource(cairo_t* cr, const ui::Color& color);
    // Moves the origin to the top-left corner of `rect` with y downwards, so that pictures and
    // text land upright whichever way the current coordinates count.
    static void originAtTopLeft(cairo_t* cr, const ui::Rect& rect);

private:
    cairo_t* cr_;
    std::vector<double> layerAlphas_;
};

}  // namespace platform::render
