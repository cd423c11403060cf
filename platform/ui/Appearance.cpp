#include "platform/ui/Appearance.hpp"

namespace platform::ui {

namespace {
Appearance& installed() {
    static Appearance appearance;
    return appearance;
}
}  // namespace

Font Appearance::font(double size) const {
    if (faceName.empty()) return Font::system(size);
    return Font::named(faceName, size).value_or(Font::system(size));
}

const Appearance& Appearance::current() {
    return installed();
}

void Appearance::setCurrent(Appearance appearance) {
    installed() = std::move(appearance);
}

void Appearance::reset() {
    installed() = Appearance{};
}

}  // namespace platform::ui
