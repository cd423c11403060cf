#pragma once

#include "platform/ui/Box.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TextAttributes.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/ViewController.hpp"

#include <memory>
#include <optional>
#include <string>

namespace corvantis {

// The login screen's controller, made by the "Main" storyboard as "loginViewController": it
// styles what the login view does not drive (the two links, the field icons, the lines under
// the fields) and shows or hides the error display. Main queue only.
class LoginViewController : public platform::ui::ViewController {
public:
    LoginViewController();

    // Registers the scene "loginViewController" in `storyboard`: the controller, its view
    // and subviews, outlets connected before `viewDidLoad`, actions wired.
    static void registerScene(platform::ui::Storyboard& storyboard);

    // Outlets, connected by the storyboard.
    std::shared_ptr<platform::ui::Button> btnSignUp;
    std::shared_ptr<platform::ui::Button> btnForgotPassword;
    std::shared_ptr<platform::ui::Box> lineLogin;
    std::shared_ptr<platform::ui::Box> linePassword;
    std::shared_ptr<platform::ui::TextField> lblErrorMessage;
    std::shared_ptr<platform::ui::ImageView> imgUsername;
    std::shared_ptr<platform::ui::ImageView> imgPassword;

    // Title attributes of the "Sign up" and "Forgot password?" links, set by `viewDidLoad`.
    std::optional<platform::ui::TextAttributes> attrLeft;
    std::optional<platform::ui::TextAttributes> attrRight;
    std::optional<platform::ui::TextAttributes> placeholderAttributes;

    const platform::ui::Color colorError = platform::ui::Color::sRGB(245.0 / 255, 130.0 / 255, 144.0 / 255, 1.0);
    const platform::ui::Color colorNormal = platform::ui::Color::sRGB(37.0 / 255, 47.0 / 255, 88.0 / 255, 0.05);
    const platform::ui::Color colorActive = platform::ui::Color::sRGB(37.0 / 255, 47.0 / 255, 88.0 / 255, 1.0);

    // A copy of `image` whose opaque pixels take `tint` and whose transparent ones stay
    // transparent; `image` itself is left as it was. None for none.
    static std::shared_ptr<platform::ui::Image> tintedImage(const std::shared_ptr<platform::ui::Image>& image,
                                                            const platform::ui::Color& tint);
    // Hides the error label (its text stays) and puts back the plain icons and line colour.
    virtual void hideError();
    // Shows `message` in the error label and tints icons and lines.
    void showError(const std::string& message);
    // "btnSignUpClick:" and "btnForgotPasswordClick:".
    void btnSignUpClick(platform::ui::Object* sender);
    void btnForgotPasswordClick(platform::ui::Object* sender);

    // The pages of the two links.
    static void openSignUpPage();
    static void openAccountLoginPage();

    void viewDidLoad() override;

private:
    void showIcons(const std::optional<platform::ui::Color>& tint);
    void colourLines(const platform::ui::Color& color);
};

}  // namespace corvantis
