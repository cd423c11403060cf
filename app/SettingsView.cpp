#include "app/SettingsView.hpp"

#include "app/FontHelper.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/ClickGestureRecognizer.hpp"
#include "platform/ui/Color.hpp"

namespace corvantis {

namespace {

using platform::ui::ControlStateValue;

constexpr double tabSlideDuration = 0.5;
constexpr double fadeInDuration = 0.7;
constexpr double dimmedAlpha = 0.5;
constexpr double tabTitleFontSize = 12;

bool isOn(const platform::ui::Button& button) {
    return button.state() == ControlStateValue::on;
}

ControlStateValue stateFor(bool on) {
    return on ? ControlStateValue::on : ControlStateValue::off;
}

platform::ui::AttributedString titled(const platform::ui::Button& button, const platform::ui::TextAttributes& attributes,
                                      const platform::ui::ParagraphStyle& paragraph) {
    platform::ui::AttributedString title(button.title(), attributes);
    platform::ui::TextAttributes centred;
    centred.paragraphStyle = paragraph;
    title.addAttributes(centred, {0, title.length()});
    return title;
}

}  // namespace

SettingsView::SettingsView(platform::ui::Rect frame)
    : View(frame),
      tabLeftActiveImage(platform::ui::Image::named("TabsActiveLeft")),
      tabRightActiveImage(platform::ui::Image::named("TabsActiveRight")),
      tabLeftInactiveImage(platform::ui::Image::named("TabsInactiveLeft")),
      tabRightInactiveImage(platform::ui::Image::named("TabsInactiveRight")) {
    const auto action = [this](const platform::ui::Selector& selector, void (SettingsView::*handler)(platform::ui::Object*)) {
        setActionHandler(selector, [this, handler](platform::ui::Object* sender) { (this->*handler)(sender); });
    };
    action("btnBackClick:", &SettingsView::btnBackClick);
    action("btnAppClick:", &SettingsView::btnAppClick);
    action("btnAccountClick:", &SettingsView::btnAccountClick);
    action("rbL2tpClick:", &SettingsView::rbL2tpClick);
    action("rbIkev2Click:", &SettingsView::rbIkev2Click);
    action("rbOpenVPNClick:", &SettingsView::rbOpenVPNClick);
    action("rbUdpClick:", &SettingsView::rbUdpClick);
    action("rbTcpClick:", &SettingsView::rbTcpClick);
    action("chkKillSwitchClick:", &SettingsView::chkKillSwitchClick);
    action("chkProtectionClick:", &SettingsView::chkProtectionClick);
    action("chkLaunchOnLoginClick:", &SettingsView::chkLaunchOnLoginClick);
}

void SettingsView::viewDidMoveToSuperview() {
    inactiveLabelAttr.emplace();
    inactiveLabelAttr->foregroundColor = platform::ui::Color::sRGB(31.0 / 255, 102.0 / 255, 251.0 / 255, 1.0);
    inactiveLabelAttr->font = montserratMediumFont(tabTitleFontSize);
    activeLabelAttr.emplace();
    activeLabelAttr->foregroundColor = platform::ui::Color::white();
    activeLabelAttr->font = montserratMediumFont(tabTitleFontSize);
    paragraph.alignment = platform::ui::TextAlignment::center;
    activeAppTitle = titled(*btnApp, *activeLabelAttr, paragraph);
    activeAccountTitle = titled(*btnAccount, *activeLabelAttr, paragraph);
    inactiveAppTitle = titled(*btnApp, *inactiveLabelAttr, paragraph);
    inactiveAccountTitle = titled(*btnAccount, *inactiveLabelAttr, paragraph);
    btnApp->setAttributedTitle(*activeAppTitle);
    btnAccount->setAttributedTitle(*inactiveAccountTitle);

    // Clicking the stored choice runs its handler, which writes it back through the settings
    // store; the protocol always reads back as OpenVPN.
    switch (UserSettings::savedProtocol()) {
        case Protocol::L2TP: rbL2tp->performClick(this); break;
        case Protocol::IKEv2: rbIkev2->performClick(this); break;
        case Protocol::OpenVPN:
            rbOpenVPN->performClick(this);
            if (UserSettings::savedOpenVPNPort() == OpenVPNPort::TCP) {
                rbTcp->performClick(this);
            } else {
                rbUdp->performClick(this);
            }
            break;
    }

    setHidden(true);

    makeLabelClickable(*lblKillSwitch, "chkKillSwitchClick:");
    makeLabelClickable(*lblProtectionLabel, "chkProtectionClick:");
    if (rbL2tp->isEnabled()) makeLabelClickable(*lblL2tp, "rbL2tpClick:");
    makeLabelClickable(*lblIkev2, "rbIkev2Click:");
    makeLabelClickable(*lblOpenVPN, "rbOpenVPNClick:");
}

void SettingsView::makeLabelClickable(TextField& label, const platform::ui::Selector& selector) {
    auto recognizer = std::make_shared<platform::ui::ClickGestureRecognizer>(sharedView(), selector);
    recognizer->setButtonMask(platform::ui::ClickGestureRecognizer::primaryButton);
    recognizer->setNumberOfClicksRequired(1);
    label.addGestureRecognizer(std::move(recognizer));
}

void SettingsView::loadKillSwitchSettings() {
    const bool killSwitch = UserSettings::isKillSwitchEnabled();
    chkKillSwitch->setState(stateFor(killSwitch));
    chkProtectionSwitch->setEnabled(killSwitch);
    dimProtectionRow();
    chkProtectionSwitch->setState(stateFor(UserSettings::isCorvantisShieldEnabled()));
    // Nothing stored reads as off: a fresh installation adds no login item until the user asks.
    if (UserSettings::launchOnLogin().value_or(false)) {
        UserSettings::setLaunchOnLogin(true);
        chkLaunchOnLogin->setState(ControlStateValue::on);
    } else {
        chkLaunchOnLogin->setState(ControlStateValue::off);
    }
}

void SettingsView::hide() {
    setAlphaValue(0.0);
    setHidden(true);
}

void SettingsView::show() {
    loadKillSwitchSettings();
    lblEmail->setStringValue(UserSettings::email().value_or(""));
    lblPlan->setStringValue(UserSettings::plan().value_or(""));
    setHidden(false);
    platform::ui::AnimationContext::runAnimationGroup(fadeInDuration, [this] { animator().setAlphaValue(1.0); });
    if (UserSettings::launchOnLogin().value_or(false)) UserSettings::setLaunchOnLogin(true);
}

void SettingsView::btnAppClick(platform::ui::Object*) {
    if (leftTabActive) return;
    leftTabActive = true;
    btnApp->setImage(tabLeftActiveImage);
    btnAccount->setImage(tabRightInactiveImage);
    btnApp->setAttributedTitle(*activeAppTitle);
    btnAccount->setAttributedTitle(*inactiveAccountTitle);
    slidePages(0, pageWidth);
}

void SettingsView::btnAccountClick(platform::ui::Object*) {
    if (!leftTabActive) return;
    leftTabActive = false;
    btnApp->setImage(tabLeftInactiveImage);
    btnAccount->setImage(tabRightActiveImage);
    btnApp->setAttributedTitle(*inactiveAppTitle);
    btnAccount->setAttributedTitle(*activeAccountTitle);
    slidePages(-pageWidth, 0);
}

void SettingsView::slidePages(double appX, double accountX) {
    platform::ui::AnimationContext::runAnimationGroup(tabSlideDuration, [&] {
        viewApp->animator().setFrame({appX, 0, viewApp->frame().width(), viewApp->frame().height()});
        viewAccount->animator().setFrame({accountX, 0, viewAccount->frame().width(), viewAccount->frame().height()});
    });
}

void SettingsView::setPortElements(bool enabled) {
    rbUdp->setEnabled(enabled);
    rbTcp->setEnabled(enabled);
    // A label carries its one recogniser exactly while enabled: a second one would run the
    // handler twice per click, and every enabling would add another.
    lblUdp->setGestureRecognizers({});
    lblTcp->setGestureRecognizers({});
    if (enabled) {
        lblUdp->setAlphaValue(1.0);
        lblTcp->setAlphaValue(1.0);
        makeLabelClickable(*lblUdp, "rbUdpClick:");
        makeLabelClickable(*lblTcp, "rbTcpClick:");
    } else {
        lblUdp->setAlphaValue(dimmedAlpha);
        lblTcp->setAlphaValue(dimmedAlpha);
    }
}

void SettingsView::btnBackClick(platform::ui::Object*) {
    MainWindow::shared().switchToView(corvantis::View::connectView);
}

void SettingsView::rbL2tpClick(platform::ui::Object*) {
    rbL2tp->setState(ControlStateValue::on);
    rbIkev2->setState(ControlStateValue::off);
    rbOpenVPN->setState(ControlStateValue::off);
    setPortElements(false);
    UserSettings::setSavedProtocol(Protocol::L2TP);
}

void SettingsView::rbIkev2Click(platform::ui::Object*) {
    rbL2tp->setState(ControlStateValue::off);
    rbIkev2->setState(ControlStateValue::on);
    rbOpenVPN->setState(ControlStateValue::off);
    setPortElements(false);
    UserSettings::setSavedProtocol(Protocol::IKEv2);
}

void SettingsView::rbOpenVPNClick(platform::ui::Object*) {
    rbOpenVPN->setState(ControlStateValue::on);
    rbL2tp->setState(ControlStateValue::off);
    rbIkev2->setState(ControlStateValue::off);
    setPortElements(true);
    UserSettings::setSavedProtocol(Protocol::OpenVPN);
}

void SettingsView::rbUdpClick(platform::ui::Object*) {
    rbUdp->setState(ControlStateValue::on);
    rbTcp->setState(ControlStateValue::off);
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::UDP);
}

void SettingsView::rbTcpClick(platform::ui::Object*) {
    rbUdp->setState(ControlStateValue::off);
    rbTcp->setState(ControlStateValue::on);
    UserSettings::setSavedOpenVPNPort(OpenVPNPort::TCP);
}

void SettingsView::chkKillSwitchClick(platform::ui::Object*) {
    const bool on = isOn(*chkKillSwitch);
    chkProtectionSwitch->setEnabled(on);
    UserSettings::setIsKillSwitchEnabled(on);
    dimProtectionRow();
}

void SettingsView::dimProtectionRow() {
    const double alpha = chkProtectionSwitch->isEnabled() ? 1.0 : dimmedAlpha;
    lblProtectionLabel->setAlphaValue(alpha);
    if (imgProtectionInfo) imgProtectionInfo->setAlphaValue(alpha);
}

void SettingsView::chkProtectionClick(platform::ui::Object*) {
    UserSettings::setIsCorvantisShieldEnabled(isOn(*chkProtectionSwitch));
}

void SettingsView::chkLaunchOnLoginClick(platform::ui::Object*) {
    UserSettings::setLaunchOnLogin(isOn(*chkLaunchOnLogin));
}

}  // namespace corvantis
