#pragma once

#include "app/EditingKeyEquivalents.hpp"
#include "platform/ui/SecureTextField.hpp"

namespace corvantis {

// The login form's password field with the editing shortcuts. Cut and copy are sent like in
// the e-mail field, but the secure field keeps its text off the pasteboard.
class PasswordSecureTextField : public platform::ui::SecureTextField {
public:
    using SecureTextField::SecureTextField;

    bool performKeyEquivalent(const platform::ui::Event& event) override;

private:
    EditingKeyEquivalents shortcuts_;
};

}  // namespace corvantis
