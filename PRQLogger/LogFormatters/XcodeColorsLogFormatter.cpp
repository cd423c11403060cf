#include "PRQLogger/LogFormatters/XcodeColorsLogFormatter.hpp"

#include "PRQLogger/LogFormatters/RgbDescription.hpp"
#include "platform/ui/Color.hpp"

#include <cmath>

namespace prq {

namespace {
std::int64_t inRangeOrZero(std::int64_t component) {
    return component < 0 || component > 255 ? 0 : component;
}

std::int64_t scaled(double fraction) {
    const double value = std::trunc(fraction * 255.0);
    // Beyond the integer range a conversion would be undefined; such values come from no real colour.
    if (!std::isfinite(value) || std::fabs(value) > 1e15) return 0;
    return static_cast<std::int64_t>(value);
}

}  // namespace

using XcodeColor = XcodeColorsLogFormatter::XcodeColor;

XcodeColor::XcodeColor(const platform::ui::Color& color) {
    const auto calibrated = color.usingColorSpace(platform::ui::ColorSpace::calibratedRGB);
    red_ = scaled(calibrated.redComponent());
    green_ = scaled(calibrated.greenComponent());
    blue_ = scaled(calibrated.blueComponent());
}

void XcodeColor::setRed(std::int64_t red) {
    red_ = inRangeOrZero(red);
}
void XcodeColor::setGreen(std::int64_t green) {
    green_ = inRangeOrZero(green);
}
void XcodeColor::setBlue(std::int64_t blue) {
    blue_ = inRangeOrZero(blue);
}

std::string XcodeColor::components() const {
    return std::to_string(red_) + "," + std::to_string(green_) + "," + std::to_string(blue_);
}

std::string XcodeColor::foregroundCode() const {
    return "fg" + components();
}

std::string XcodeColor::backgroundCode() const {
    return "bg" + components();
}

std::string XcodeColor::description() const {
    return rgbDescription(red_, green_, blue_);
}

XcodeColorsLogFormatter::XcodeColorsLogFormatter(CreationKey key) : LevelColorLogFormatter(key, reset) {}

void XcodeColorsLogFormatter::colorize(Level level, const std::optional<XcodeColor>& with, const std::optional<XcodeColor>& on) {
    if (!with && !on) {
        setEntries(level, std::string(reset), "None");
        return;
    }
    const std::string text = with ? std::string(escape) + with->foregroundCode() + ";" : std::string(resetForeground);
    const std::string background = on ? std::string(escape) + on->backgroundCode() + ";" : std::string(resetBackground);
    setEntries(level, text + background,
               (with ? with->description() : "Default") + " on " + (on ? on->description() : "Default"));
}

void XcodeColorsLogFormatter::resetFormatting() {
    colorize(Level::verbose, XcodeColors::lightGrey);
    colorize(Level::debug, XcodeColors::darkGrey);
    colorize(Level::info, XcodeColors::blue);
    colorize(Level::warning, XcodeColors::orange);
    colorize(Level::error, XcodeColors::red);
    colorize(Level::severe, XcodeColors::white, XcodeColors::red);
    colorize(Level::none);
}

void XcodeColorsLogFormatter::clearFormatting() {
    for (const Level level : schemeLevels) colorize(level);
}

}  // namespace prq
