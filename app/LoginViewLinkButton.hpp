#pragma once

#include "platform/ui/Button.hpp"

namespace corvantis {

// A link under the login form. A mouse press opens its page at once, by the button's tag
// (0: the trial sign-up, 1: the account login), and only while the login screen is shown; the
// button never highlights, tracks the mouse or sends its action on a click.
class LoginViewLinkButton : public platform::ui::Button {
public:
    using Button::Button;

    static constexpr int signUpTag = 0;
    static constexpr int forgotPasswordTag = 1;

    void mouseDown(const platform::ui::Event& event) override;
};

}  // namespace corvantis
