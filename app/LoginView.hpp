#pragma once

#include "platform/animation/AnimationView.hpp"
#include "platform/ui/Box.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/SecureTextField.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/VisualEffectView.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace corvantis {

// The popup's login screen: the e-mail and password fields, the "Log in" button and the
// "waves" logo behind them, and the whole sign-in road. With stored credentials it signs in by
// itself when it is first placed in the popup. Main queue only.
//
// Form states: ready (fields and button enabled, "Log in"), signing in (all disabled,
// "Logging in..."), signed in (fields disabled until the next `show`, button enabled).
class LoginView : public platform::ui::View {
public:
    explicit LoginView(platform::ui::Rect frame = {});

    // Outlets, connected by the storyboard; the operations use the button, the two fields and
    // the logo, and take the button and fields as always present.
    std::shared_ptr<platform::ui::Button> btnLogin;
    std::shared_ptr<platform::ui::TextField> txtUsername;
    std::shared_ptr<platform::ui::SecureTextField> txtPassword;
    std::shared_ptr<platform::ui::ImageView> imgUsername;
    std::shared_ptr<platform::ui::ImageView> imgPassword;
    std::shared_ptr<platform::ui::Box> borderUsername;
    std::shared_ptr<platform::ui::Box> borderPassword;
    std::shared_ptr<platform::ui::TextField> lblErrorMessage;
    std::shared_ptr<platform::ui::View> viewOverlay;
    std::shared_ptr<platform::ui::VisualEffectView> viewBluredOverlay;
    // Built by the initialiser.
    std::shared_ptr<platform::animation::AnimationView> lottieLogo;

    // Plays the logo (the popup calls this whenever it opens).
    virtual void playAnimation();
    // The sign-in road: validates the typed texts and signs in; "btnLoginClick:".
    void btnLoginClick(platform::ui::Object* sender);
    // Return in the password field; "txtPasswordAction:".
    void txtPasswordAction(platform::ui::Object* sender);
    // Makes the form ready and fades the screen and its logo in over 0.7 s.
    virtual void show();
    // Hides the screen at once (alpha 0: the quit road and the links read that).
    virtual void hide();

    // Fills the form from the stored credentials and may sign in; then the tab order and the
    // placeholders.
    void viewDidMoveToSuperview() override;

private:
    void commonInit();
    // The outcome of a finished sign-in, in a later turn of the main queue.
    void loginFinished(bool success, bool isEmailConfirmed, bool isVpnActive, bool isDnsActive, const std::string& message);
    void noVpnSubscription(bool isDnsActive);
    void signedIn();
    void setFieldsEnabled(bool enabled);
    // A "Login error" sheet; a one-button alert needs no completion.
    static void alert(
        const std::string& text, const std::string& firstButton, std::optional<std::string> secondButton = std::nullopt,
        std::function<void(bool)> completion = [](bool) {});
};

}  // namespace corvantis
