#include "platform/render/OffscreenRenderer.hpp"

#include <cmath>

namespace platform::render {

Picture OffscreenRenderer::draw(ui::Window& window) {
    const ui::Size size = window.frame().size;
    Picture picture(static_cast<int>(std::ceil(size.width * scale_)), static_cast<int>(std::ceil(size.height * scale_)), scale_);
    cairo_t* cr = cairo_create(picture.surface());
    renderer_.render(window, cr, scale_);
    cairo_destroy(cr);
    return picture;
}

foundation::Expected<void> OffscreenRenderer::writePng(ui::Window& window, const std::filesystem::path& file) {
    return draw(window).writePng(file);
}

}  // namespace platform::render
