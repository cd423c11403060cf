#include "app/FlagImages.hpp"

namespace corvantis {

std::shared_ptr<platform::ui::Image> FlagImages::flag(const std::optional<std::string>& countryCode) {
    auto image = countryCode ? platform::ui::Image::named(*countryCode) : nullptr;
    return image ? image : platform::ui::Image::named(placeholderName);
}

}  // namespace corvantis
