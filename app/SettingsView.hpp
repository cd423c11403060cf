#pragma once

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/ParagraphStyle.hpp"
#include "platform/ui/TextAttributes.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>
#include <optional>

namespace corvantis {

// The popup's settings screen: an app tab (protocol, OpenVPN port, kill switch, Shield, launch
// at login) and an account tab (e-mail and plan), two pages that slide side by side. Every
// control writes its setting through `UserSettings`, whose setters carry the side effects (log
// lines, route changes, the login item). A label beside a control is clickable and runs the
// control's handler, which for a check box writes the box's state again rather than toggling it.
//
// The outlets are controls of this view's own tree, connected by the storyboard scene before
// the view is placed; the code treats every outlet it touches as connected. Main queue only.
class SettingsView : public platform::ui::View {
public:
    using Button = platform::ui::Button;
    using TextField = platform::ui::TextField;

    // The distance between the two pages: the page not shown lies just outside the screen.
    static constexpr double pageWidth = 360;

    explicit SettingsView(platform::ui::Rect frame = {});

    std::shared_ptr<Button> btnBack;
    std::shared_ptr<TextField> lblCaption;
    // The tab titles' paragraph style, centred at placement.
    platform::ui::ParagraphStyle paragraph;
    // Built at placement from the tab buttons' titles; absent until then.
    std::optional<platform::ui::TextAttributes> inactiveLabelAttr;
    std::optional<platform::ui::TextAttributes> activeLabelAttr;
    std::optional<platform::ui::AttributedString> activeAppTitle;
    std::optional<platform::ui::AttributedString> activeAccountTitle;
    std::optional<platform::ui::AttributedString> inactiveAppTitle;
    std::optional<platform::ui::AttributedString> inactiveAccountTitle;
    std::shared_ptr<Button> btnApp;
    std::shared_ptr<Button> btnAccount;
    // Loaded by name when the view is made; none when the resources lack them.
    const std::shared_ptr<platform::ui::Image> tabLeftActiveImage;
    const std::shared_ptr<platform::ui::Image> tabRightActiveImage;
    const std::shared_ptr<platform::ui::Image> tabLeftInactiveImage;
    const std::shared_ptr<platform::ui::Image> tabRightInactiveImage;
    // The app (left) tab is the active one.
    bool leftTabActive = true;
    std::shared_ptr<platform::ui::View> viewApp;
    std::shared_ptr<platform::ui::View> viewAccount;
    std::shared_ptr<Button> chkLaunchOnLogin;
    std::shared_ptr<Button> rbL2tp;
    std::shared_ptr<TextField> lblL2tp;
    std::shared_ptr<Button> rbIkev2;
    std::shared_ptr<TextField> lblIkev2;
    std::shared_ptr<Button> rbOpenVPN;
    std::shared_ptr<TextField> lblOpenVPN;
    std::shared_ptr<platform::ui::View> viewProtocols;
    std::shared_ptr<Button> rbUdp;
    std::shared_ptr<TextField> lblUdp;
    std::shared_ptr<Button> rbTcp;
    std::shared_ptr<TextField> lblTcp;
    std::shared_ptr<TextField> lblEmail;
    std::shared_ptr<TextField> lblPlan;
    std::shared_ptr<Button> chkKillSwitch;
    std::shared_ptr<TextField> lblKillSwitch;
    std::shared_ptr<Button> chkProtectionSwitch;
    std::shared_ptr<TextField> lblProtectionLabel;
    // The Shield's information icon, dimmed with the Shield's label.
    std::shared_ptr<platform::ui::View> imgProtectionInfo;

    // A primary-button single click on `label` sends `selector` to this view.
    virtual void makeLabelClickable(TextField& label, const platform::ui::Selector& selector);
    // Sets the kill-switch, Shield and launch-at-login boxes from the stored settings.
    virtual void loadKillSwitchSettings();
    // Alpha 0 and hidden, at once.
    virtual void hide();
    // Reloads the boxes and the account, unhides and fades in over 0.7 s; re-sends the login
    // item when launch at login is on. The tab and the radios stay as they were.
    virtual void show();
    virtual void btnAppClick(platform::ui::Object* sender);
    virtual void btnAccountClick(platform::ui::Object* sender);
    // Enables or disables the port radios and dims their labels, which are clickable exactly
    // while enabled. The selected port stays selected.
    virtual void setPortElements(bool enabled);
    virtual void btnBackClick(platform::ui::Object* sender);
    virtual void rbL2tpClick(platform::ui::Object* sender);
    virtual void rbIkev2Click(platform::ui::Object* sender);
    virtual void rbOpenVPNClick(platform::ui::Object* sender);
    virtual void rbUdpClick(platform::ui::Object* sender);
    virtual void rbTcpClick(platform::ui::Object* sender);
    virtual void chkKillSwitchClick(platform::ui::Object* sender);
    virtual void chkProtectionClick(platform::ui::Object* sender);
    virtual void chkLaunchOnLoginClick(platform::ui::Object* sender);

    // Placement prepares the screen: tab titles, the stored protocol and port clicked (and so
    // written back), hidden, labels made clickable.
    void viewDidMoveToSuperview() override;
    void viewWillDraw() override {}

private:
    void slidePages(double appX, double accountX);
    // Dims the Shield's label and icon while its box is disabled.
    void dimProtectionRow();
};

}  // namespace corvantis
