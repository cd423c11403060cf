#include "platform/ui/SecureTextField.hpp"

#include "platform/foundation/Utf8.hpp"
#include "platform/ui/BezierPath.hpp"
#include "platform/ui/GraphicsContext.hpp"

namespace platform::ui {

namespace {
// A bullet's advance, in bullet diameters: the gaps as wide as a little more than half a bullet.
constexpr double bulletAdvance = 1.6;
}  // namespace

std::string SecureTextField::displayedString(std::string_view text) const {
    std::string bullets;
    for (std::size_t count = foundation::codePoints(text).size(); count > 0; --count) bullets += "\u2022";
    return bullets;
}

double SecureTextField::bulletSize() const {
    const TextAttributes attributes = textAttributes();
    const Font face = attributes.font.value_or(Font::system(Font::defaultSize));
    const FontFile* file = face.file();
    return file != nullptr ? face.pointSize() * file->xHeight() / file->unitsPerEm() : face.pointSize() / 2;
}

double SecureTextField::widthOf(std::string_view text) const {
    return static_cast<double>(foundation::codePoints(text).size()) * bulletSize() * bulletAdvance;
}

void SecureTextField::drawLine(GraphicsContext& context, std::string_view text, const Rect& box) const {
    // Drawn shapes rather than the face's bullet glyph, which is a dot of a pixel or two at the
    // sizes fields use.
    const double size = bulletSize();
    const Color color = textAttributes().foregroundColor.value_or(Color::calibratedWhite(0, 1));
    const std::size_t count = foundation::codePoints(text).size();
    for (std::size_t index = 0; index < count; ++index) {
        const double x = box.minX() + (static_cast<double>(index) * bulletAdvance + (bulletAdvance - 1) / 2) * size;
        context.fill(BezierPath::oval(Rect(x, box.midY() - size / 2, size, size)), color);
    }
}

}  // namespace platform::ui
