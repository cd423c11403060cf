#include "platform/ui/SoftShadow.hpp"

#include <cmath>

namespace platform::ui {

void paintSoftShadow(GraphicsContext& context, BezierPath outline, Point offset, double radius, const Color& color) {
    const int passes = static_cast<int>(std::ceil(radius));
    if (passes <= 0) return;
    // Each pass reaches one point less far; where n passes overlap the shade is 1 − (1 − α)ⁿ.
    const Color rgb = color.usingColorSpace(ColorSpace::sRGB);
    const Color pass = Color::sRGB(rgb.redComponent(), rgb.greenComponent(), rgb.blueComponent(),
                                   1 - std::pow(1 - rgb.alphaComponent(), 1.0 / passes));
    context.saveGraphicsState();
    context.translate(offset.x, offset.y);
    for (int reach = passes; reach > 0; --reach) {
        outline.setLineWidth(2.0 * radius * reach / passes);
        context.stroke(outline, pass);
    }
    context.restoreGraphicsState();
}

}  // namespace platform::ui
