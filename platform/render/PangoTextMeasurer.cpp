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

ui::Size PangoTextMeasurer::wrappedSize(std::string_view text, const ui::TextAttributes& attributes, double width) const {
    ui::TextAttributes wrapping = attributes;
    wrapping.paragraphStyle =
        ui::ParagraphStyle{attributes.paragraphStyle.value_or(ui::ParagraphStyle{}).alignment, ui::LineBreakMode::byWordWrapping};
    return TextLayout(ui::AttributedString(std::string(text), wrapping), width).size();
}

}  // namespace platform::render
