#include "platform/ui/FontMetricsMeasurer.hpp"

#include "platform/foundation/Utf8.hpp"

namespace platform::ui {

std::shared_ptr<FontMetricsMeasurer> FontMetricsMeasurer::shared() {
    static const auto measurer = std::make_shared<FontMetricsMeasurer>();
    return measurer;
}

Size FontMetricsMeasurer::size(std::string_view text, const TextAttributes& attributes) const {
    const Font font = attributes.font ? *attributes.font : Font::system(Font::defaultSize);
    const auto characters = foundation::codePoints(text);
    const double points = font.pointSize();
    const FontFile* file = font.file();
    if (file == nullptr) return {0.5 * points * static_cast<double>(characters.size()), 1.2 * points};

    long long units = 0;
    for (char32_t character : characters) units += file->advance(character);
    const double scale = points / file->unitsPerEm();
    return {static_cast<double>(units) * scale, (file->ascender() - file->descender() + file->lineGap()) * scale};
}

}  // namespace platform::ui
