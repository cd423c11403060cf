#include "platform/ui/SecureTextField.hpp"

#include "platform/foundation/Utf8.hpp"

namespace platform::ui {

std::string SecureTextField::displayedString(std::string_view text) const {
    std::string bullets;
    for (std::size_t count = foundation::codePoints(text).size(); count > 0; --count) bullets += "\u2022";
    return bullets;
}

}  // namespace platform::ui
