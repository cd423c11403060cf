#include "UiTestCase.hpp"

#include "platform/Services.hpp"
#include "platform/ui/Workspace.hpp"
#include "platform/ui/XdgOpenWorkspaceOpener.hpp"
#include "support/Patience.hpp"
#include "support/RecordingWorkspaceOpener.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

using corvantis::testing::RecordingWorkspaceOpener;
using corvantis::testing::ScopedEnvironment;
using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using platform::ui::Workspace;
using platform::ui::XdgOpenWorkspaceOpener;

namespace {

std::string readWhenWritten(const std::filesystem::path& file) {
    // The opener does not wait for the program it starts, so the test waits for its output.
    std::string text;
    corvantis::testing::eventually([&] {
        std::ifstream in(file);
        std::stringstream content;
        content << in.rdbuf();
        text = content.str();
        return text.find('\n') != std::string::npos;
    });
    return text.find('\n') != std::string::npos ? text : std::string();
}

class WorkspaceTest : public corvantis::testing::UiTestCase {
protected:
    TemporaryFolder folder;

    // An "xdg-open" that writes its arguments, one per line, into `opened`.
    void installFakeXdgOpen() {
        const auto program = folder / "xdg-open";
        std::ofstream(program) << "#!/bin/sh\nfor argument in \"$@\"; do printf '%s\\n' \"$argument\"; done > \""
                               << (folder / "opened").string() << "\"\n";
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    }
};

TEST_F(WorkspaceTest, OpeningGoesThroughTheInstalledOpener) {
    auto recorder = std::make_shared<RecordingWorkspaceOpener>();
    platform::Services services;
    services.workspaceOpenerOverride = recorder;
    platform::ScopedServices scope(services);
    EXPECT_TRUE(Workspace::shared().open(*Url::fromString("mailto:support@example.com")));
    EXPECT_EQ(recorder->opened, (std::vector<std::string>{"mailto:support@example.com"}));
}

TEST_F(WorkspaceTest, XdgOpenGetsTheUrlAsItsOneArgumentWithoutAShell) {
    installFakeXdgOpen();
    ScopedEnvironment path("PATH", folder.path().string());
    const auto url = Url::fromString("https://example.com/account/login/index?next=a;b&c=$(id)");
    ASSERT_TRUE(url);
    EXPECT_TRUE(XdgOpenWorkspaceOpener().open(*url, {}));
    EXPECT_EQ(readWhenWritten(folder / "opened"), url->absoluteString() + "\n");
}

TEST_F(WorkspaceTest, AnXdgOpenThatFailsIsReportedWithItsExitStatusOnTheMainQueue) {
    const auto program = folder / "xdg-open";
    std::ofstream(program) << "#!/bin/sh\nexit 4\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    ScopedEnvironment path("PATH", folder.path().string());
    std::optional<std::string> failure;
    XdgOpenWorkspaceOpener opener;
    ASSERT_TRUE(opener.open(*Url::fromString("https://example.com/"),
                            [&](const platform::foundation::Error& error) { failure = error.message; }));
    EXPECT_TRUE(time.mainQueue().runUntil([&] { return failure.has_value(); }, std::chrono::seconds(30)));
    EXPECT_EQ(failure, "xdg-open could not open it (exit status 4)");
}

TEST_F(WorkspaceTest, WithoutXdgOpenNothingIsOpenedAndTheReasonSaysWhatToInstall) {
    ScopedEnvironment path("PATH", folder.path().string());
    const auto opened = XdgOpenWorkspaceOpener().open(*Url::fromString("https://example.com/"), {});
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error().message, "xdg-open is not installed (Debian's package \"xdg-utils\")");
}

}  // namespace
