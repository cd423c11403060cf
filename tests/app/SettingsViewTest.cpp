// The settings screen's placement, tabs and controls, driven as a person would, with the
// settings they write, their log lines and the helper commands they cause.

#include "app/ConnectionState.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/SettingsScreen.hpp"
#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/Color.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

using corvantis::ConnectionState;
using corvantis::OpenVPNPort;
using corvantis::Protocol;
using corvantis::UserSettings;
using platform::ui::ControlStateValue;

namespace {

using Texts = std::vector<std::string>;

constexpr const char* addLoginItem =
    "osascript -e 'tell application \"System Events\" to make login item at end with properties "
    "{path:\"/Applications/Corvantis VPN.app\", hidden:false}'";
constexpr const char* removeLoginItem =
    "osascript -e 'tell application \"System Events\" to delete login item \"Corvantis VPN\"'";

bool contains(const Texts& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(), [&](const auto& text) { return text.find(part) != std::string::npos; });
}

class SettingsViewTest : public corvantis::testing::SettingsScreen {
protected:
    const std::string removeRoute = std::string("route -n delete default ") + gateway;
    const std::string restoreRoute = std::string("route -n add default ") + gateway;

    void setConnectionState(ConnectionState state) { corvantis::MainWindow::shared().connectView->connectionState = state; }
};

TEST_F(SettingsViewTest, PlacementSelectsOpenVpnAndTheStoredPortAndWritesBothBack) {
    ASSERT_TRUE(environment.defaults->set(0, "protocol"));  // IKEv2, which reads back as OpenVPN
    ASSERT_TRUE(environment.defaults->set(true, "openVpnPort"));
    buildScreens();

    EXPECT_TRUE(view->isHidden());
    EXPECT_EQ(view->rbOpenVPN->state(), ControlStateValue::on);
    EXPECT_EQ(view->rbIkev2->state(), ControlStateValue::off);
    EXPECT_EQ(view->rbTcp->state(), ControlStateValue::on);
    EXPECT_EQ(view->rbUdp->state(), ControlStateValue::off);
    EXPECT_TRUE(view->rbTcp->isEnabled());
    EXPECT_EQ(logged(), (Texts{"savedProtocol: 1", "savedOpenVPNPort: TCP"}));
    EXPECT_EQ(environment.defaults->object("protocol"), nlohmann::json(1));

    // The disabled L2TP radio leaves its label unclickable; every other label takes one recogniser.
    EXPECT_FALSE(view->rbL2tp->isEnabled());
    EXPECT_TRUE(view->lblL2tp->gestureRecognizers().empty());
    for (const auto& label :
         {view->lblIkev2, view->lblOpenVPN, view->lblUdp, view->lblTcp, view->lblKillSwitch, view->lblProtectionLabel}) {
        EXPECT_EQ(label->gestureRecognizers().size(), 1u) << label->stringValue();
    }

    // Tab titles: the app tab white, the account tab in the accent blue, both centred.
    const auto app = view->btnApp->attributedTitle();
    const auto account = view->btnAccount->attributedTitle();
    EXPECT_EQ(app.string(), "App");
    EXPECT_EQ(app.attributes(0).foregroundColor, platform::ui::Color::white());
    EXPECT_EQ(account.attributes(0).foregroundColor, platform::ui::Color::sRGB(31.0 / 255, 102.0 / 255, 251.0 / 255, 1));
    EXPECT_EQ(account.attributes(0).paragraphStyle->alignment, platform::ui::TextAlignment::center);
    EXPECT_EQ(account.attributes(0).font->pointSize(), 12);
}

TEST_F(SettingsViewTest, TabsSlideThePagesAndAClickOnTheActiveTabDoesNothing) {
    openSettings();
    auto& animations = platform::ui::AnimationLog::shared();
    animations.clear();
    view->btnApp->click();
    EXPECT_TRUE(animations.records().empty());
    EXPECT_TRUE(view->leftTabActive);

    view->btnAccount->click();
    EXPECT_FALSE(view->leftTabActive);
    EXPECT_EQ(view->viewApp->frame(), platform::ui::Rect(-360, 0, 360, 316));
    EXPECT_EQ(view->viewAccount->frame(), platform::ui::Rect(0, 0, 360, 316));
    ASSERT_EQ(animations.records().size(), 2u);
    EXPECT_EQ(animations.records().front().duration, 0.5);
    EXPECT_EQ(view->btnAccount->attributedTitle().attributes(0).foregroundColor, platform::ui::Color::white());
    animations.clear();
    view->btnAccount->click();
    EXPECT_TRUE(animations.records().empty());

    // The screen reopens on the tab last shown.
    view->btnBack->click();
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(corvantis::MainWindow::shared().connectView->isHidden());
    corvantis::MainWindow::shared().switchToView(corvantis::View::settingsView);
    EXPECT_FALSE(view->leftTabActive);
    EXPECT_EQ(view->viewAccount->frame().origin.x, 0);
    view->btnApp->click();
    EXPECT_EQ(view->viewApp->frame(), platform::ui::Rect(0, 0, 360, 316));
    EXPECT_EQ(view->viewAccount->frame(), platform::ui::Rect(360, 0, 360, 316));
}

TEST_F(SettingsViewTest, PortLabelsAreClickableExactlyWhileOpenVpnIsChosen) {
    openSettings();
    view->lblIkev2->click();
    EXPECT_EQ(view->rbIkev2->state(), ControlStateValue::on);
    EXPECT_EQ(view->rbOpenVPN->state(), ControlStateValue::off);
    EXPECT_FALSE(view->rbUdp->isEnabled());
    EXPECT_EQ(view->lblTcp->alphaValue(), 0.5);
    EXPECT_EQ(view->rbUdp->state(), ControlStateValue::on);  // the chosen port stays chosen
    log->clear();
    view->lblTcp->click();
    view->rbTcp->click();
    EXPECT_TRUE(logged().empty());

    for (int click = 0; click < 3; ++click) view->rbOpenVPN->click();
    EXPECT_EQ(view->lblUdp->gestureRecognizers().size(), 1u);
    EXPECT_EQ(view->lblTcp->gestureRecognizers().size(), 1u);
    EXPECT_EQ(view->lblTcp->alphaValue(), 1.0);
    log->clear();
    view->lblTcp->click();
    EXPECT_EQ(logged(), (Texts{"savedOpenVPNPort: TCP"}));
    EXPECT_EQ(view->rbTcp->state(), ControlStateValue::on);
    EXPECT_EQ(view->rbUdp->state(), ControlStateValue::off);
    EXPECT_EQ(UserSettings::savedOpenVPNPort(), OpenVPNPort::TCP);
}

TEST_F(SettingsViewTest, KillSwitchAndShieldChangeRoutesByConnectionState) {
    openSettings();
    EXPECT_FALSE(view->chkProtectionSwitch->isEnabled());
    EXPECT_EQ(view->lblProtectionLabel->alphaValue(), 0.5);
    // The Shield's information icon is dimmed with its label.
    ASSERT_TRUE(view->imgProtectionInfo);
    EXPECT_EQ(view->imgProtectionInfo->alphaValue(), 0.5);

    // Disconnected, Shield off: the kill switch alone keeps the route.
    environment.helper->clear();
    view->chkKillSwitch->click();
    EXPECT_TRUE(UserSettings::isKillSwitchEnabled());
    EXPECT_TRUE(view->chkProtectionSwitch->isEnabled());
    EXPECT_EQ(view->lblProtectionLabel->alphaValue(), 1.0);
    EXPECT_EQ(view->imgProtectionInfo->alphaValue(), 1.0);
    EXPECT_FALSE(contains(commands(), removeRoute));
    EXPECT_TRUE(contains(logged(), "isKillSwitchEnabled: true"));

    // The Shield acts while disconnected.
    view->chkProtectionSwitch->click();
    EXPECT_TRUE(UserSettings::isCorvantisShieldEnabled());
    EXPECT_TRUE(contains(commands(), removeRoute));

    // Connected: the Shield only stores, the kill switch's label writes the box's state again.
    setConnectionState(ConnectionState::connected);
    environment.helper->clear();
    view->chkProtectionSwitch->click();
    EXPECT_FALSE(UserSettings::isCorvantisShieldEnabled());
    EXPECT_TRUE(commands().empty());
    view->lblKillSwitch->click();
    EXPECT_EQ(view->chkKillSwitch->state(), ControlStateValue::on);
    EXPECT_TRUE(contains(commands(), removeRoute));

    // Off restores the route, disables and dims the Shield's box and keeps its value.
    view->chkProtectionSwitch->click();
    environment.helper->clear();
    view->chkKillSwitch->click();
    EXPECT_FALSE(UserSettings::isKillSwitchEnabled());
    EXPECT_TRUE(contains(commands(), restoreRoute));
    EXPECT_FALSE(view->chkProtectionSwitch->isEnabled());
    EXPECT_EQ(view->chkProtectionSwitch->state(), ControlStateValue::on);
    EXPECT_EQ(view->lblProtectionLabel->alphaValue(), 0.5);
    EXPECT_EQ(view->imgProtectionInfo->alphaValue(), 0.5);
    EXPECT_TRUE(UserSettings::isCorvantisShieldEnabled());

    // The dimmed label still writes the disabled box's state, but without the kill switch the
    // Shield takes no route away: the user stays online.
    setConnectionState(ConnectionState::disconnected);
    environment.helper->clear();
    view->lblProtectionLabel->click();
    EXPECT_TRUE(UserSettings::isCorvantisShieldEnabled());
    EXPECT_FALSE(contains(commands(), removeRoute));
}

TEST_F(SettingsViewTest, LaunchAtLoginIsSentOnlyWhileOn) {
    // Nothing stored: the box is off and no login item is added.
    openSettings();
    EXPECT_EQ(view->chkLaunchOnLogin->state(), ControlStateValue::off);
    EXPECT_FALSE(contains(commands(), "login item"));

    // The box sends the command; the value is stored once the helper answers.
    view->chkLaunchOnLogin->click();
    EXPECT_EQ(commands().back(), addLoginItem);
    EXPECT_EQ(UserSettings::launchOnLogin(), false);
    environment.helper->answerCommand(addLoginItem, "");
    environment.runMainQueue();
    EXPECT_EQ(UserSettings::launchOnLogin(), true);

    // On: every showing sends it twice, from the reload and from the showing itself.
    environment.helper->clear();
    corvantis::MainWindow::shared().switchToView(corvantis::View::connectView);
    corvantis::MainWindow::shared().switchToView(corvantis::View::settingsView);
    EXPECT_EQ(commands(), (Texts{addLoginItem, addLoginItem}));
    EXPECT_EQ(view->chkLaunchOnLogin->state(), ControlStateValue::on);

    // Off: removed once, and later showings send nothing.
    view->chkLaunchOnLogin->click();
    environment.helper->answerCommand(removeLoginItem, "");
    environment.runMainQueue();
    environment.helper->clear();
    corvantis::MainWindow::shared().switchToView(corvantis::View::connectView);
    corvantis::MainWindow::shared().switchToView(corvantis::View::settingsView);
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(view->chkLaunchOnLogin->state(), ControlStateValue::off);
}

TEST_F(SettingsViewTest, ShowFillsTheAccountAndFadesIn) {
    UserSettings::setEmail("ann@example.com");
    UserSettings::setPlan("Premium, 1 year");
    openSettings();
    EXPECT_EQ(view->lblEmail->stringValue(), "ann@example.com");
    EXPECT_EQ(view->lblPlan->stringValue(), "Premium, 1 year");
    EXPECT_FALSE(view->isHidden());
    const auto fades = platform::ui::AnimationLog::shared().records(view.get());
    ASSERT_FALSE(fades.empty());
    EXPECT_EQ(fades.back().duration, 0.7);
    EXPECT_EQ(view->alphaValue(), 1.0);
}

}  // namespace
