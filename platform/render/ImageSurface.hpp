#pragma once

#include "platform/ui/Image.hpp"

#include <cairo.h>

#include <memory>

namespace platform::render {

// A Cairo image surface holding a copy of an image's pixels (premultiplied, rows from the top),
// and the way back from a surface to an image.
class ImageSurface {
public:
    explicit ImageSurface(const ui::Image& image);
    ~ImageSurface();
    ImageSurface(const ImageSurface&) = delete;
    ImageSurface& operator=(const ImageSurface&) = delete;

    cairo_surface_t* surface() const { return surface_; }

    // The pixels of an ARGB32 surface as a new image that shows them at `size` points.
    static std::shared_ptr<ui::Image> toImage(cairo_surface_t* surface, ui::Size size);

private:
    cairo_surface_t* surface_;
};

}  // namespace platform::render
