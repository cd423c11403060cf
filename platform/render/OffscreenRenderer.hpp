#pragma once

#include "platform/render/Picture.hpp"
#include "platform/render/ViewTreeRenderer.hpp"

#include <filesystem>

namespace platform::render {

// The back end without a display: a window's content drawn into a picture in memory, or into a
// PNG file, at a device scale.
class OffscreenRenderer {
public:
    explicit OffscreenRenderer(double scale = 1.0) : scale_(scale) {}

    Picture draw(ui::Window& window);
    foundation::Expected<void> writePng(ui::Window& window, const std::filesystem::path& file);

private:
    double scale_;
    ViewTreeRenderer renderer_;
};

}  // namespace platform::render
