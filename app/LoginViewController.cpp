#include "app/LoginViewController.hpp"

#include "app/FontHelper.hpp"
#include "app/LoginButtonCell.hpp"
#include "app/LoginTextField.hpp"
#include "app/LoginView.hpp"
#include "app/LoginViewLinkButton.hpp"
#include "app/MyButton.hpp"
#include "app/PasswordSecureTextField.hpp"
#include "app/ScreenColors.hpp"
#include "app/WebPages.hpp"

namespace corvantis {

namespace {
using namespace platform::ui;

constexpr const char* emailIcon = "EmailIcon";
constexpr const char* passwordIcon = "PasswordIcon";
constexpr const char* signUpPath = "/account/signup/trial";
constexpr const char* accountLoginPath = "/account/login/index";

constexpr double errorTextSize = 11.0;

template <class Made>
std::shared_ptr<Made> placed(View& parent, Rect frame) {
    auto made = std::make_shared<Made>(frame);
    parent.addSubview(made);
    return made;
}

std::shared_ptr<Button> linkButton(View& parent, Rect frame, int tag, const Selector& action,
                                   const std::shared_ptr<Responder>& target) {
    auto link = placed<LoginViewLinkButton>(parent, frame);
    link->setTag(tag);
    link->setAction(action);
    link->setTarget(target);
    return link;
}

// The login scene as the interface definition lays it out in the popup's 300 × 400 content
// area (y upwards): the two fields with their icons, frames and lines, the error label, the
// button and the two links; the logo lies behind them all.
std::shared_ptr<View> loadLoginScene(ViewController& owner) {
    auto& controller = static_cast<LoginViewController&>(owner);
    auto view = std::make_shared<LoginView>(Rect(0, 0, 300, 400));

    view->viewOverlay = placed<View>(*view, view->bounds());
    view->viewOverlay->setHidden(true);
    view->viewBluredOverlay = placed<VisualEffectView>(*view, view->bounds());
    view->viewBluredOverlay->setHidden(true);

    view->borderUsername = placed<Box>(*view, Rect(30, 290, 240, 36));
    view->imgUsername = placed<ImageView>(*view, Rect(40, 300, 16, 16));
    auto username = placed<LoginTextField>(*view, Rect(66, 296, 196, 24));
    controller.lineLogin = placed<Box>(*view, Rect(30, 289, 240, 1));

    view->borderPassword = placed<Box>(*view, Rect(30, 240, 240, 36));
    view->imgPassword = placed<ImageView>(*view, Rect(40, 250, 16, 16));
    auto password = placed<PasswordSecureTextField>(*view, Rect(66, 246, 196, 24));
    controller.linePassword = placed<Box>(*view, Rect(30, 239, 240, 1));
    for (const auto& field : {std::static_pointer_cast<TextField>(username), std::static_pointer_cast<TextField>(password)}) {
        field->setFont(montserratMediumFont(12.0));
        field->setTextColor(darkTextColor());
    }
    password->setTarget(view);
    password->setAction("txtPasswordAction:");
    view->txtUsername = username;
    view->txtPassword = password;

    // Wide enough for every sign-in message in two lines, centred under the form.
    view->lblErrorMessage = placed<TextField>(*view, Rect(15, 198, 270, 38));
    view->lblErrorMessage->setEditable(false);
    view->lblErrorMessage->setSelectable(false);
    view->lblErrorMessage->setFont(montserratMediumFont(errorTextSize));
    view->lblErrorMessage->setAlignment(TextAlignment::center);
    view->lblErrorMessage->setTextColor(controller.colorError);

    // The button's body is the top 39 points of its image, its shadow the 5 below, where the
    // cell leaves the title out.
    auto login = placed<MyButton>(*view, Rect(30, 150, 240, 44));
    login->setCell(std::make_shared<LoginButtonCell>());
    login->setImage(Image::named("LoginButton"));
    login->setAlternateImage(Image::named("LoginButtonPressed"));
    login->setTitle("Log in");
    login->setTarget(view);
    login->setAction("btnLoginClick:");
    view->btnLogin = login;

    const auto target = std::static_pointer_cast<Responder>(controller.shared_from_this());
    controller.btnSignUp = linkButton(*view, Rect(30, 110, 110, 20), LoginViewLinkButton::signUpTag, "btnSignUpClick:", target);
    controller.btnForgotPassword =
        linkButton(*view, Rect(160, 110, 110, 20), LoginViewLinkButton::forgotPasswordTag, "btnForgotPasswordClick:", target);

    controller.lblErrorMessage = view->lblErrorMessage;
    controller.imgUsername = view->imgUsername;
    controller.imgPassword = view->imgPassword;
    return view;
}
}  // namespace

LoginViewController::LoginViewController() {
    setActionHandler("btnSignUpClick:", [this](Object* sender) { btnSignUpClick(sender); });
    setActionHandler("btnForgotPasswordClick:", [this](Object* sender) { btnForgotPasswordClick(sender); });
}

void LoginViewController::registerScene(Storyboard& storyboard) {
    storyboard.registerScene(
        "loginViewController", [] { return std::make_shared<LoginViewController>(); }, loadLoginScene);
}

void LoginViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    const ParagraphStyle left{TextAlignment::left};
    const ParagraphStyle right{TextAlignment::right};
    const auto linkColor = Color::sRGB(0.2, 89.0 / 255, 1.0, 0.7);
    attrLeft = TextAttributes{montserratMediumFont(12.0), linkColor, left, TextAttributes::underlineSingle};
    attrRight = TextAttributes{montserratMediumFont(12.0), linkColor, right, TextAttributes::underlineSingle};
    placeholderAttributes = TextAttributes{std::nullopt, darkTextColor(), std::nullopt, std::nullopt};

    lblErrorMessage->setHidden(true);
    showIcons(std::nullopt);
    colourLines(colorNormal);
    btnForgotPassword->setAttributedTitle(AttributedString("Forgot password?", *attrRight));
    btnSignUp->setAttributedTitle(AttributedString("Sign up", *attrLeft));
}

std::shared_ptr<Image> LoginViewController::tintedImage(const std::shared_ptr<Image>& image, const Color& tint) {
    if (!image) return nullptr;
    auto tinted = image->copy();
    if (!tinted) return image;
    tinted->fill(Rect(Point{}, image->size()), tint, CompositingOperation::sourceAtop);
    return tinted;
}

void LoginViewController::hideError() {
    lblErrorMessage->setHidden(true);
    showIcons(std::nullopt);
    colourLines(colorNormal);
}

void LoginViewController::showError(const std::string& message) {
    lblErrorMessage->setHidden(false);
    lblErrorMessage->setStringValue(message);
    showIcons(colorError);
    colourLines(colorError);
}

void LoginViewController::showIcons(const std::optional<Color>& tint) {
    const auto icon = [&tint](const char* name) {
        const auto image = Image::named(name);
        return tint ? tintedImage(image, *tint) : image;
    };
    imgUsername->setImage(icon(emailIcon));
    imgPassword->setImage(icon(passwordIcon));
}

void LoginViewController::colourLines(const Color& color) {
    lineLogin->setFillColor(color);
    linePassword->setFillColor(color);
}

void LoginViewController::btnSignUpClick(Object*) {
    openSignUpPage();
}

void LoginViewController::btnForgotPasswordClick(Object*) {
    openAccountLoginPage();
}

void LoginViewController::openSignUpPage() {
    WebPages::openWebSite(signUpPath);
}

void LoginViewController::openAccountLoginPage() {
    WebPages::openWebSite(accountLoginPath);
}

}  // namespace corvantis
