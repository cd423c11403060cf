#include "platform/ui/Image.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>

namespace platform::ui {

namespace {

std::map<std::string, std::shared_ptr<Image>>& registry() {
    static std::map<std::string, std::shared_ptr<Image>> images;
    return images;
}

Image::Loader& installedLoader() {
    static Image::Loader installed;
    return installed;
}

// Porter-Duff factors of source and destination for premultiplied colours.
struct Factors {
    double source;
    double destination;
};

Factors factors(CompositingOperation operation, double sourceAlpha, double destinationAlpha) {
    switch (operation) {
        case CompositingOperation::clear: return {0, 0};
        case CompositingOperation::copy: return {1, 0};
        case CompositingOperation::sourceOver: return {1, 1 - sourceAlpha};
        case CompositingOperation::sourceIn: return {destinationAlpha, 0};
        case CompositingOperation::sourceOut: return {1 - destinationAlpha, 0};
        case CompositingOperation::sourceAtop: return {destinationAlpha, 1 - sourceAlpha};
        case CompositingOperation::destinationOver: return {1 - destinationAlpha, 1};
        case CompositingOperation::destinationIn: return {0, sourceAlpha};
        case CompositingOperation::destinationOut: return {0, 1 - sourceAlpha};
        case CompositingOperation::destinationAtop: return {1 - destinationAlpha, sourceAlpha};
        case CompositingOperation::exclusiveOr: return {1 - destinationAlpha, 1 - sourceAlpha};
    }
    throw std::invalid_argument("unknown compositing operation");
}

std::uint8_t toByte(double fraction) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(fraction, 0.0, 1.0) * 255.0));
}

Image::Pixel composite(const Image::Pixel& destination, const Color& color, CompositingOperation operation) {
    const Color rgb = color.usingColorSpace(ColorSpace::sRGB);
    const double sourceAlpha = rgb.alphaComponent();
    const double destinationAlpha = destination.alpha / 255.0;
    const Factors f = factors(operation, sourceAlpha, destinationAlpha);
    const double alpha = sourceAlpha * f.source + destinationAlpha * f.destination;
    if (alpha <= 0) return {};
    auto channel = [&](double source, std::uint8_t existing) {
        const double premultiplied = source * sourceAlpha * f.source + (existing / 255.0) * destinationAlpha * f.destination;
        return toByte(premultiplied / alpha);
    };
    return {channel(rgb.redComponent(), destination.red), channel(rgb.greenComponent(), destination.green),
            channel(rgb.blueComponent(), destination.blue), toByte(alpha)};
}

}  // namespace

Image::Image(Size size, int pixelsWide, int pixelsHigh)
    : size_(size),
      pixelsWide_(pixelsWide),
      pixelsHigh_(pixelsHigh),
      pixels_(static_cast<std::size_t>(pixelsWide) * static_cast<std::size_t>(pixelsHigh)) {}

std::shared_ptr<Image> Image::make(Size size) {
    const int wide = static_cast<int>(std::ceil(std::max(size.width, 0.0)));
    const int high = static_cast<int>(std::ceil(std::max(size.height, 0.0)));
    return std::shared_ptr<Image>(new Image(size, wide, high));
}

std::shared_ptr<Image> Image::named(const std::string& name) {
    const auto found = registry().find(name);
    if (found != registry().end()) return found->second;
    if (name.empty() || !installedLoader()) return nullptr;
    auto loaded = installedLoader()(name);
    if (!loaded || !loaded->setName(name)) return nullptr;
    return loaded;
}

void Image::setLoader(Loader loader) {
    installedLoader() = std::move(loader);
}

void Image::forgetNames() {
    for (auto& [name, image] : registry()) image->name_.clear();
    registry().clear();
}

bool Image::setName(const std::string& name) {
    if (name == name_) return true;
    if (!name.empty() && registry().count(name) != 0) return false;
    if (!name_.empty()) registry().erase(name_);
    name_ = name;
    if (!name.empty()) registry().emplace(name, shared_from_this());
    return true;
}

std::shared_ptr<Image> Image::copy() const {
    std::shared_ptr<Image> duplicate(new Image(size_, pixelsWide_, pixelsHigh_));
    duplicate->pixels_ = pixels_;
    return duplicate;
}

std::size_t Image::index(int x, int y) const {
    if (x < 0 || y < 0 || x >= pixelsWide_ || y >= pixelsHigh_) {
        throw std::out_of_range("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is outside a " +
                                std::to_string(pixelsWide_) + " x " + std::to_string(pixelsHigh_) + " image");
    }
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(pixelsWide_) + static_cast<std::size_t>(x);
}

Image::Pixel Image::pixel(int x, int y) const {
    return pixels_[index(x, y)];
}

void Image::setPixel(int x, int y, Pixel value) {
    pixels_[index(x, y)] = value;
    ++changeCount_;
}

void Image::fill(const Rect& rect, const Color& color, CompositingOperation operation) {
    if (size_.width <= 0 || size_.height <= 0) return;
    ++changeCount_;
    const double xScale = pixelsWide_ / size_.width;
    const double yScale = pixelsHigh_ / size_.height;
    for (int y = 0; y < pixelsHigh_; ++y) {
        for (int x = 0; x < pixelsWide_; ++x) {
            const Point centre{(x + 0.5) / xScale, (y + 0.5) / yScale};
            if (!rect.contains(centre)) continue;
            Pixel& target = pixels_[index(x, y)];
            target = composite(target, color, operation);
        }
    }
}

}  // namespace platform::ui
