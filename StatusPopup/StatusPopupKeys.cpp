#include "StatusPopup/StatusPopupKeys.hpp"

namespace corvantis {

StatusPopupKeys pressedModifiers(const platform::ui::Event& event) {
    namespace flags = platform::ui::ModifierFlags;
    switch (event.modifierFlags() & flags::deviceIndependentFlagsMask) {
        case flags::shift | flags::option: return StatusPopupKeys::shiftOption;
        case flags::shift: return StatusPopupKeys::shift;
        case flags::option: return StatusPopupKeys::option;
        default: return StatusPopupKeys::none;
    }
}

}  // namespace corvantis
