#include "app/LoginViewController.hpp"

#include "app/LoginView.hpp"

namespace corvantis {

void LoginViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "loginViewController", [] { return std::make_shared<LoginViewController>(); },
        [](platform::ui::ViewController&) { return std::make_shared<LoginView>(platform::ui::Rect(0, 0, 300, 400)); });
}

void LoginViewController::hideError() {}

}  // namespace corvantis
