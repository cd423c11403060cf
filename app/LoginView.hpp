#pragma once

#include "platform/ui/View.hpp"

#include <memory>

namespace corvantis {

// The popup's login screen. Main queue only.
class LoginView : public platform::ui::View {
public:
    using View::View;

    // Fades the screen in; the first time, signs in by itself with the stored credentials.
    virtual void show();
    virtual void hide();
    // Plays the "waves" animation from its start.
    virtual void playAnimation();
};

}  // namespace corvantis
