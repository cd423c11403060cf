#include "platform/ui/Color.hpp"

#include <algorithm>
#include <ostream>

namespace platform::ui {

namespace {
double clamped(double component) {
    return std::clamp(component, 0.0, 1.0);
}
}  // namespace

Color::Color(ColorSpace space, double red, double green, double blue, double alpha, std::string catalogName)
    : space_(space),
      red_(clamped(red)),
      green_(clamped(green)),
      blue_(clamped(blue)),
      alpha_(clamped(alpha)),
      catalogName_(std::move(catalogName)) {}

Color Color::sRGB(double red, double green, double blue, double alpha) {
    return Color(ColorSpace::sRGB, red, green, blue, alpha);
}

Color Color::calibrated(double red, double green, double blue, double alpha) {
    return Color(ColorSpace::calibratedRGB, red, green, blue, alpha);
}

Color Color::device(double red, double green, double blue, double alpha) {
    return Color(ColorSpace::deviceRGB, red, green, blue, alpha);
}

Color Color::generic(double red, double green, double blue, double alpha) {
    return Color(ColorSpace::genericRGB, red, green, blue, alpha);
}

Color Color::calibratedWhite(double white, double alpha) {
    return Color(ColorSpace::calibratedWhite, white, white, white, alpha);
}

Color Color::white() {
    return calibratedWhite(1.0, 1.0);
}

Color Color::clear() {
    return calibratedWhite(0.0, 0.0);
}

Color Color::windowBackground() {
    return Color(ColorSpace::catalog, 236 / 255.0, 236 / 255.0, 236 / 255.0, 1.0, "windowBackgroundColor");
}

Color Color::systemGray() {
    return Color(ColorSpace::catalog, 142 / 255.0, 142 / 255.0, 147 / 255.0, 1.0, "systemGrayColor");
}

Color Color::controlAccent() {
    return Color(ColorSpace::catalog, 31 / 255.0, 102 / 255.0, 251 / 255.0, 1.0, "controlAccentColor");
}

Color Color::keyboardFocusIndicator() {
    return Color(ColorSpace::catalog, 31 / 255.0, 102 / 255.0, 251 / 255.0, 0.55, "keyboardFocusIndicatorColor");
}

Color Color::usingColorSpace(ColorSpace space) const {
    if (space == ColorSpace::calibratedWhite) {
        // Luminance weights of the usual RGB-to-grey conversion.
        const double level = 0.299 * red_ + 0.587 * green_ + 0.114 * blue_;
        return calibratedWhite(level, alpha_);
    }
    if (space == ColorSpace::catalog) return *this;
    return Color(space, red_, green_, blue_, alpha_);
}

std::ostream& operator<<(std::ostream& stream, const Color& color) {
    stream << "Color(" << static_cast<int>(color.colorSpace()) << ": " << color.redComponent() << ", " << color.greenComponent()
           << ", " << color.blueComponent() << ", " << color.alphaComponent();
    if (!color.catalogName().empty()) stream << ", " << color.catalogName();
    return stream << ")";
}

}  // namespace platform::ui
