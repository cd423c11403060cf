#include "app/LoginViewLinkButton.hpp"

#include "app/LoginViewController.hpp"
#include "app/MainWindow.hpp"

namespace corvantis {

void LoginViewLinkButton::mouseDown(const platform::ui::Event&) {
    const auto& loginView = MainWindow::shared().loginView;
    if (!loginView || loginView->alphaValue() == 0) return;
    switch (tag()) {
        case signUpTag: LoginViewController::openSignUpPage(); break;
        case forgotPasswordTag: LoginViewController::openAccountLoginPage(); break;
        default: break;
    }
}

}  // namespace corvantis
