#pragma once

#include "platform/ui/TextMeasurer.hpp"

#include <memory>

namespace platform::ui {

// Measures with the advance widths and line height of the font's file, without kerning.
// The system face has no file here: it is taken as half an em per character and 1.2 em high.
class FontMetricsMeasurer final : public TextMeasurer {
public:
    static std::shared_ptr<FontMetricsMeasurer> shared();

    Size size(std::string_view text, const TextAttributes& attributes) const override;
};

}  // namespace platform::ui
