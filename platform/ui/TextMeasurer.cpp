#include "platform/ui/TextMeasurer.hpp"

#include "platform/Services.hpp"
#include "platform/ui/FontMetricsMeasurer.hpp"

#include <mutex>

namespace platform::ui {

namespace {

struct DefaultMeasurer {
    std::mutex mutex;
    std::shared_ptr<TextMeasurer> measurer;
};

DefaultMeasurer& defaultMeasurer() {
    static DefaultMeasurer slot;
    return slot;
}

}  // namespace

Size TextMeasurer::sizeOf(std::string_view text, const TextAttributes& attributes) {
    return Services::current().textMeasurer()->size(text, attributes);
}

std::shared_ptr<TextMeasurer> TextMeasurer::processDefault() {
    auto& slot = defaultMeasurer();
    std::lock_guard lock(slot.mutex);
    if (slot.measurer) return slot.measurer;
    return FontMetricsMeasurer::shared();
}

void TextMeasurer::setProcessDefault(std::shared_ptr<TextMeasurer> measurer) {
    auto& slot = defaultMeasurer();
    std::lock_guard lock(slot.mutex);
    slot.measurer = std::move(measurer);
}

}  // namespace platform::ui
