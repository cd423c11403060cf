// The menu-bar application: hands control to the application's run loop with `AppDelegate` as the
// delegate.

#include "app/AppDelegate.hpp"
#include "app/RunningInstance.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/display/ApplicationMain.hpp"
#include "platform/render/DrawingSetup.hpp"
#include "platform/ui/Application.hpp"

#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

constexpr const char* usage =
    "usage: corvantis-vpn [--help] [--version]\n"
    "\n"
    "Corvantis VPN lives in the tray. On its first start it installs its privileged helper\n"
    "(asking for an administrator's password), then opens its popup on the login screen.\n"
    "A second start opens the running one's popup and ends.\n"
    "\n"
    "Environment (for development and tests):\n"
    "  CORVANTIS_API_URL           the backend instead of the service's own\n"
    "  CORVANTIS_IPIFY_URL, CORVANTIS_IPAPI_URL   the public-address services\n"
    "  CORVANTIS_HELPER_SOCKET     the helper's socket instead of /run/corvantis/…\n"
    "  CORVANTIS_SYSTEMD_UNIT_DIR  where to look for the installed helper's units and configuration\n"
    "  CORVANTIS_CRASH_DSN         the crash-reporting DSN (empty: no reports)\n"
    "  CORVANTIS_RESOURCES_DIR     the application's resources folder\n"
    "  CORVANTIS_TRAY              the tray to use: sni (StatusNotifierItem), xembed or strip\n"
    "  CORVANTIS_SUPPORT_EMAIL     the support mail address\n"
    "  CORVANTIS_SUPPORT_SITE      the support site\n"
    "Also read: DISPLAY and DBUS_SESSION_BUS_ADDRESS (the desktop, its tray and keyring), HOME and\n"
    "XDG_CONFIG_HOME (the settings), TMPDIR (the logs), XDG_RUNTIME_DIR (the lock of the running\n"
    "instance; the session bus when no address is set), PATH (xdg-open).\n";

// Crash reports still travelling at the end get this long to arrive.
constexpr auto crashReportFlushBound = std::chrono::seconds(2);

// SIGTERM and SIGINT (a session ending, Ctrl-C) quit the way the platform quits: through
// `terminate`, on the main queue. Blocked before any thread starts, so only this thread takes them.
void terminateOnStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const auto mainQueue = platform::Services::current().mainQueue();
    std::thread([stopSignals, mainQueue] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        mainQueue->async([] { platform::ui::Application::shared().terminate(); });
    }).detach();
}

// Makes this process the user's one running instance, held in `instance`. When another instance
// runs, it is asked to open its popup, and the answer is this process's exit status. Where the
// check itself cannot be made, the application runs without it.
std::optional<int> claimRunningInstance(std::unique_ptr<corvantis::RunningInstance>& instance) {
    using corvantis::RunningInstance;
    const auto folder = RunningInstance::defaultFolder();
    if (!folder) {
        std::cerr << "corvantis-vpn: cannot tell whether it runs already: " << folder.error().message << "\n";
        return std::nullopt;
    }
    auto claimed = RunningInstance::claim(folder.value());
    if (!claimed) {
        std::cerr << "corvantis-vpn: cannot tell whether it runs already: " << claimed.error().message << "\n";
        return std::nullopt;
    }
    instance = std::move(claimed.value());
    if (instance) return std::nullopt;
    if (!RunningInstance::askToOpenPopup(folder.value())) {
        std::cerr << "corvantis-vpn: another instance holds " << (folder.value() / RunningInstance::lockName).string()
                  << " but does not answer\n";
        return 1;
    }
    std::cout << "Corvantis VPN is running already: its popup opens there.\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::installApplicationServices();
    bool help = false;
    bool version = false;
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    for (const auto& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            help = true;
        } else if (argument == "--version") {
            version = true;
        } else {
            std::cerr << "corvantis-vpn: unexpected argument \"" << argument << "\"\n" << usage;
            return 2;
        }
    }
    if (version) std::cout << "corvantis-vpn " << CORVANTIS_VERSION << "\n";
    if (help) std::cout << usage;
    if (help || version) return 0;
    // A helper or backend that goes away must end a call, never the application.
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<corvantis::RunningInstance> instance;
    if (const auto exitStatus = claimRunningInstance(instance)) return *exitStatus;
    terminateOnStopSignals();

    // Before any screen is built: text measured as Pango draws it, images drawn from their files.
    platform::render::DrawingSetup::install(1.0);
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    platform::ui::Application::shared().setDelegate(delegate);
    if (instance) {
        instance->serve([delegate] {
            delegate->logger->info([] { return "Another start of the application asks for the popup"; });
            delegate->showMainWindow();
        });
    }
    // On $DISPLAY when there is one: the windows shown, the status item in the tray.
    const int status = platform::display::applicationMain();
    platform::crashreporting::CrashReporter::current()->flush(crashReportFlushBound);
    return status;
}
