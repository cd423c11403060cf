#pragma once

#include "platform/ui/Event.hpp"

namespace corvantis {

// The modifier keys held when the popup opens.
enum class StatusPopupKeys { none, shift, option, shiftOption };

// The combination held during `event`: shift, option or both alone; anything else, caps lock or
// command included, is `none`.
StatusPopupKeys pressedModifiers(const platform::ui::Event& event);

}  // namespace corvantis
