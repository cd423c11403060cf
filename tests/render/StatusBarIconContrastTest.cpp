#include "RenderTestCase.hpp"

#include "platform/render/ResourceImages.hpp"

#include <cmath>

namespace corvantis::testing {
namespace {

using platform::ui::Image;

// The relative luminance of an sRGB colour (components 0 to 1), as contrast ratios are taken.
double luminance(double red, double green, double blue) {
    const auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(red) + 0.7152 * linear(green) + 0.0722 * linear(blue);
}

double contrast(double a, double b) {
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

// The share of the icon's shape (its pixels at least half opaque) that shows with at least 3:1
// contrast against a panel of `panel` grey, once the icon is drawn over it.
double readableShare(const Image& icon, double panel) {
    const double background = luminance(panel, panel, panel);
    int shape = 0;
    int readable = 0;
    for (int y = 0; y < icon.pixelsHigh(); ++y) {
        for (int x = 0; x < icon.pixelsWide(); ++x) {
            const auto pixel = icon.pixel(x, y);
            if (pixel.alpha < 128) continue;
            const double alpha = pixel.alpha / 255.0;
            const auto over = [&](std::uint8_t component) { return component / 255.0 * alpha + panel * (1 - alpha); };
            ++shape;
            if (contrast(luminance(over(pixel.red), over(pixel.green), over(pixel.blue)), background) >= 3) ++readable;
        }
    }
    return shape == 0 ? 0 : static_cast<double>(readable) / shape;
}

class StatusBarIconContrastTest : public RenderTestCase {};

TEST_F(StatusBarIconContrastTest, BothIconsReadOnADarkAndOnALightPanel) {
    platform::render::ResourceImages::install(2);
    const double darkPanel = 0x2a / 255.0;
    const double lightPanel = 0xf0 / 255.0;
    for (const char* name : {"StatusBarIconInactive", "StatusBarIconActive"}) {
        const auto icon = Image::named(name);
        ASSERT_TRUE(icon) << name;
        // Nearly all of the shape: a mark drawn inside it may be lighter than the light panel.
        EXPECT_GE(readableShare(*icon, darkPanel), 0.8) << name << " on #2a2a2a";
        EXPECT_GE(readableShare(*icon, lightPanel), 0.8) << name << " on #f0f0f0";
    }
}

}  // namespace
}  // namespace corvantis::testing
