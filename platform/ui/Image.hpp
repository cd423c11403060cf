#pragma once

#include "platform/ui/Color.hpp"
#include "platform/ui/CompositingOperation.hpp"
#include "platform/ui/Rect.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

// A bitmap image: RGBA pixels, one per point when made, and a display size in points that can
// be changed without touching the pixels. Pixel rows count from the bottom, as points do.
// Images are shared objects; named images are registered process-wide. Main thread only.
class Image : public std::enable_shared_from_this<Image> {
public:
    // Straight (not premultiplied) 8-bit components.
    struct Pixel {
        std::uint8_t red = 0;
        std::uint8_t green = 0;
        std::uint8_t blue = 0;
        std::uint8_t alpha = 0;
        friend bool operator==(const Pixel&, const Pixel&) = default;
    };

    // A transparent image of `size` points, its pixel grid rounded up to whole pixels.
    static std::shared_ptr<Image> make(Size size);
    // Makes an image for a name nobody registered, or none; a drawing layer installs one that
    // reads the resources' image files.
    using Loader = std::function<std::shared_ptr<Image>(const std::string& name)>;

    // The image registered under `name`: the same object on every call. A name not registered
    // yet is offered to the loader, and what it makes is registered under it; none when there
    // is none.
    static std::shared_ptr<Image> named(const std::string& name);
    // Forgets every registered name (used between tests).
    static void forgetNames();
    // Installs the loader (none: names are only what was registered).
    static void setLoader(Loader loader);

    // Registers this image under `name`; an empty name unregisters it. Returns false, changing
    // nothing, when another image already holds the name.
    bool setName(const std::string& name);
    const std::string& name() const { return name_; }

    Size size() const { return size_; }
    void setSize(Size size) { size_ = size; }
    int pixelsWide() const { return pixelsWide_; }
    int pixelsHigh() const { return pixelsHigh_; }

    // An unnamed image with the same size and pixels.
    std::shared_ptr<Image> copy() const;

    Pixel pixel(int x, int y) const;
    void setPixel(int x, int y, Pixel value);
    // Paints `color` over the pixels whose centres lie in `rect` (in points), combining it with
    // what is there by `operation`.
    void fill(const Rect& rect, const Color& color, CompositingOperation operation);
    // Counts the changes of the pixels, so that a copy kept elsewhere (a drawing layer's) knows
    // when it is out of date.
    std::uint64_t changeCount() const { return changeCount_; }

private:
    Image(Size size, int pixelsWide, int pixelsHigh);
    std::size_t index(int x, int y) const;

    Size size_;
    int pixelsWide_;
    int pixelsHigh_;
    std::vector<Pixel> pixels_;
    std::string name_;
    std::uint64_t changeCount_ = 0;
};

}  // namespace platform::ui
