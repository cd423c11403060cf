#include "app/SettingsViewController.hpp"

#include "app/FontHelper.hpp"
#include "app/HintViewController.hpp"
#include "app/InfoIconImage.hpp"
#include "app/ScreenColors.hpp"
#include "app/SettingsView.hpp"
#include "app/SettingsViewButton.hpp"

namespace corvantis {

namespace {

using platform::ui::Button;
using platform::ui::ButtonType;
using platform::ui::Rect;
using platform::ui::TextField;

// The popup's content size, which every screen shares.
constexpr double screenWidth = 300;
constexpr double screenHeight = 400;
constexpr double pageHeight = 316;
constexpr double textSize = 12;

// The view the scene builds, with its outlets and actions connected as the layout gives them.
class SettingsScene {
public:
    explicit SettingsScene(std::shared_ptr<SettingsView> view) : view_(std::move(view)) {}

    std::shared_ptr<SettingsView> build() {
        auto& v = *view_;
        // Centred over the screen, on a line with the back button.
        v.lblCaption = label(v, "Settings", {60, 364, 180, 20});
        v.lblCaption->setAlignment(platform::ui::TextAlignment::center);
        v.btnBack = button(v, ButtonType::momentaryPushIn, {14, 364, 20, 20}, "btnBackClick:");
        v.btnBack->setImage(platform::ui::Image::named("BackArrow"));
        v.btnApp = button(v, ButtonType::momentaryChange, {20, 326, 130, 30}, "btnAppClick:");
        v.btnApp->setTitle("App");
        v.btnApp->setImage(v.tabLeftActiveImage);
        v.btnAccount = button(v, ButtonType::momentaryChange, {150, 326, 130, 30}, "btnAccountClick:");
        v.btnAccount->setTitle("Account");
        v.btnAccount->setImage(v.tabRightInactiveImage);

        v.viewApp = page(v, 0);
        buildAppPage(*v.viewApp);
        v.viewAccount = page(v, SettingsView::pageWidth);
        buildAccountPage(*v.viewAccount);

        // Below the pages and common to both tabs.
        actionLabel(v, "Contact support", SettingsViewButton::supportMailTag, {20, 44, 130, 18});
        actionLabel(v, "Support site", SettingsViewButton::supportSiteTag, {160, 44, 120, 18});
        actionLabel(v, "Export logs", SettingsViewButton::exportLogsTag, {20, 16, 130, 18});
        actionLabel(v, "Quit", SettingsViewButton::quitTag, {160, 16, 120, 18});
        return view_;
    }

private:
    void buildAppPage(platform::ui::View& page) {
        auto& v = *view_;
        label(page, "Protocol", {20, 286, 260, 20});
        v.viewProtocols = std::make_shared<platform::ui::View>(Rect(20, 254, 260, 26));
        page.addSubview(v.viewProtocols);
        auto& protocols = *v.viewProtocols;
        v.rbL2tp = button(protocols, ButtonType::radio, {0, 3, 20, 20}, "rbL2tpClick:");
        v.rbL2tp->setEnabled(false);  // the application runs OpenVPN; the choice is shown, not offered
        v.lblL2tp = label(protocols, "L2TP", {22, 3, 60, 20});
        v.lblL2tp->setAlphaValue(0.5);
        v.rbIkev2 = button(protocols, ButtonType::radio, {84, 3, 20, 20}, "rbIkev2Click:");
        v.lblIkev2 = label(protocols, "IKEv2", {106, 3, 60, 20});
        v.rbOpenVPN = button(protocols, ButtonType::radio, {168, 3, 20, 20}, "rbOpenVPNClick:");
        v.lblOpenVPN = label(protocols, "OpenVPN", {190, 3, 70, 20});

        label(page, "Port", {20, 222, 260, 20});
        v.rbUdp = button(page, ButtonType::radio, {20, 196, 20, 20}, "rbUdpClick:");
        v.lblUdp = label(page, "UDP", {42, 196, 60, 20});
        v.rbTcp = button(page, ButtonType::radio, {104, 196, 20, 20}, "rbTcpClick:");
        v.lblTcp = label(page, "TCP", {126, 196, 60, 20});

        v.chkKillSwitch = button(page, ButtonType::switchButton, {20, 160, 20, 20}, "chkKillSwitchClick:");
        v.lblKillSwitch = label(page, "Kill Switch", {42, 160, 90, 20});
        infoIcon(page, 0, {134, 162, 16, 16});
        v.chkProtectionSwitch = button(page, ButtonType::switchButton, {20, 130, 20, 20}, "chkProtectionClick:");
        v.lblProtectionLabel = label(page, "Corvantis Shield", {42, 130, 120, 20});
        v.imgProtectionInfo = infoIcon(page, 1, {164, 132, 16, 16});
        v.chkLaunchOnLogin = button(page, ButtonType::switchButton, {20, 100, 200, 20}, "chkLaunchOnLoginClick:");
        v.chkLaunchOnLogin->setFont(montserratMediumFont(textSize));
        v.chkLaunchOnLogin->setAttributedTitle(platform::ui::AttributedString(
            "Launch at login", {montserratMediumFont(textSize), darkTextColor(), std::nullopt, std::nullopt}));
    }

    void buildAccountPage(platform::ui::View& page) {
        auto& v = *view_;
        label(page, "E-mail", {20, 286, 260, 20});
        v.lblEmail = label(page, "", {20, 264, 260, 20});
        label(page, "Plan", {20, 236, 260, 20});
        v.lblPlan = label(page, "", {20, 214, 260, 20});
        actionLabel(page, "Log out", SettingsViewButton::logOutTag, {20, 170, 130, 18});
    }

    std::shared_ptr<platform::ui::View> page(platform::ui::View& parent, double x) {
        auto page = std::make_shared<platform::ui::View>(Rect(x, 0, SettingsView::pageWidth, pageHeight));
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
        label.setTextColor(darkTextColor());
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
        label->setTextColor(accentBlueColor());
        label->setTag(tag);
        parent.addSubview(label);
    }

    static std::shared_ptr<InfoIconImage> infoIcon(platform::ui::View& parent, int tag, Rect frame) {
        auto icon = std::make_shared<InfoIconImage>(frame);
        icon->setImage(platform::ui::Image::named("InfoIcon"));
        icon->setTag(tag);
        parent.addSubview(icon);
        return icon;
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
