// The menu-bar application: hands control to the application's run loop with `AppDelegate` as the
// delegate.

#include "app/AppDelegate.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/display/ApplicationMain.hpp"
#include "platform/render/DrawingSetup.hpp"
#include "platform/ui/Application.hpp"

#include <csignal>
#include <iostream>
#include <pthread.h>
#include <string>
#include <thread>

namespace {

constexpr const char* usage =
    "usage: corvantis-vpn [--help | --version]\n"
    "\n"
    "Corvantis VPN lives in the tray. On its first start it installs its privileged helper\n"
    "(asking for an administrator's password), then opens its popup on the login screen.\n"
    "\n"
    "Environment (for development and tests):\n"
    "  CORVANTIS_API_URL           the backend instead of the service's own\n"
    "  CORVANTIS_IPIFY_URL, CORVANTIS_IPAPI_URL   the public-address services\n"
    "  CORVANTIS_HELPER_SOCKET     the helper's socket instead of /run/corvantis/…\n"
    "  CORVANTIS_SYSTEMD_UNIT_DIR  where to look for the installed helper's units\n"
    "  CORVANTIS_CRASH_DSN         the crash-reporting DSN (empty: no reports)\n"
    "  CORVANTIS_RESOURCES_DIR     the application's resources folder\n";

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

}  // namespace

int main(int argc, char** argv) {
    platform::installApplicationServices();
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
        std::cout << usage;
        return 0;
    }
    if (arguments.size() == 1 && arguments[0] == "--version") {
        std::cout << "corvantis-vpn " << CORVANTIS_VERSION << "\n";
        return 0;
    }
    if (!arguments.empty()) {
        std::cerr << "corvantis-vpn: unexpected argument \"" << arguments[0] << "\"\n" << usage;
        return 2;
    }
    // A helper or backend that goes away must end a call, never the application.
    std::signal(SIGPIPE, SIG_IGN);
    terminateOnStopSignals();

    // Before any screen is built: text measured as Pango draws it, images drawn from their files.
    platform::render::DrawingSetup::install(1.0);
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    platform::ui::Application::shared().setDelegate(delegate);
    // On $DISPLAY when there is one: the windows shown, the status item in the tray.
    const int status = platform::display::applicationMain();
    platform::crashreporting::CrashReporter::current()->flush(crashReportFlushBound);
    return status;
}
