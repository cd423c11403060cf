#include "app/LoginTextField.hpp"

namespace corvantis {

bool LoginTextField::performKeyEquivalent(const platform::ui::Event& event) {
    return shortcuts_.perform(event, *this) || TextField::performKeyEquivalent(event);
}

}  // namespace corvantis
