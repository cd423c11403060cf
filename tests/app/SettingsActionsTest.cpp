// The settings screen's action labels: log out, support mail and site, and the log export
// through the save panel, against real files and Info-ZIP's own check of the archive.

#include "app/ProductConstants.hpp"
#include "app/SettingsViewButton.hpp"
#include "app/UserSettings.hpp"
#include "fixtures/SettingsScreen.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/SavePanel.hpp"
#include "support/ChildProcess.hpp"
#include "support/FifoRelease.hpp"
#include "support/RecordingWorkspaceOpener.hpp"

#include <gtest/gtest.h>

#include <algorithm>

using corvantis::SettingsViewButton;
using corvantis::testing::ChildProcess;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

using Texts = std::vector<std::string>;

// The virtual clock starts on 7 December 2026 at 22:02 UTC.
constexpr const char* archiveName = "CorvantisVPN_071220262202.zip";

class SettingsActionsTest : public corvantis::testing::SettingsScreen {
protected:
    void SetUp() override { openSettings(); }

    std::shared_ptr<SettingsViewButton> label(int tag) const {
        for (const auto& candidate : view->selfAndDescendants()) {
            if (auto found = std::dynamic_pointer_cast<SettingsViewButton>(candidate); found && found->tag() == tag) {
                return found;
            }
        }
        throw std::logic_error("the screen has no label with tag " + std::to_string(tag));
    }

    std::shared_ptr<platform::ui::SavePanel> savePanel() const {
        return std::dynamic_pointer_cast<platform::ui::SavePanel>(window->attachedSheet());
    }

    std::filesystem::path logFolder() const { return temporaryFolder / "CorvantisLogs"; }

    void writeLog(const std::filesystem::path& name, const std::string& text) {
        ASSERT_TRUE(FileSystem::createDirectories((logFolder() / name).parent_path()));
        ASSERT_TRUE(FileSystem::writeFileAtomically(logFolder() / name, text, 0600));
    }

    // Clicks the export label and waits while it packs; true when the save panel came up.
    bool exportLogs() {
        log->clear();
        label(SettingsViewButton::exportLogsTag)->click();
        environment.runMainQueueUntil([&] { return savePanel() || !logged(prq::Level::error).empty(); });
        return savePanel() != nullptr;
    }

    // The progress fractions logged by the export.
    Texts fractions() const {
        Texts found;
        for (const auto& line : logged()) {
            if (line.starts_with("mouseDown(with:): ") && std::isdigit(static_cast<unsigned char>(line.back()))) {
                found.push_back(line.substr(line.find(": ") + 2));
            }
        }
        return found;
    }
};

TEST_F(SettingsActionsTest, ExportPacksTheWholeLogFolderAndSavesItWhereTheUserSays) {
    writeLog("CorvantisVPN_071220262150.log", "2026-12-07 21:50:00.000 [Info] started\n");
    writeLog(".hidden-state", "kept too");
    writeLog("earlier/CorvantisVPN_061220260900.log", "yesterday\n");
    ASSERT_TRUE(exportLogs());

    const auto panel = savePanel();
    EXPECT_EQ(panel->level(), 8);
    EXPECT_EQ(panel->title(), "Choose a destination");
    EXPECT_EQ(panel->nameFieldStringValue(), "CorvantisVPN_071220262202");
    EXPECT_FALSE(panel->showsHiddenFiles());
    EXPECT_TRUE(panel->canCreateDirectories());
    EXPECT_EQ(panel->allowedFileTypes(), (Texts{"zip"}));
    EXPECT_TRUE(FileSystem::fileExists(temporaryFolder / archiveName));
    const auto lines = logged();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "mouseDown(with:): Saving logs...");
    EXPECT_EQ(lines[1], "mouseDown(with:): Logs path: file://" + logFolder().string() + "/");
    EXPECT_EQ(fractions().back(), "1.0");

    // OK over a file that is already there replaces it; the temporary archive goes.
    const auto chosen = environment.folder / "Desktop" / "logs.zip";
    ASSERT_TRUE(FileSystem::createDirectories(chosen.parent_path()));
    ASSERT_TRUE(FileSystem::writeFileAtomically(chosen, "an older file", 0644));
    ASSERT_TRUE(panel->ok((chosen.parent_path() / "logs").string()));
    environment.runMainQueue();
    EXPECT_FALSE(FileSystem::fileExists(temporaryFolder / archiveName));
    const auto tested = ChildProcess::run({"unzip", "-t", chosen.string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.output;
    const auto listed = ChildProcess::run({"unzip", "-Z1", chosen.string()});
    for (const auto* entry : {"CorvantisVPN_071220262150.log", ".hidden-state", "earlier/CorvantisVPN_061220260900.log"}) {
        EXPECT_NE(listed.output.find(entry), std::string::npos) << listed.output;
    }
    EXPECT_TRUE(logged(prq::Level::error).empty());
}

TEST_F(SettingsActionsTest, SavingOntoTheArchiveItselfKeepsIt) {
    writeLog("CorvantisVPN_071220262150.log", "started\n");
    const auto linkedFolder = environment.folder / "linked-temporary";
    std::filesystem::create_directory_symlink(temporaryFolder, linkedFolder);
    const auto linkedArchive = environment.folder / "linked.zip";
    std::filesystem::create_symlink(temporaryFolder / archiveName, linkedArchive);
    const std::string baseName = std::filesystem::path(archiveName).stem().string();
    for (const auto& chosen :
         {temporaryFolder / baseName, temporaryFolder / "." / baseName,
          temporaryFolder.parent_path() / ".." / temporaryFolder.parent_path().filename() / temporaryFolder.filename() / baseName,
          linkedFolder / baseName, linkedArchive}) {
        corvantis::MainWindow::shared().show();  // the popup closed with the last panel
        ASSERT_TRUE(exportLogs()) << chosen;
        ASSERT_TRUE(savePanel()->ok(chosen.string()));
        environment.runMainQueue();
        const auto tested = ChildProcess::run({"unzip", "-t", (temporaryFolder / archiveName).string()});
        EXPECT_EQ(tested.exitCode, 0) << chosen << ": " << tested.output;
        EXPECT_TRUE(logged(prq::Level::error).empty()) << chosen;
    }
}

TEST_F(SettingsActionsTest, ASecondExportInTheSameMinuteNeverPacksOverNorRemovesTheArchiveTheUserKept) {
    writeLog("CorvantisVPN_071220262150.log", "started\n");
    ASSERT_TRUE(exportLogs());
    ASSERT_TRUE(savePanel()->ok((temporaryFolder / std::filesystem::path(archiveName).stem()).string()));
    environment.runMainQueue();
    const auto kept = FileSystem::readFile(temporaryFolder / archiveName);
    ASSERT_TRUE(kept);

    writeLog("CorvantisVPN_071220262150.log", "started\nand more\n");
    corvantis::MainWindow::shared().show();
    ASSERT_TRUE(exportLogs());
    EXPECT_EQ(savePanel()->nameFieldStringValue(), "CorvantisVPN_071220262202") << "the same name is offered";
    ASSERT_TRUE(savePanel()->cancel());
    environment.runMainQueue();
    const auto after = FileSystem::readFile(temporaryFolder / archiveName);
    ASSERT_TRUE(after) << "the kept archive is still there";
    EXPECT_EQ(after.value(), kept.value());
    Texts archives;
    for (const auto& item : std::filesystem::directory_iterator(temporaryFolder)) {
        if (item.path().extension() == ".zip") archives.push_back(item.path().filename().string());
    }
    EXPECT_EQ(archives, Texts{archiveName}) << "the second export's own archive went with its panel";
}

TEST_F(SettingsActionsTest, AnEmptyFolderGivesAnEmptyArchiveAndOnlyTheFinalFraction) {
    ASSERT_TRUE(FileSystem::createDirectories(logFolder()));
    ASSERT_TRUE(exportLogs());
    EXPECT_EQ(fractions(), (Texts{"1.0"}));
    // Cancel keeps nothing behind.
    ASSERT_TRUE(savePanel()->cancel());
    environment.runMainQueue();
    EXPECT_FALSE(FileSystem::fileExists(temporaryFolder / archiveName));
    EXPECT_TRUE(platform::ui::Alert::pendingAlerts().empty());
}

TEST_F(SettingsActionsTest, AMissingFolderGivesOneErrorLineAndNoPanel) {
    EXPECT_FALSE(exportLogs());
    const auto errors = logged(prq::Level::error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("mouseDown(with:): Saving logs error: ")) << errors[0];
    EXPECT_FALSE(FileSystem::fileExists(temporaryFolder / archiveName));
}

TEST_F(SettingsActionsTest, AFailedCopyIsLoggedAndShownAndLeavesNoArchive) {
    writeLog("CorvantisVPN_071220262150.log", "started\n");
    ASSERT_TRUE(exportLogs());
    ASSERT_TRUE(savePanel()->ok((environment.folder / "gone" / "logs.zip").string()));
    environment.runMainQueue();
    const auto errors = logged(prq::Level::error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(errors[0].starts_with("mouseDown(with:): Saving logs error: ")) << errors[0];
    const auto alerts = platform::ui::Alert::pendingAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->messageText(), "The logs could not be saved");
    EXPECT_FALSE(FileSystem::fileExists(temporaryFolder / archiveName));
}

TEST_F(SettingsActionsTest, ExportTakesOnlyTheRegularFilesInsideTheLogFolder) {
    // What a link in the log folder must not bring into an archive that the user hands on.
    const std::string secret = "account password hunter2-7319";
    const auto outside = environment.folder / "outside";
    ASSERT_TRUE(FileSystem::createDirectories(outside));
    ASSERT_TRUE(FileSystem::writeFileAtomically(outside / "settings.json", secret, 0600));
    writeLog("CorvantisVPN_071220262150.log", "started\n");
    writeLog("earlier/CorvantisVPN_061220260900.log", "yesterday\n");
    std::filesystem::create_symlink(outside / "settings.json", logFolder() / "settings.log");
    std::filesystem::create_symlink(outside / "settings.json", logFolder() / "earlier" / "linked.log");
    std::filesystem::create_directory_symlink(outside, logFolder() / "outside");
    std::filesystem::create_hard_link(outside / "settings.json", logFolder() / "hard.log");
    corvantis::testing::FifoRelease fifo(logFolder() / "pipe");

    log->clear();
    label(SettingsViewButton::exportLogsTag)->click();
    label(SettingsViewButton::exportLogsTag)->click();  // while the first one packs: nothing
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return savePanel() != nullptr; }));
    EXPECT_FALSE(fifo.released()) << "the export waited for a writer on the FIFO";
    const auto lines = logged();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "mouseDown(with:): Saving logs..."), 1);
    auto skipped = logged(prq::Level::warning);
    std::sort(skipped.begin(), skipped.end());
    const std::string prefix = "mouseDown(with:): Saving logs skipped " + logFolder().string() + "/";
    EXPECT_EQ(
        skipped,
        (Texts{prefix + "earlier/linked.log: a symbolic link", prefix + "hard.log: a file with more than one name (a hard link)",
               prefix + "outside: a symbolic link", prefix + "pipe: a FIFO", prefix + "settings.log: a symbolic link"}));

    const auto chosen = environment.folder / "logs.zip";
    ASSERT_TRUE(savePanel()->ok(chosen.string()));
    environment.runMainQueue();
    const auto listed = ChildProcess::run({"unzip", "-Z1", chosen.string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.output;
    Texts entries;
    for (std::size_t start = 0, end; (end = listed.output.find('\n', start)) != std::string::npos; start = end + 1) {
        entries.push_back(listed.output.substr(start, end - start));
    }
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (Texts{"CorvantisVPN_071220262150.log", "earlier/CorvantisVPN_061220260900.log"}));
    // Every entry's bytes together hold the two logs and nothing else, in the folder's order.
    const auto unpacked = ChildProcess::run({"unzip", "-p", chosen.string()}).output;
    EXPECT_TRUE(unpacked == "started\nyesterday\n" || unpacked == "yesterday\nstarted\n") << unpacked;
    EXPECT_EQ(FileSystem::readFile(chosen).value().find(secret), std::string::npos);
}

TEST_F(SettingsActionsTest, LogOutForgetsOnlyTheCredentials) {
    corvantis::UserSettings::setUsername("ann@example.com");
    corvantis::UserSettings::setPassword("secret");
    ASSERT_TRUE(environment.defaults->set(true, "isKillSwitchEnabled"));
    view->btnAccount->click();  // the label lies on the account page
    label(SettingsViewButton::logOutTag)->click();
    EXPECT_FALSE(environment.defaults->object("username"));
    EXPECT_FALSE(environment.defaults->object("password"));
    EXPECT_TRUE(environment.defaults->object("isKillSwitchEnabled"));
    EXPECT_TRUE(environment.defaults->object("protocol"));
    EXPECT_TRUE(view->isHidden());
    EXPECT_FALSE(corvantis::MainWindow::shared().loginView->isHidden());
}

TEST_F(SettingsActionsTest, QuitAsksFirst) {
    label(SettingsViewButton::quitTag)->click();
    const auto alerts = platform::ui::Alert::pendingAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]->informativeText(), "Are you sure you want to quit?");
    ASSERT_TRUE(alerts[0]->answer("Cancel"));
    environment.runMainQueue();
    EXPECT_FALSE(platform::ui::Application::shared().isTerminated());
}

TEST_F(SettingsActionsTest, SupportMailAndSiteOpenTheProductsAddresses) {
    auto opener = std::make_shared<corvantis::testing::RecordingWorkspaceOpener>();
    auto services = platform::Services::current();
    services.workspaceOpenerOverride = opener;
    platform::ScopedServices recording(services);
    corvantis::testing::ScopedEnvironment site("CORVANTIS_SUPPORT_SITE", "http://127.0.0.1:8080/help/");
    label(SettingsViewButton::supportMailTag)->click();
    label(SettingsViewButton::supportSiteTag)->click();
    EXPECT_EQ(opener->opened, (Texts{"mailto:support@corvantisvpn.com", "http://127.0.0.1:8080/help"}));
}

TEST_F(SettingsActionsTest, ALinkThatCannotBeOpenedLeavesOneLogLineWithTheReason) {
    class RefusingOpener final : public platform::ui::WorkspaceOpener {
    public:
        platform::foundation::Expected<void> open(const platform::foundation::Url&, LateFailure failedLater) override {
            if (!handedOver)
                return platform::foundation::Error{ENOENT, "xdg-open is not installed (Debian's package \"xdg-utils\")"};
            platform::dispatch::DispatchQueue::main()->async([failedLater] {
                failedLater(platform::foundation::Error{ECHILD, "xdg-open could not open it (exit status 4)"});
            });
            return {};
        }
        bool handedOver = false;
    };
    auto refusing = std::make_shared<RefusingOpener>();
    auto services = platform::Services::current();
    services.workspaceOpenerOverride = refusing;
    platform::ScopedServices refusingServices(services);
    log->clear();
    label(SettingsViewButton::supportSiteTag)->click();
    const auto errors = logged(prq::Level::error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(corvantis::product::supportSite() +
                             " could not be opened: xdg-open is not installed (Debian's package \"xdg-utils\")"),
              std::string::npos)
        << errors[0];

    // Handed over, but the opener ends with a failure: that too leaves its line, once it is known.
    refusing->handedOver = true;
    log->clear();
    label(SettingsViewButton::supportSiteTag)->click();
    EXPECT_TRUE(logged(prq::Level::error).empty());
    environment.runMainQueue();
    const auto late = logged(prq::Level::error);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_NE(
        late[0].find(corvantis::product::supportSite() + " could not be opened: xdg-open could not open it (exit status 4)"),
        std::string::npos)
        << late[0];
}

}  // namespace
