#pragma once

#include "platform/foundation/Expected.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/Point.hpp"

#include <cairo.h>

#include <filesystem>

namespace platform::render {

// A drawn picture in memory: an ARGB32 image surface of device pixels and the scale it was drawn
// at. Pixels are read straight (not premultiplied); rows count from the top.
class Picture {
public:
    Picture(int pixelsWide, int pixelsHigh, double scale);
    ~Picture();
    Picture(Picture&& other) noexcept;
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    Picture& operator=(Picture&&) = delete;

    cairo_surface_t* surface() const { return surface_; }
    int pixelsWide() const { return cairo_image_surface_get_width(surface_); }
    int pixelsHigh() const { return cairo_image_surface_get_height(surface_); }
    double scale() const { return scale_; }

    ui::Image::Pixel pixel(int x, int row) const;
    // The pixel under a point of the window's coordinates (y upwards from the bottom).
    ui::Image::Pixel pixelAt(ui::Point point) const;

    foundation::Expected<void> writePng(const std::filesystem::path& file) const;
    // A picture written by `writePng`, read back at `scale`.
    static foundation::Expected<Picture> readPng(const std::filesystem::path& file, double scale);

private:
    cairo_surface_t* surface_;
    double scale_;
};

}  // namespace platform::render
