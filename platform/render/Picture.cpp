#include "platform/render/Picture.hpp"

#include <cmath>
#include <cstdint>
#include <utility>

namespace platform::render {

Picture::Picture(int pixelsWide, int pixelsHigh, double scale)
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelsWide, pixelsHigh)), scale_(scale) {}

Picture::~Picture() {
    if (surface_) cairo_surface_destroy(surface_);
}

Picture::Picture(Picture&& other) noexcept : surface_(std::exchange(other.surface_, nullptr)), scale_(other.scale_) {}

ui::Image::Pixel Picture::pixel(int x, int row) const {
    if (x < 0 || row < 0 || x >= pixelsWide() || row >= pixelsHigh()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* data = cairo_image_surface_get_data(surface_);
    const auto value = reinterpret_cast<const std::uint32_t*>(data + static_cast<std::ptrdiff_t>(row) *
                                                                         cairo_image_surface_get_stride(surface_))[x];
    const auto alpha = static_cast<std::uint8_t>(value >> 24);
    auto straight = [alpha](std::uint32_t component) {
        return static_cast<std::uint8_t>(
            alpha == 0 ? 0 : std::min<std::uint32_t>(255, ((component & 0xff) * 255 + alpha / 2) / alpha));
    };
    return {straight(value >> 16), straight(value >> 8), straight(value), alpha};
}

ui::Image::Pixel Picture::pixelAt(ui::Point point) const {
    const int x = static_cast<int>(std::floor(point.x * scale_));
    const int fromBottom = static_cast<int>(std::floor(point.y * scale_));
    return pixel(x, pixelsHigh() - 1 - fromBottom);
}

foundation::Expected<void> Picture::writePng(const std::filesystem::path& file) const {
    const cairo_status_t status = cairo_surface_write_to_png(surface_, file.c_str());
    if (status != CAIRO_STATUS_SUCCESS) {
        return foundation::Error{0, "Cannot write " + file.string() + ": " + cairo_status_to_string(status)};
    }
    return {};
}

foundation::Expected<Picture> Picture::readPng(const std::filesystem::path& file, double scale) {
    cairo_surface_t* read = cairo_image_surface_create_from_png(file.c_str());
    const cairo_status_t status = cairo_surface_status(read);
    if (status != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(read);
        return foundation::Error{0, "Cannot read " + file.string() + ": " + cairo_status_to_string(status)};
    }
    Picture picture(cairo_image_surface_get_width(read), cairo_image_surface_get_height(read), scale);
    cairo_t* cr = cairo_create(picture.surface_);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, read, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(read);
    return picture;
}

}  // namespace platform::render
