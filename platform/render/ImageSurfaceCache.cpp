#include "platform/render/ImageSurfaceCache.hpp"

namespace platform::render {

ImageSurfaceCache& ImageSurfaceCache::shared() {
    static ImageSurfaceCache cache;
    return cache;
}

cairo_surface_t* ImageSurfaceCache::surfaceOf(const std::shared_ptr<const ui::Image>& image) {
    auto found = entries_.find(image.get());
    // An address can come back for another image once the first is gone.
    if (found != entries_.end() && (found->second.image.lock() != image || found->second.changeCount != image->changeCount())) {
        entries_.erase(found);
        found = entries_.end();
    }
    if (found == entries_.end()) {
        std::erase_if(entries_, [](const auto& entry) { return entry.second.image.expired(); });
        found = entries_.emplace(image.get(), Entry{image, image->changeCount(), std::make_unique<ImageSurface>(*image)}).first;
    }
    return found->second.surface->surface();
}

}  // namespace platform::render
