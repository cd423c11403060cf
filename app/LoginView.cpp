#include "app/LoginView.hpp"

#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ErrorString.hpp"
#include "app/FontHelper.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "app/Validation.hpp"
#include "app/WebPages.hpp"
#include "platform/Services.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/ui/AnimationContext.hpp"

namespace corvantis {

namespace {
using platform::ui::AttributedString;
using platform::ui::Color;
using platform::ui::TextAttributes;

constexpr const char* logInTitle = "Log in";
constexpr const char* loggingInTitle = "Logging in...";
constexpr const char* alertTitle = "Login error";
constexpr const char* invalidInputText = "Please, enter correct username and password to sign in";
constexpr const char* emailNotConfirmedText = "Please verify email to activate account and trial";
constexpr const char* wrongCredentials = "invalid username or password";
constexpr const char* upgradeGuidePath = "/article/101-how-to-upgrade-your-corvantis-subscription";
constexpr const char* accountLoginPath = "/account/login/index";
constexpr double logoDrop = 180.0;
constexpr double fadeDuration = 0.7;
}  // namespace

LoginView::LoginView(platform::ui::Rect frame) : View(frame) {
    commonInit();
    setActionHandler("btnLoginClick:", [this](Object* sender) { btnLoginClick(sender); });
    setActionHandler("txtPasswordAction:", [this](Object* sender) { txtPasswordAction(sender); });
}

void LoginView::commonInit() {
    using platform::ui::AutoresizingMask::heightSizable;
    using platform::ui::AutoresizingMask::widthSizable;
    lottieLogo = platform::animation::AnimationView::named("waves");
    lottieLogo->setContentMode(platform::animation::ContentMode::scaleAspectFit);
    const auto own = frame();
    lottieLogo->setFrame({own.minX(), own.minY() - logoDrop, own.size.width, own.size.height});
    lottieLogo->setAutoresizingMask(widthSizable | heightSizable);
    if (auto* layer = lottieLogo->layer()) layer->zPosition = -1000.0;
    lottieLogo->setLoopAnimation(true);
    addSubview(lottieLogo);
}

void LoginView::viewDidMoveToSuperview() {
    // Only a placement fills the form; being taken out of the popup must not sign in again. A
    // view made outside the storyboard has no form to fill.
    if (superview() == nullptr || !txtUsername || !txtPassword || !btnLogin) return;
    if (UserSettings::isUsernameStored()) {
        txtUsername->setStringValue(UserSettings::username().value_or(""));
        // A name left by a failed first attempt has no password to go with it: signing in with
        // an empty one would only greet the user with an error.
        if (UserSettings::isPasswordStored()) {
            txtPassword->setStringValue(UserSettings::password().value_or(""));
            btnLogin->performClick(this);
        } else {
            txtPassword->setStringValue("");
        }
    } else {
        txtUsername->setStringValue("");
        txtPassword->setStringValue("");
    }
    txtUsername->setNextKeyView(txtPassword);

    const TextAttributes placeholder{montserratMediumFont(12.0), Color::calibrated(37.0 / 255, 47.0 / 255, 88.0 / 255, 1.0),
                                     std::nullopt, std::nullopt};
    txtUsername->setPlaceholderAttributedString(AttributedString("Email", placeholder));
    txtPassword->setPlaceholderAttributedString(AttributedString("Password", placeholder));
}

void LoginView::playAnimation() {
    if (lottieLogo) lottieLogo->play();
}

void LoginView::btnLoginClick(Object*) {
    // As typed: a blank is part of what the user sent.
    const std::string user = txtUsername->stringValue();
    const std::string password = txtPassword->stringValue();
    setFieldsEnabled(false);
    btnLogin->setTitle(loggingInTitle);
    btnLogin->setEnabled(false);

    if (!Validation::shared().validate({{ValidationType::email, user}, {ValidationType::password, password}})) {
        btnLogin->setEnabled(true);
        alert(invalidInputText, "OK");
        setFieldsEnabled(true);
        btnLogin->setTitle(logInTitle);
        return;
    }
    std::weak_ptr<LoginView> weakSelf = std::static_pointer_cast<LoginView>(sharedView());
    ApiService::checkLoginData(
        user, password,
        [weakSelf](bool success, bool isEmailConfirmed, bool isVpnActive, bool isDnsActive, const std::string& message) {
            platform::Services::current().mainQueue()->async([=] {
                if (auto self = weakSelf.lock()) {
                    self->loginFinished(success, isEmailConfirmed, isVpnActive, isDnsActive, message);
                }
            });
        });
}

void LoginView::txtPasswordAction(Object*) {
    btnLogin->performClick(this);
}

void LoginView::loginFinished(bool success, bool isEmailConfirmed, bool isVpnActive, bool isDnsActive,
                              const std::string& message) {
    if (!success) {
        btnLogin->setEnabled(true);
        alert(message, "OK");
        // Wrong credentials are the user's typing, not a fault worth a report.
        if (message.find(wrongCredentials) == std::string::npos) {
            platform::Services::current().crashReporter()->captureMessage(message);
        }
        setFieldsEnabled(true);
        btnLogin->setTitle(logInTitle);
    } else if (!isEmailConfirmed) {
        btnLogin->setEnabled(true);
        alert(emailNotConfirmedText, "OK");
        setFieldsEnabled(true);
        btnLogin->setTitle(logInTitle);
    } else if (!isVpnActive) {
        noVpnSubscription(isDnsActive);
    } else if (!UserSettings::plan()) {
        btnLogin->setEnabled(true);
        alert(std::string(rawValue(ErrorString::checkInternet)), "OK");
        setFieldsEnabled(true);
        btnLogin->setTitle(logInTitle);
    } else {
        signedIn();
    }
}

void LoginView::noVpnSubscription(bool isDnsActive) {
    btnLogin->setEnabled(true);
    btnLogin->setTitle(logInTitle);
    std::weak_ptr<LoginView> weakSelf = std::static_pointer_cast<LoginView>(sharedView());
    const auto answered = [weakSelf, isDnsActive](bool firstButton) {
        if (firstButton) {
            if (isDnsActive) {
                WebPages::openSupportSite(upgradeGuidePath);
            } else {
                WebPages::openWebSite(accountLoginPath);
            }
        } else if (auto self = weakSelf.lock()) {
            self->setFieldsEnabled(true);
        }
    };
    if (isDnsActive) {
        alert("You have no active VPN subscriptions. Please follow this guide to upgrade", "Learn More", "Cancel", answered);
    } else {
        alert("You have no active VPN subscriptions. Please, visit " + std::string(WebPages::webSiteDomain) + " to purchase",
              "Buy Now", "Cancel", answered);
    }
    setFieldsEnabled(true);
}

void LoginView::signedIn() {
    btnLogin->setEnabled(true);
    btnLogin->setTitle(logInTitle);
    auto& mainWindow = MainWindow::shared();
    mainWindow.switchToView(corvantis::View::connectView);

    const auto delegate = AppDelegate::shared();
    if (!delegate) return;
    if (AppDelegate::isShieldInForce()) {
        if (mainWindow.connectView->connectionState == ConnectionState::disconnected) delegate->removeDefaultRoute([](bool) {});
    } else {
        delegate->restoreDefaultRoute();
    }
}

void LoginView::show() {
    btnLogin->setTitle(logInTitle);
    playAnimation();
    setFieldsEnabled(true);
    setHidden(false);
    txtUsername->setHidden(false);
    txtPassword->setHidden(false);
    btnLogin->setHidden(false);
    platform::ui::AnimationContext::runAnimationGroup(fadeDuration, [this] {
        if (lottieLogo) lottieLogo->animator().setAlphaValue(1.0);
        animator().setAlphaValue(1.0);
    });
}

void LoginView::hide() {
    btnLogin->setTitle(logInTitle);
    setAlphaValue(0.0);
    if (lottieLogo) {
        lottieLogo->setAlphaValue(0.0);
        // Nobody sees the waves now; showing the screen plays them again.
        lottieLogo->stop();
    }
    setHidden(true);
    txtUsername->setHidden(true);
    txtPassword->setHidden(true);
    btnLogin->setHidden(true);
}

void LoginView::setFieldsEnabled(bool enabled) {
    txtUsername->setEnabled(enabled);
    txtPassword->setEnabled(enabled);
}

void LoginView::alert(const std::string& text, const std::string& firstButton, std::optional<std::string> secondButton,
                      std::function<void(bool)> completion) {
    if (const auto delegate = AppDelegate::shared()) {
        delegate->alert(alertTitle, text, firstButton, std::move(secondButton), std::move(completion));
    }
}

}  // namespace corvantis
