#include "app/PasswordSecureTextField.hpp"

namespace corvantis {

bool PasswordSecureTextField::performKeyEquivalent(const platform::ui::Event& event) {
    return shortcuts_.perform(event, *this) || SecureTextField::performKeyEquivalent(event);
}

}  // namespace corvantis
