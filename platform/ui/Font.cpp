#include "platform/ui/Font.hpp"

#include "platform/ui/FontRegistry.hpp"

namespace platform::ui {

Font::Font(std::string name, double size, double weight, std::shared_ptr<const FontFile> file)
    : name_(std::move(name)), size_(size > 0 ? size : defaultSize), weight_(weight), file_(std::move(file)) {}

std::optional<Font> Font::named(const std::string& name, double size) {
    auto face = FontRegistry::shared().face(name);
    if (!face) return std::nullopt;
    return Font(face->name, size, weightRegular, std::move(face->file));
}

Font Font::system(double size, double weight) {
    return Font(FontRegistry::systemFaceName, size, weight, nullptr);
}

}  // namespace platform::ui
