#pragma once

#include "platform/ui/TextMeasurer.hpp"

#include <memory>

namespace platform::render {

// Measures text as the painter draws it: Pango lines with the shipped fonts.
class PangoTextMeasurer final : public ui::TextMeasurer {
public:
    static std::shared_ptr<PangoTextMeasurer> shared();

    ui::Size size(std::string_view text, const ui::TextAttributes& attributes) const override;
    ui::Size wrappedSize(std::string_view text, const ui::TextAttributes& attributes, double width) const override;
};

}  // namespace platform::render
