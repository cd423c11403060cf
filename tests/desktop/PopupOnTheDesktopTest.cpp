// The installed program on a virtual X screen, its status item in a tray, a StatusNotifierItem
// panel or the strip, with and without a window manager, driven with xdotool as a person drives
// it and looked at through the screen: where the popup opens at start-up, how Escape closes it,
// and how its sheets and alerts behave.

#include "platform/foundation/Base64.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/ChildProcess.hpp"
#include "support/ScopedEnvironment.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/backend/TestBackend.hpp"
#include "testbed/desktop/DesktopApplication.hpp"
#include "testbed/desktop/KeyringSession.hpp"
#include "testbed/desktop/StatusNotifierPanel.hpp"
#include "testbed/desktop/VirtualDesktop.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using corvantis::testbed::DesktopApplication;
using corvantis::testbed::KeyringSession;
using corvantis::testbed::StatusNotifierPanel;
using corvantis::testbed::VirtualDesktop;
using Area = VirtualDesktop::Area;
using ShownWindow = VirtualDesktop::ShownWindow;
using namespace std::chrono_literals;

namespace {

constexpr const char* className = "corvantis-vpn";
constexpr int arrowHeight = 8;
// Places on the 300 × 400 screens, from the top-left corner of the popup's content.
constexpr int fieldX = 164;
constexpr int emailY = 92;
constexpr int passwordY = 142;
constexpr int settingsButtonX = 275;
constexpr int settingsButtonY = 25;
constexpr int quitLabelX = 220;
constexpr int exportLabelX = 85;
constexpr int actionLabelY = 375;
// The buttons of an alert: 90 × 32, 20 from its right and bottom edges, 12 apart.
constexpr int buttonWidth = 90;
constexpr int buttonHeight = 32;
constexpr int buttonMargin = 20;
constexpr int buttonSpacing = 12;

int red(std::uint32_t pixel) {
    return static_cast<int>(pixel >> 16);
}
int green(std::uint32_t pixel) {
    return static_cast<int>((pixel >> 8) & 0xFF);
}
int blue(std::uint32_t pixel) {
    return static_cast<int>(pixel & 0xFF);
}
// The accent blue, or something mixed mostly of it.
bool isBluish(std::uint32_t pixel) {
    return blue(pixel) > red(pixel) + 60 && blue(pixel) > green(pixel) + 20;
}
bool isWhitish(std::uint32_t pixel) {
    return red(pixel) > 200 && green(pixel) > 200 && blue(pixel) > 200;
}

// Each test runs on a bare X screen and again under openbox, whose focus handling differs.
class PopupOnTheDesktopTest : public ::testing::TestWithParam<bool> {
protected:
    // The desktop with its tray (none: the application's own strip; "sni": a StatusNotifierItem
    // panel at the bottom) and the application started, with `environment` ("NAME=value") added
    // to the application's.
    void start(const std::string& trayEdge, std::vector<std::string> environment = {}) {
        VirtualDesktop::Options options;
        const bool statusNotifier = trayEdge == "sni";
        if (!statusNotifier) options.trayEdge = trayEdge;
        options.windowManager = GetParam();
        if (const auto reason = VirtualDesktop::unavailableReason(options)) GTEST_SKIP() << *reason;
        if (const auto reason = StatusNotifierPanel::unavailableReason(); reason && statusNotifier) GTEST_SKIP() << *reason;
        ASSERT_TRUE(backend.start());
        desktop = std::make_unique<VirtualDesktop>(options);
        std::string tray = trayEdge.empty() ? "strip" : "xembed";
        if (statusNotifier) {
            panel = std::make_unique<StatusNotifierPanel>(*desktop, panelFolder.path());
            ASSERT_EQ(panel->problem(), "");
            environment.push_back("DBUS_SESSION_BUS_ADDRESS=" + panel->busAddress());
            tray = "sni";
        }
        application = std::make_unique<DesktopApplication>(
            DesktopApplication::Options{CORVANTIS_VPN_PROGRAM, desktop->displayName(), backend.url(), tray, environment});
        ASSERT_TRUE(application->waitUntilStarted()) << output();
        ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return popup().has_value(); })) << output();
    }

    std::string output() const { return application ? application->program().output() : std::string{}; }

    // The popup: the application's popup-menu window as wide as its screens.
    std::optional<ShownWindow> popup() const {
        for (const auto& window : desktop->windowsOf(className)) {
            if (window.type == "POPUP_MENU" && window.area.width >= 250) return window;
        }
        return std::nullopt;
    }
    // The windows of a type, leaving out the strip's small status item window.
    std::vector<ShownWindow> windowsOfType(const std::string& type) const {
        auto windows = desktop->windowsOf(className);
        std::erase_if(windows, [&](const ShownWindow& window) { return window.type != type || window.area.width < 100; });
        return windows;
    }
    // The top-left corner of the popup's content, below the arrow of a popup that hangs from an icon.
    int contentX() const { return popup()->area.x; }
    int contentY() const { return popup()->area.y + arrowHeight; }
    void clickInPopup(int x, int y) const { desktop->click(contentX() + x, contentY() + y); }

    void typeCredentials(const std::string& password) const {
        clickInPopup(fieldX, emailY);
        desktop->type("demo@corvantis.test");
        clickInPopup(fieldX, passwordY);
        desktop->type(password);
    }
    // Signs in and waits for the connect screen, then opens the settings screen.
    void signInAndOpenSettings() const {
        typeCredentials("demo-password");
        desktop->key("Return");
        ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return requestsTo("/account/api2/me") > 0; }, 20s)) << output();
        std::this_thread::sleep_for(1s);
        clickInPopup(settingsButtonX, settingsButtonY);
        std::this_thread::sleep_for(1s);
    }
    // Clicks an action label of the settings screen until a sheet shows, as a person clicks again
    // when the first click came too early.
    bool clickForSheet(int x, int y) const {
        for (int attempt = 0; attempt < 3; ++attempt) {
            clickInPopup(x, y);
            if (VirtualDesktop::waitUntil([&] { return windowsOfType("DIALOG").size() == 1; }, 5s)) return true;
        }
        return false;
    }
    std::size_t requestsTo(const std::string& path) const {
        const auto requests = backend.requests();
        return static_cast<std::size_t>(
            std::count_if(requests.begin(), requests.end(), [&](const auto& request) { return request.path == path; }));
    }
    std::size_t passwordGrants() const {
        const auto requests = backend.requests();
        return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [](const auto& request) {
            return std::find(request.form.begin(), request.form.end(),
                             std::pair<std::string, std::string>{"grant_type", "password"}) != request.form.end();
        }));
    }
    // Whether the popup is shown with the keyboard focus, once a sheet over it is gone and the
    // window manager, if any, has done what it does with the focus.
    bool popupHasTheKeys() const {
        return VirtualDesktop::waitUntil([&] { return popup() && desktop->focusedWindow() == popup()->id; });
    }
    bool waitForSheets(std::size_t count) const {
        return VirtualDesktop::waitUntil([&] { return windowsOfType("DIALOG").size() == count; });
    }
    // The middle of button `index` (0 for the first, rightmost) of an alert shown in `area`.
    static std::pair<int, int> buttonOf(const Area& area, int index) {
        const int right = area.maxX() - buttonMargin - index * (buttonWidth + buttonSpacing);
        return {right - buttonWidth / 2, area.maxY() - buttonMargin - buttonHeight / 2};
    }

    corvantis::testbed::TestBackend backend;
    std::unique_ptr<VirtualDesktop> desktop;
    corvantis::testing::TemporaryFolder panelFolder;
    std::unique_ptr<StatusNotifierPanel> panel;
    std::unique_ptr<DesktopApplication> application;
};

TEST_P(PopupOnTheDesktopTest, WithTheTrayAtTheBottomTheStartUpPopupOpensAboveItsIconWithTheArrowPointingAtIt) {
    ASSERT_NO_FATAL_FAILURE(start("bottom"));
    if (IsSkipped()) return;
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return desktop->trayIcon(className).has_value(); })) << output();
    const Area icon = *desktop->trayIcon(className);
    ASSERT_GT(icon.y, desktop->options().height / 2) << "trayer docked the icon at the bottom";
    // The popup follows the icon wherever the tray put it.
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return popup() && popup()->area.maxY() == icon.y; }))
        << "popup at " << popup()->area.x << "," << popup()->area.y << ", icon at " << icon.x << "," << icon.y;
    const Area shown = popup()->area;
    EXPECT_LE(shown.x, icon.midX());
    EXPECT_GE(shown.maxX(), icon.midX());
    // The arrow's tip touches the icon's middle: white just above it, the desktop beside it. The
    // column left of the middle is tested, for near the body's corner the arrow is only the half
    // on the body's side of its tip.
    const int tipX = icon.midX() - 1;
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return isWhitish(desktop->pixel(tipX, shown.maxY() - 3)); }))
        << std::hex << desktop->pixel(tipX, shown.maxY() - 3);
    EXPECT_FALSE(isWhitish(desktop->pixel(icon.midX() + 10, shown.maxY() - 3)));
    EXPECT_TRUE(isWhitish(desktop->pixel(tipX, shown.maxY() - arrowHeight - 120))) << "the body above the arrow and its waves";
}

TEST_P(PopupOnTheDesktopTest, InAStatusNotifierPanelAtTheBottomTheStartUpPopupOpensAboveItAndMovesToTheIconTheHostReports) {
    ASSERT_NO_FATAL_FAILURE(start("sni"));
    if (IsSkipped()) return;
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return panel->area() && panel->trayArea(); })) << panel->output();
    const Area bar = *panel->area();
    ASSERT_GT(bar.y, desktop->options().height / 2);
    // Before the host has said where the icon is, the popup stands on the panel at its tray's end.
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return popup() && popup()->area.maxY() == bar.y; }))
        << "popup at " << popup()->area.x << "," << popup()->area.y << ", panel at " << bar.y;
    EXPECT_GT(popup()->area.maxX(), bar.maxX() - 100);
    // A click on the icon tells where it is: the open popup moves there and stays open, its arrow
    // on the icon.
    const Area tray = *panel->trayArea();
    desktop->click(tray.midX(), tray.midY());
    const int tipX = tray.midX() - 1;
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] {
        return popup() && popup()->area.maxY() == bar.y && isWhitish(desktop->pixel(tipX, bar.y - 3)) &&
               !isWhitish(desktop->pixel(tipX + 12, bar.y - 3));
    })) << (popup() ? "the arrow is not on the icon" : "the click closed the popup");
    // From then on a click on the icon closes and opens it there. The clicks land a few pixels
    // apart, so that the panel does not take two of them for a double click.
    desktop->click(tray.midX() + 5, tray.midY());
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return !popup().has_value(); }));
    desktop->click(tray.midX() - 5, tray.midY());
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return popup() && isWhitish(desktop->pixel(tipX - 5, bar.y - 3)); }));
}

TEST_P(PopupOnTheDesktopTest, EscapeClosesThePopupThatOpensAtStartUpAndAClickOnTheIconBringsItBack) {
    ASSERT_NO_FATAL_FAILURE(start(""));
    if (IsSkipped()) return;
    desktop->key("Escape");
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return !popup().has_value(); })) << "the start-up popup stays open";
    desktop->click(desktop->options().width - 11, 11);
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return popup().has_value(); })) << output();
    desktop->key("Escape");
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return !popup().has_value(); }));
}

TEST_P(PopupOnTheDesktopTest, TheLoginErrorSheetLiesOnThePopupTakesItsClicksAndKeysAndReturnAnswersIt) {
    ASSERT_NO_FATAL_FAILURE(start(""));
    if (IsSkipped()) return;
    // Opened from the icon: a popup that closes when it loses the keys, unlike the start-up one.
    desktop->key("Escape");
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return !popup().has_value(); })) << output();
    desktop->click(desktop->options().width - 11, 11);
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return popup().has_value(); })) << output();
    typeCredentials("wrong-password");
    desktop->key("Return");
    ASSERT_TRUE(waitForSheets(1)) << output();
    ASSERT_TRUE(popup().has_value()) << "Return in the password field must not close the popup behind its sheet";
    const Area body = popup()->area;
    const Area sheet = windowsOfType("DIALOG").front().area;
    EXPECT_LE(sheet.width, body.width);
    EXPECT_TRUE(body.contains(sheet)) << "sheet " << sheet.x << "," << sheet.y << " " << sheet.width << "×" << sheet.height;
    EXPECT_EQ(sheet.y, body.y + arrowHeight) << "hung from the popup's body, below the arrow";
    const auto grants = passwordGrants();

    // The form under the sheet takes nothing: neither a click on "Log in" nor Return.
    const int loginY = contentY() + 228;
    ASSERT_GT(loginY, sheet.maxY());
    desktop->click(contentX() + 150, loginY);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(passwordGrants(), grants) << "a second sign-in started under the sheet";
    EXPECT_EQ(windowsOfType("DIALOG").size(), 1u);

    // The default button is marked; Return chooses it and the popup comes back with its form.
    const auto [okX, okY] = buttonOf(sheet, 0);
    EXPECT_TRUE(isBluish(desktop->pixel(okX - 30, okY))) << std::hex << desktop->pixel(okX - 30, okY);
    desktop->key("Return");
    EXPECT_TRUE(waitForSheets(0));
    EXPECT_EQ(passwordGrants(), grants);
    // The keys are the popup's again, whatever a window manager did with the focus when the sheet
    // went: Return in the form signs in again, and OK clicked on the next sheet brings it back too.
    ASSERT_TRUE(popupHasTheKeys()) << "focus on " << std::hex << desktop->focusedWindow();
    desktop->key("Return");
    ASSERT_TRUE(waitForSheets(1)) << "the form did not take Return after the sheet";
    EXPECT_GT(passwordGrants(), grants);
    const auto [nextOkX, nextOkY] = buttonOf(windowsOfType("DIALOG").front().area, 0);
    desktop->click(nextOkX, nextOkY);
    EXPECT_TRUE(waitForSheets(0));
    EXPECT_TRUE(popupHasTheKeys()) << "focus on " << std::hex << desktop->focusedWindow();
}

TEST_P(PopupOnTheDesktopTest, TheQuitQuestionMovesItsFocusRingWithTabClosesAndReturnsWithThePopupAndAnswersEscapeWithCancel) {
    ASSERT_NO_FATAL_FAILURE(start(""));
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(signInAndOpenSettings());
    ASSERT_TRUE(clickForSheet(quitLabelX, actionLabelY)) << output();
    const Area sheet = windowsOfType("DIALOG").front().area;
    const auto [quitX, quitY] = buttonOf(sheet, 0);
    const auto [cancelX, cancelY] = buttonOf(sheet, 1);
    // The focus starts on the default button, "Quit": its inner ring shows white on the accent.
    const int ringInset = 3;
    const auto quitRing = [&] { return desktop->pixel(quitX - buttonWidth / 2 + ringInset, quitY); };
    const auto cancelRing = [&] { return desktop->pixel(cancelX - buttonWidth / 2 + 2, cancelY); };
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return isWhitish(quitRing()); })) << std::hex << quitRing();
    EXPECT_FALSE(isBluish(cancelRing())) << std::hex << cancelRing();
    desktop->key("Tab");
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return isBluish(cancelRing()); })) << std::hex << cancelRing();
    EXPECT_TRUE(isBluish(quitRing())) << "the ring left the default button: " << std::hex << quitRing();
    desktop->key("shift+Tab");
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return isWhitish(quitRing()) && !isBluish(cancelRing()); }));

    // A click on the icon closes the popup and its question with it; the next brings both back.
    const int iconX = desktop->options().width - 11;
    desktop->click(iconX, 11);
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return !popup() && windowsOfType("DIALOG").empty(); }));
    desktop->click(iconX, 11);
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return popup() && windowsOfType("DIALOG").size() == 1; }));

    // Escape is "Cancel": the application stays, the popup with it.
    desktop->key("Escape");
    EXPECT_TRUE(waitForSheets(0));
    EXPECT_FALSE(application->program().exit());
    EXPECT_TRUE(popupHasTheKeys()) << "focus on " << std::hex << desktop->focusedWindow();
}

TEST_P(PopupOnTheDesktopTest, TheSavePanelsOwnAlertOpensAboveThePanelWhichTakesTheKeysBackAndSavesOnReturn) {
    ASSERT_NO_FATAL_FAILURE(start(""));
    if (IsSkipped()) return;
    ASSERT_NO_FATAL_FAILURE(signInAndOpenSettings());
    // What someone else may have put into the log folder: a FIFO, which must not hold up the
    // export, and a link to the settings, which must not bring them into the archive.
    const auto logs = application->folder() / "tmp" / "CorvantisLogs";
    ASSERT_EQ(::mkfifo((logs / "pipe.log").c_str(), 0600), 0);
    std::filesystem::create_symlink(application->folder() / "home" / ".config", logs / "settings.log");
    ASSERT_TRUE(clickForSheet(exportLabelX, actionLabelY)) << output();
    const ShownWindow savePanel = windowsOfType("DIALOG").front();
    // Tab selects the folder; a folder that does not exist is refused with an alert.
    desktop->key("Tab");
    desktop->type("/nonexistent-folder");
    desktop->key("Return");
    // The alert is a dialog over the panel, which it belongs to.
    ASSERT_TRUE(waitForSheets(2)) << output();
    const auto windows = desktop->windowsOf(className);
    const auto position = [&](unsigned long id) {
        return std::find_if(windows.begin(), windows.end(), [&](const auto& window) { return window.id == id; }) -
               windows.begin();
    };
    const auto dialogs = windowsOfType("DIALOG");
    const ShownWindow alert = dialogs.front().id == savePanel.id ? dialogs.back() : dialogs.front();
    EXPECT_GT(position(alert.id), position(savePanel.id)) << "the alert is stacked below the panel";
    EXPECT_LT(alert.area.x, savePanel.area.maxX());
    EXPECT_GT(alert.area.maxX(), savePanel.area.x);
    EXPECT_EQ(alert.area.y, savePanel.area.y) << "the alert hangs over the panel it interrupts";
    EXPECT_EQ(desktop->transientFor(alert.id), savePanel.id);
    desktop->key("Return");
    EXPECT_TRUE(waitForSheets(1)) << "the panel waits for another folder";

    // A folder that exists, then Return in the name field: the default button saves there.
    const auto saved = application->folder() / "home";
    desktop->key("ctrl+a");
    desktop->type(saved.string());
    desktop->key("shift+Tab");
    desktop->key("Return");
    EXPECT_TRUE(waitForSheets(0)) << "Return did not press Save";
    EXPECT_TRUE(popupHasTheKeys()) << "focus on " << std::hex << desktop->focusedWindow();
    std::filesystem::path archive;
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] {
        for (const auto& entry : std::filesystem::directory_iterator(saved)) {
            if (entry.path().extension() == ".zip") archive = entry.path();
        }
        return !archive.empty();
    })) << output();
    const auto listing = corvantis::testing::ChildProcess::run({"unzip", "-Z1", archive.string()});
    EXPECT_NE(listing.output.find(".log"), std::string::npos) << listing.output;
    EXPECT_EQ(listing.output.find("pipe.log"), std::string::npos) << listing.output;
    EXPECT_EQ(listing.output.find("settings"), std::string::npos) << listing.output;
}

TEST_P(PopupOnTheDesktopTest, TheCrashAlertIsADialogUnderTheApplicationsNameAndReturnChoosesTheButtonTheFocusWasMovedTo) {
    VirtualDesktop::Options options;
    options.windowManager = GetParam();
    if (const auto reason = VirtualDesktop::unavailableReason(options)) GTEST_SKIP() << *reason;
    ASSERT_TRUE(backend.start());
    desktop = std::make_unique<VirtualDesktop>(options);
    // No helper installed, and this machine cannot install one (no systemd, no pkexec); a link
    // the alert opens is written down instead of opened.
    corvantis::testing::TemporaryFolder folder;
    std::filesystem::create_directories(folder.path() / "units");
    std::filesystem::create_directories(folder.path() / "bin");
    const auto opened = folder.path() / "opened";
    const auto opener = folder.path() / "bin" / "xdg-open";
    { std::ofstream(opener) << "#!/bin/sh\necho \"$*\" > '" << opened.string() << "'\n"; }
    std::filesystem::permissions(opener, std::filesystem::perms::owner_all);
    application = std::make_unique<DesktopApplication>(
        DesktopApplication::Options{CORVANTIS_VPN_PROGRAM,
                                    desktop->displayName(),
                                    backend.url(),
                                    "strip",
                                    {"CORVANTIS_SYSTEMD_UNIT_DIR=" + (folder.path() / "units").string(),
                                     "PATH=" + (folder.path() / "bin").string() + ":" + std::getenv("PATH")}});
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return !windowsOfType("DIALOG").empty(); }, 30s)) << output();
    const ShownWindow alert = windowsOfType("DIALOG").front();
    EXPECT_EQ(desktop->windowTitle(alert.id), "Corvantis VPN");
    EXPECT_EQ(desktop->transientFor(alert.id), 0u) << "nothing to stand over at start-up";
    // Tab moves the ring to "Close" (blue, where the default "Support" shows white), and Return
    // then closes: the support site stays shut.
    const auto [closeX, closeY] = buttonOf(alert.area, 1);
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return desktop->focusedWindow() == alert.id; }));
    desktop->key("Tab");
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return isBluish(desktop->pixel(closeX - buttonWidth / 2 + 2, closeY)); }));
    desktop->key("Return");
    EXPECT_TRUE(VirtualDesktop::waitUntil([&] { return windowsOfType("DIALOG").empty(); }));
    application->program().signal(SIGTERM);
    EXPECT_TRUE(application->program().waitForExit(20s));
    EXPECT_FALSE(std::filesystem::exists(opened)) << "Return chose \"Support\"";
}

TEST_P(PopupOnTheDesktopTest, OnADesktopWithAKeyringTheSignInKeepsBothPasswordsThereAndInNoFileOfTheApplication) {
    if (const auto missing = KeyringSession::missingProgram(); !missing.empty())
        GTEST_SKIP() << missing << " is not installed (scripts/setup installs it)";
    corvantis::testing::TemporaryFolder sessionFolder;
    const KeyringSession keyring(sessionFolder.path());
    ASSERT_EQ(keyring.problem(), "");
    ASSERT_NO_FATAL_FAILURE(start("", {"DBUS_SESSION_BUS_ADDRESS=" + keyring.busAddress()}));
    if (IsSkipped()) return;
    typeCredentials("demo-password");
    desktop->key("Return");

    const corvantis::testing::ScopedEnvironment bus("DBUS_SESSION_BUS_ADDRESS", keyring.busAddress());
    const auto lookUp = [](const std::string& key) {
        return corvantis::testing::ChildProcess::run({"secret-tool", "lookup", "service", "Corvantis", "account", key}).output;
    };
    ASSERT_TRUE(VirtualDesktop::waitUntil([&] { return lookUp("com.corvantis.password") == "vpn-demo-secret"; }, 20s))
        << output();
    EXPECT_EQ(lookUp("com.corvantis.accountPassword"), "demo-password");
    // Settings, keychain file, logs and the helper's files alike.
    for (const auto& entry : std::filesystem::recursive_directory_iterator(application->folder())) {
        if (!entry.is_regular_file()) continue;
        const auto content = platform::foundation::FileSystem::readFile(entry.path());
        if (!content) continue;
        for (const std::string secret : {"demo-password", "vpn-demo-secret"}) {
            EXPECT_EQ(content.value().find(secret), std::string::npos) << entry.path();
            EXPECT_EQ(content.value().find(platform::foundation::Base64::encode(secret)), std::string::npos) << entry.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Desktops, PopupOnTheDesktopTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "UnderOpenbox" : "WithoutWindowManager"; });

}  // namespace
