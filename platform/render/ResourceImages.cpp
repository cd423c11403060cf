#include "platform/render/ResourceImages.hpp"

#include "platform/foundation/Console.hpp"
#include "platform/foundation/ResourceDirectory.hpp"
#include "platform/render/ImageSurface.hpp"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <sstream>

namespace platform::render {

namespace {

foundation::Expected<std::string> contents(const std::filesystem::path& file) {
    std::ifstream stream(file, std::ios::binary);
    if (!stream) return foundation::Error{0, "Cannot read " + file.string()};
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

foundation::Expected<std::shared_ptr<ui::Image>> drawnSvg(const std::filesystem::path& file, double scale) {
    auto text = contents(file);
    if (!text) return text.error();
    GError* error = nullptr;
    RsvgHandle* handle =
        rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(text.value().data()), text.value().size(), &error);
    if (!handle) {
        foundation::Error failure{0, file.string() + ": " + (error ? error->message : "not an SVG image")};
        if (error) g_error_free(error);
        return failure;
    }
    double width = 0;
    double height = 0;
    if (!rsvg_handle_get_intrinsic_size_in_pixels(handle, &width, &height)) {
        gboolean hasViewBox = FALSE;
        RsvgRectangle viewBox{};
        rsvg_handle_get_intrinsic_dimensions(handle, nullptr, nullptr, nullptr, nullptr, &hasViewBox, &viewBox);
        if (hasViewBox && viewBox.width > 0 && viewBox.height > 0) {
            const double fit = ResourceImages::boxOnlySize / std::max(viewBox.width, viewBox.height);
            width = viewBox.width * fit;
            height = viewBox.height * fit;
        }
    }
    if (width <= 0 || height <= 0) {
        g_object_unref(handle);
        return foundation::Error{0, file.string() + ": the image has no size"};
    }
    const int wide = static_cast<int>(std::ceil(width * scale));
    const int high = static_cast<int>(std::ceil(height * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, wide, high);
    cairo_t* cr = cairo_create(surface);
    const RsvgRectangle viewport{0, 0, static_cast<double>(wide), static_cast<double>(high)};
    const bool drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    g_object_unref(handle);
    if (!drawn) {
        foundation::Error failure{0, file.string() + ": " + (error ? error->message : "cannot be drawn")};
        if (error) g_error_free(error);
        cairo_surface_destroy(surface);
        return failure;
    }
    auto image = ImageSurface::toImage(surface, {width, height});
    cairo_surface_destroy(surface);
    return image;
}

foundation::Expected<std::shared_ptr<ui::Image>> readPng(const std::filesystem::path& file) {
    cairo_surface_t* surface = cairo_image_surface_create_from_png(file.c_str());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        foundation::Error failure{0, file.string() + ": " + cairo_status_to_string(cairo_surface_status(surface))};
        cairo_surface_destroy(surface);
        return failure;
    }
    // Any PNG becomes ARGB32 first, the layout the image conversion reads.
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, cairo_image_surface_get_width(surface),
                                                       cairo_image_surface_get_height(surface));
    cairo_t* cr = cairo_create(argb);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    auto image = ImageSurface::toImage(argb, {static_cast<double>(cairo_image_surface_get_width(argb)),
                                              static_cast<double>(cairo_image_surface_get_height(argb))});
    cairo_surface_destroy(argb);
    return image;
}

}  // namespace

void ResourceImages::install(double scale) {
    ui::Image::setLoader([scale](const std::string& name) { return load(name, scale); });
}

foundation::Expected<std::shared_ptr<ui::Image>> ResourceImages::loadFile(const std::filesystem::path& file, double scale) {
    return file.extension() == ".png" ? readPng(file) : drawnSvg(file, scale);
}

std::shared_ptr<ui::Image> ResourceImages::load(const std::string& name, double scale) {
    // Names become file names: nothing that could leave the folders.
    if (name.empty() || name.find('/') != std::string::npos || name.front() == '.') return nullptr;
    const auto resources = foundation::resourceDirectory();
    std::string lower = name;
    std::ranges::transform(lower, lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const auto& file : {resources / "images" / (name + ".svg"), resources / "images" / (name + ".png"),
                             resources / "flags" / (lower + ".svg")}) {
        std::error_code error;
        if (!std::filesystem::is_regular_file(file, error)) continue;
        auto image = loadFile(file, scale);
        if (image) return image.value();
        foundation::consoleLog("Image \"" + name + "\" cannot be used: " + image.error().message);
        return nullptr;
    }
    return nullptr;
}

}  // namespace platform::render
