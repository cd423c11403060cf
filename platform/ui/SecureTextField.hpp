#pragma once

#include "platform/ui/TextField.hpp"

namespace platform::ui {

// A field for a password: it shows a bullet per character, and its text never reaches the
// pasteboard (cut and copy do nothing, though the field still takes them).
class SecureTextField : public TextField {
public:
    using TextField::TextField;

protected:
    bool allowsCopying() const override { return false; }
    std::string displayedString(std::string_view text) const override;
};

}  // namespace platform::ui
