#pragma once

#include "platform/ui/Image.hpp"

#include <memory>
#include <optional>
#include <string>

namespace corvantis {

// Country flags are named images under their upper-case country code ("DE"), drawn on first use
// from the resources' "flags" folder; a code without a flag gets a neutral placeholder.
class FlagImages {
public:
    static constexpr const char* placeholderName = "FlagPlaceholder";

    // The flag of `countryCode`, else the placeholder.
    static std::shared_ptr<platform::ui::Image> flag(const std::optional<std::string>& countryCode);
};

}  // namespace corvantis
