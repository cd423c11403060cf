#pragma once

#include "app/EditingKeyEquivalents.hpp"
#include "platform/ui/TextField.hpp"

namespace corvantis {

// The login form's e-mail field with the editing shortcuts.
class LoginTextField : public platform::ui::TextField {
public:
    using TextField::TextField;

    bool performKeyEquivalent(const platform::ui::Event& event) override;

private:
    EditingKeyEquivalents shortcuts_;
};

}  // namespace corvantis
