#include "app/SettingsViewController.hpp"

#include "app/FontHelper.hpp"
#include "app/HintViewController.hpp"
#include "app/InfoIconImage.hpp"
#include "app/SettingsView.hpp"
#include "app/SettingsViewButton.hpp"

namespace corvantis {

namespace {

using platform::ui::Button;
using platform::ui::ButtonType;
using platform::ui::Rect;
using platform::ui::TextField;

constexpr double screenWidth = SettingsView::pageWidth;
constexpr double screenHeight = 480;
constexpr double pageHeight = 380;
constexpr double textSize = 12;

// The view the scene builds, with its outlets and actions connected as the layout gives them.
class SettingsScene {
public:
    explicit SettingsScene(std::shared_ptr<SettingsView> view) : view_(std::move(view)) {}

    std::shared_ptr<SettingsView> build() {
        auto& v = *view_;
        v.lblCaption = label(v, "Settings", {150, 446, 100, 20});
        v.btnBack = button(v, ButtonType::momentaryPushIn, {12, 444, 60, 24}, "btnBackClick:");
        v.btnBack->setTitle("Back");
        v.btnApp = button(v, ButtonType::momentaryChange, {30, 396, 150, 32}, "btnAppClick:");
        v.btnApp->setTitle("App");
        v.btnApp->setImage(v.tabLeftActiveImage);
        v.btnAccount = button(v, ButtonType::momentaryChange, {180, 396, 150, 32}, "btnAccountClick:");
        v.btnAccount->setTitle("Account");
        v.btnAccount->setImage(v.tabRightInactiveImage);

        v.viewApp = page(v, 0);
        buildAppPage(*v.viewApp);
        v.viewAccount = page(v, screenWidth);
        buildAccountPage(*v.viewAccount);

        // Below the pages and common to both tabs.
        actionLabel(v, "Contact support", SettingsViewButton::supportMailTag, {20, 44, 150, 18});
        actionLabel(v, "Support site", SettingsViewButton::supportSiteTag, {190, 44, 150, 18});
        actionLabel(v, "Export logs", SettingsViewButton::exportLogsTag, {20, 16, 150, 18});
        actionLabel(v, "Quit", SettingsViewButton::quitTag, {190, 16, 150, 18});
        return view_;
    }

private:
    void buildAppPage(platform::ui::View& page) {
        auto& v = *view_;
        label(page, "Protocol", {20, 340, 320, 20});
        v.viewProtocols = std::make_shared<platform::ui::View>(Rect(20, 300, 320, 30));
        page.addSubview(v.viewProtocols);
        auto& protocols = *v.viewProtocols;
        v.rbL2tp = button(protocols, ButtonType::radio, {0, 5, 20, 20}, "rbL2tpClick:");
        v.rbL2tp->setEnabled(false);  // the application runs OpenVPN; the choice is shown, not offered
        v.lblL2tp = label(protocols, "L2TP", {22, 5, 70, 20});
        v.lblL2tp->setAlphaValue(0.5);
        v.rbIkev2 = button(protocols, ButtonType::radio, {105, 5, 20, 20}, "rbIkev2Click:");
        v.lblIkev2 = label(protocols, "IKEv2", {127, 5, 70, 20});
        v.rbOpenVPN = button(protocols, ButtonType::radio, {210, 5, 20, 20}, "rbOpenVPNClick:");
        v.lblOpenVPN = label(protocols, "OpenVPN", {232, 5, 88, 20});

        label(page, "Port", {20, 260, 320, 20});
        v.rbUdp = button(page, ButtonType::radio, {20, 230, 20, 20}, "rbUdpClick:");
        v.lblUdp = label(page, "UDP", {42, 230, 70, 20});
        v.rbTcp = button(page, ButtonType::radio, {125, 230, 20, 20}, "rbTcpClick:");
        v.lblTcp = label(page, "TCP", {147, 230, 70, 20});

        v.chkKillSwitch = button(page, ButtonType::switchButton, {20, 180, 20, 20}, "chkKillSwitchClick:");
        v.lblKillSwitch = label(page, "Kill Switch", {42, 180, 100, 20});
        infoIcon(page, 0, {146, 182, 16, 16});
        v.chkProtectionSwitch = button(page, ButtonType::switchButton, {20, 145, 20, 20}, "chkProtectionClick:");
        v.lblProtectionLabel = label(page, "Corvantis Shield", {42, 145, 140, 20});
        infoIcon(page, 1, {186, 147, 16, 16});
        v.chkLaunchOnLogin = button(page, ButtonType::switchButton, {20, 110, 220, 20}, "chkLaunchOnLoginClick:");
        v.chkLaunchOnLogin->setTitle("Launch at login");
    }

    void buildAccountPage(platform::ui::View& page) {
        auto& v = *view_;
        label(page, "E-mail", {20, 340, 320, 20});
        v.lblEmail = label(page, "", {20, 316, 320, 20});
        label(page, "Plan", {20, 280, 320, 20});
        v.lblPlan = label(page, "", {20, 256, 320, 20});
        actionLabel(page, "Log out", SettingsViewButton::logOutTag, {20, 200, 150, 18});
    }

    std::shared_ptr<platform::ui::View> page(platform::ui::View& parent, double x) {
        auto page = std::make_shared<platform::ui::View>(Rect(x, 0, screenWidth, pageHeight));
        parent.addSubview(page);
        return page;
    }

    std::shared_ptr<Button> button(platform::ui::View& parent, ButtonType type, Rect frame, const char* action) {
        auto control = std::make_shared<Button>(frame);
        control->setButtonType(type);
        control->setTitle("");
        control->setTarget(view_);
        control->setAction(action);
        parent.addSubview(control);
        return control;
    }

    static void configureLabel(TextField& label, const std::string& text) {
        label.setStringValue(text);
        label.setEditable(false);
        label.setSelectable(false);
        label.setFont(montserratMediumFont(textSize));
    }

    static std::shared_ptr<TextField> label(platform::ui::View& parent, const std::string& text, Rect frame) {
        auto label = std::make_shared<TextField>(frame);
        configureLabel(*label, text);
        parent.addSubview(label);
        return label;
    }

    static void actionLabel(platform::ui::View& parent, const std::string& text, int tag, Rect frame) {
        auto label = std::make_shared<SettingsViewButton>(frame);
        configureLabel(*label, text);
        label->setTextColor(platform::ui::Color::sRGB(31.0 / 255, 102.0 / 255, 251.0 / 255, 1.0));
        label->setTag(tag);
        parent.addSubview(label);
    }

    static void infoIcon(platform::ui::View& parent, int tag, Rect frame) {
        auto icon = std::make_shared<InfoIconImage>(frame);
        icon->setImage(platform::ui::Image::named("InfoIcon"));
        icon->setTag(tag);
        parent.addSubview(icon);
    }

    std::shared_ptr<SettingsView> view_;
};

}  // namespace

void SettingsViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "settingsViewController", [] { return std::make_shared<SettingsViewController>(); },
        [](platform::ui::ViewController&) {
            return SettingsScene(std::make_shared<SettingsView>(Rect(0, 0, screenWidth, screenHeight))).build();
        });
    // The popovers of the screen's info icons load their content from the same storyboard.
    HintViewController::registerScene(storyboard);
}

}  // namespace corvantis
