#pragma once

#include "platform/render/ImageSurface.hpp"

#include <cstdint>
#include <map>
#include <memory>

namespace platform::render {

// The surfaces of the images drawn lately, made once per image and its pixels rather than on every
// picture: a frame that draws the same icon thirty times a second converts it once. An entry
// goes with its image, or when the image's pixels change. Main thread only.
class ImageSurfaceCache {
public:
    static ImageSurfaceCache& shared();

    // The surface showing `image` as it is now.
    cairo_surface_t* surfaceOf(const std::shared_ptr<const ui::Image>& image);

private:
    struct Entry {
        std::weak_ptr<const ui::Image> image;
        std::uint64_t changeCount = 0;
        std::unique_ptr<ImageSurface> surface;
    };

    std::map<const ui::Image*, Entry> entries_;
};

}  // namespace platform::render
