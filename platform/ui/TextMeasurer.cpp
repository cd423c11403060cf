#include "platform/ui/TextMeasurer.hpp"

#include "platform/Services.hpp"

namespace platform::ui {

Size TextMeasurer::sizeOf(std::string_view text, const TextAttributes& attributes) {
    return Services::current().textMeasurer()->size(text, attributes);
}

}  // namespace platform::ui
