#pragma once

#include "platform/ui/Storyboard.hpp"
#include "platform/ui/ViewController.hpp"

#include <memory>

namespace corvantis {

// The login screen's controller, made by the "Main" storyboard as "loginViewController".
class LoginViewController : public platform::ui::ViewController {
public:
    // Registers the scene "loginViewController" in `storyboard`: the controller, its view
    // and subviews, outlets connected before `viewDidLoad`, actions wired.
    static void registerScene(platform::ui::Storyboard& storyboard);

    // Hides the error label.
    virtual void hideError();
};

}  // namespace corvantis
