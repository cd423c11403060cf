#include "platform/render/ImageSurface.hpp"

#include <algorithm>
#include <cstdint>

namespace platform::render {

namespace {

std::uint8_t premultiplied(std::uint8_t component, std::uint8_t alpha) {
    return static_cast<std::uint8_t>((component * alpha + 127) / 255);
}

std::uint8_t straight(std::uint8_t component, std::uint8_t alpha) {
    return alpha == 0 ? 0 : static_cast<std::uint8_t>(std::min(255, (component * 255 + alpha / 2) / alpha));
}

}  // namespace

ImageSurface::ImageSurface(const ui::Image& image)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.pixelsWide(), image.pixelsHigh())) {
    cairo_surface_flush(surface_);
    unsigned char* data = cairo_image_surface_get_data(surface_);
    const int stride = cairo_image_surface_get_stride(surface_);
    for (int row = 0; row < image.pixelsHigh(); ++row) {
        auto* line = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        const int y = image.pixelsHigh() - 1 - row;  // image rows count from the bottom
        for (int x = 0; x < image.pixelsWide(); ++x) {
            const ui::Image::Pixel p = image.pixel(x, y);
            line[x] = (std::uint32_t{p.alpha} << 24) | (std::uint32_t{premultiplied(p.red, p.alpha)} << 16) |
                      (std::uint32_t{premultiplied(p.green, p.alpha)} << 8) | premultiplied(p.blue, p.alpha);
        }
    }
    cairo_surface_mark_dirty(surface_);
}

ImageSurface::~ImageSurface() {
    cairo_surface_destroy(surface_);
}

std::shared_ptr<ui::Image> ImageSurface::toImage(cairo_surface_t* surface, ui::Size size) {
    cairo_surface_flush(surface);
    const int wide = cairo_image_surface_get_width(surface);
    const int high = cairo_image_surface_get_height(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    auto image = ui::Image::make({static_cast<double>(wide), static_cast<double>(high)});
    for (int row = 0; row < high; ++row) {
        const auto* line = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) * stride);
        for (int x = 0; x < wide; ++x) {
            const std::uint32_t v = line[x];
            const auto alpha = static_cast<std::uint8_t>(v >> 24);
            image->setPixel(
                x, high - 1 - row,
                {straight(static_cast<std::uint8_t>(v >> 16), alpha), straight(static_cast<std::uint8_t>(v >> 8), alpha),
                 straight(static_cast<std::uint8_t>(v), alpha), alpha});
        }
    }
    image->setSize(size);
    return image;
}

}  // namespace platform::render
