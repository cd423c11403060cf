// The settings screen in the running application: started the way the program starts, against
// the test backend, reached from the connect screen and left again, and the export of the run's
// own log folder to the place answered in the save panel.

#include "app/AppDelegate.hpp"
#include "app/MainWindow.hpp"
#include "app/SettingsViewButton.hpp"
#include "fixtures/AppTestEnvironment.hpp"
#include "fixtures/LoopbackBackend.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "platform/ui/Alert.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/SavePanel.hpp"
#include "platform/ui/testing/Reset.hpp"
#include "support/ChildProcess.hpp"

#include <gtest/gtest.h>

using corvantis::MainWindow;
using corvantis::SettingsViewButton;
using corvantis::testing::ChildProcess;
using namespace std::chrono_literals;

namespace {

class SettingsInApplicationTest : public ::testing::Test {
protected:
    SettingsInApplicationTest() {
        platform::ui::testing::reset();
        EXPECT_TRUE(platform::foundation::FileSystem::createDirectories(temporary));
    }
    ~SettingsInApplicationTest() override { platform::ui::testing::reset(); }

    // Launches as the program does and waits until the popup with its screens is built.
    void launch() {
        delegate->logger = prq::PRQLogger::make("application", false);
        corvantis::AppDelegate::setShared(delegate);
        platform::ui::Application::shared().setDelegate(delegate);
        ::testing::internal::CaptureStdout();
        platform::ui::Application::shared().finishLaunching();
        ASSERT_TRUE(environment.runMainQueueUntil([] { return MainWindow::shared().settingsView != nullptr; }));
        ::testing::internal::GetCapturedStdout();
        environment.time.advance(1s);
    }

    static std::shared_ptr<platform::ui::Button> connectScreenSettingsButton() {
        for (const auto& candidate : MainWindow::shared().connectView->subviews()) {
            auto button = std::dynamic_pointer_cast<platform::ui::Button>(candidate);
            if (button && button->action() == "btnSettingsClick:") return button;
        }
        return nullptr;
    }

    std::shared_ptr<SettingsViewButton> exportLabel() const {
        for (const auto& candidate : MainWindow::shared().settingsView->selfAndDescendants()) {
            auto label = std::dynamic_pointer_cast<SettingsViewButton>(candidate);
            if (label && label->tag() == SettingsViewButton::exportLogsTag) return label;
        }
        return nullptr;
    }

    corvantis::testing::LoopbackBackend backend;
    corvantis::testing::AppTestEnvironment environment;
    std::filesystem::path temporary = environment.folder / "tmp";
    corvantis::testing::ScopedEnvironment tmpdir{"TMPDIR", temporary.string()};
    corvantis::testing::ScopedEnvironment noReports{"CORVANTIS_CRASH_DSN", ""};
    std::shared_ptr<corvantis::AppDelegate> delegate = std::make_shared<corvantis::AppDelegate>();
};

TEST_F(SettingsInApplicationTest, TheScreenLeadsBackToTheConnectScreenAndItsExportSavesTheRunsLogFolder) {
    launch();
    auto& main = MainWindow::shared();
    main.switchToView(corvantis::View::connectView);  // where a sign-in leads
    const auto settingsButton = connectScreenSettingsButton();
    ASSERT_TRUE(settingsButton);
    settingsButton->click();
    ASSERT_TRUE(main.isOpen());
    main.settingsView->btnBack->click();
    EXPECT_TRUE(main.settingsView->isHidden());
    EXPECT_FALSE(main.connectView->isHidden());
    EXPECT_FALSE(main.isOpen());
    settingsButton->click();
    ASSERT_TRUE(main.isOpen());

    const auto label = exportLabel();
    ASSERT_TRUE(label);
    label->click();
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return label->window()->attachedSheet() != nullptr; }));
    const auto panel = std::dynamic_pointer_cast<platform::ui::SavePanel>(label->window()->attachedSheet());
    ASSERT_TRUE(panel) << "the save panel is a sheet on the popup";
    const auto chosen = environment.folder / "Documents" / "corvantis-logs.zip";
    ASSERT_TRUE(platform::foundation::FileSystem::createDirectories(chosen.parent_path()));
    ASSERT_TRUE(panel->ok(chosen.string()));
    environment.runMainQueue();

    const auto tested = ChildProcess::run({"unzip", "-t", chosen.string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.output;
    // The run's own log file, with the lines the launch wrote into it.
    const auto logFile = ChildProcess::run({"unzip", "-p", chosen.string(), "CorvantisVPN_071220262202.log"});
    EXPECT_EQ(logFile.exitCode, 0) << logFile.output;
    EXPECT_NE(logFile.output.find("Hello Corvantis MacOS"), std::string::npos) << logFile.output;
    EXPECT_NE(logFile.output.find("Saving logs..."), std::string::npos);
    EXPECT_TRUE(platform::ui::Alert::pendingAlerts().empty());
}

}  // namespace
