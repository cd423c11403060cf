#include "platform/render/PangoTextMeasurer.hpp"

#include "platform/render/TextLayout.hpp"

namespace platform::render {

std::shared_ptr<PangoTextMeasurer> PangoTextMeasurer::shared() {
    static const auto measurer = std::make_shared<PangoTextMeasurer>();
    return measurer;
}

ui::Size PangoTextMeasurer::size(std::string_view text, const ui::TextAttributes& attributes) const {
    return TextLayout(ui::AttributedString(std::string(text), attributes), std::nullopt).size();
}

}  // namespace platform::render
