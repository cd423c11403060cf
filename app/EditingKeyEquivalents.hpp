#pragma once

#include "platform/ui/Event.hpp"
#include "platform/ui/Object.hpp"

#include <cstdint>

namespace corvantis {

// The editing shortcuts of the login form's fields: Command with X, C, V, Z or A, and
// Command-Shift-Z, sent as cut, copy, paste, undo, select all and redo along the responder
// chain. On Linux keyboards Control sets the Command flag. Main queue only.
class EditingKeyEquivalents {
public:
    // True when the event was one of the shortcuts and some responder performed its action;
    // the field then stops there, otherwise its own class has the event.
    bool perform(const platform::ui::Event& event, platform::ui::Object& field) const;

private:
    // The masked flags must equal these exactly: Caps Lock, Option or Control as well is no shortcut.
    std::uint64_t commandKey = 0x100000;
    std::uint64_t commandShiftKey = 0x120000;
};

}  // namespace corvantis
