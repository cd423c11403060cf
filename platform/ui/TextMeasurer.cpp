#include "platform/ui/TextMeasurer.hpp"

#include "platform/Services.hpp"
#include "platform/ui/FontMetricsMeasurer.hpp"

#include <algorithm>
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

Size TextMeasurer::wrappedSize(std::string_view text, const TextAttributes& attributes, double width) const {
    Size whole{0, 0};
    std::size_t lineStart = 0;
    while (lineStart < text.size()) {
        // The longest run of whole words from `lineStart` that fits, at least one word.
        std::size_t lineEnd = text.find(' ', text.find_first_not_of(' ', lineStart));
        if (lineEnd == std::string_view::npos) lineEnd = text.size();
        while (lineEnd < text.size()) {
            std::size_t next = text.find(' ', lineEnd + 1);
            if (next == std::string_view::npos) next = text.size();
            if (size(text.substr(lineStart, next - lineStart), attributes).width > width) break;
            lineEnd = next;
        }
        const Size line = size(text.substr(lineStart, lineEnd - lineStart), attributes);
        whole = {std::max(whole.width, line.width), whole.height + line.height};
        lineStart = text.find_first_not_of(' ', lineEnd);
        if (lineStart == std::string_view::npos) break;
    }
    if (whole.height == 0) whole.height = size(text, attributes).height;
    return whole;
}

Size TextMeasurer::sizeOf(std::string_view text, const TextAttributes& attributes) {
    return Services::current().textMeasurer()->size(text, attributes);
}

Size TextMeasurer::wrappedSizeOf(std::string_view text, const TextAttributes& attributes, double width) {
    return Services::current().textMeasurer()->wrappedSize(text, attributes, width);
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
