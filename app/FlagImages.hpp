#pragma once

#include "platform/ui/Image.hpp"

#include <memory>
#include <optional>
#include <string>

namespace corvantis {

// Country flags as named images: each under its upper-case country code ("DE"), at the size a
// city row draws it. They come from the resources' "flags" folder, one SVG per code ("de.svg");
// a code without a flag gets a neutral placeholder. Main queue only.
class FlagImages {
public:
    static constexpr const char* placeholderName = "FlagPlaceholder";
    static constexpr platform::ui::Size size{24, 18};

    // Registers every flag of the folder and the placeholder. A name that an image already
    // holds keeps that image, so registering twice changes nothing.
    static void registerAll();
    // The flag registered under `countryCode`, else the placeholder.
    static std::shared_ptr<platform::ui::Image> flag(const std::optional<std::string>& countryCode);
};

}  // namespace corvantis
