// What the running application costs while it only waits, on a virtual X screen: the
// corvantis-vpn program against the test backend with the real helper, its status item in the
// strip, signed in with the keyboard and mouse as a person signs in. Measured from outside over
// its threads (time on a CPU and context switches, from /proc), as a share of one core and as
// wake-ups per second, the median of `repetitions` windows of `window` each, in three states:
//   open on the connect screen, whose pulse plays;
//   open on the settings screen, where nothing moves;
//   closed (the pulse still playing behind the closed popup);
// and the connect screen again while stress-ng keeps every core busy. The program measured is
// $CORVANTIS_BENCH_PROGRAM when set (scripts/bench sets it to the installed application when
// there is one), else the one built beside this benchmark.
// Nothing else runs the same work, so the rows have no reference. Prints one table row per
// figure (see scripts/bench).

#include "bench/ComparisonRow.hpp"
#include "platform/Services.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "testbed/backend/TestBackend.hpp"
#include "testbed/desktop/DesktopApplication.hpp"
#include "testbed/desktop/DesktopProgram.hpp"
#include "testbed/desktop/VirtualDesktop.hpp"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>

namespace {

using corvantis::bench::formatted;
using corvantis::bench::median;
using corvantis::testbed::VirtualDesktop;
using namespace std::chrono_literals;

constexpr int repetitions = 5;
constexpr auto window = 4s;
constexpr int arrowHeight = 8;

// One thread's totals since it started: nanoseconds on a CPU, and times it went to sleep.
struct ThreadUse {
    double cpuNanoseconds = 0;
    double switches = 0;
};

std::map<std::string, ThreadUse> threadsOf(pid_t pid) {
    std::map<std::string, ThreadUse> threads;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        ThreadUse use;
        std::ifstream schedstat(task.path() / "schedstat");
        schedstat >> use.cpuNanoseconds;
        std::ifstream status(task.path() / "status");
        // A thread that wakes up runs until it waits again: one voluntary switch per wake-up.
        for (std::string line; std::getline(status, line);) {
            if (line.starts_with("voluntary_ctxt_switches:")) use.switches = std::stod(line.substr(line.find(':') + 1));
        }
        threads[task.path().filename().string()] = use;
    }
    return threads;
}

struct Cost {
    double shareOfACore = 0;  // per cent
    double wakeUpsPerSecond = 0;
};

// What the process used over one window; threads that came and went are counted for their lives.
Cost measure(pid_t pid) {
    const auto before = threadsOf(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(window);
    const auto after = threadsOf(pid);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = 0;
    double switches = 0;
    for (const auto& [thread, use] : after) {
        const auto earlier = before.find(thread);
        cpu += use.cpuNanoseconds - (earlier != before.end() ? earlier->second.cpuNanoseconds : 0);
        switches += use.switches - (earlier != before.end() ? earlier->second.switches : 0);
    }
    return {cpu / 1e9 / seconds * 100, switches / seconds};
}

Cost medianCost(pid_t pid) {
    std::vector<double> shares;
    std::vector<double> wakeUps;
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        const auto cost = measure(pid);
        shares.push_back(cost.shareOfACore);
        wakeUps.push_back(cost.wakeUpsPerSecond);
    }
    return {median(shares), median(wakeUps)};
}

void printShare(const std::string& state, const Cost& cost, double target) {
    corvantis::bench::printRow(state + ": share of a core", formatted("%.3f %%", cost.shareOfACore), "-", "-",
                               "< " + formatted("%g %%", target), cost.shareOfACore < target);
}

}  // namespace

int main() try {
    platform::installApplicationServices();
    VirtualDesktop::Options options;
    if (const auto reason = VirtualDesktop::unavailableReason(options)) {
        std::cerr << "compare_popup_idle: " << *reason << "\n";
        return 1;
    }
    corvantis::testbed::TestBackend backend;
    if (!backend.start()) throw std::runtime_error("the test backend did not start");
    VirtualDesktop desktop(options);
    const char* chosen = std::getenv("CORVANTIS_BENCH_PROGRAM");
    const std::filesystem::path program = chosen != nullptr && *chosen != '\0' ? chosen : CORVANTIS_VPN_PROGRAM;
    std::cerr << "compare_popup_idle: measuring " << program.string() << "\n";
    corvantis::testbed::DesktopApplication application({program, desktop.displayName(), backend.url(), "strip", {}});
    if (!application.waitUntilStarted())
        throw std::runtime_error("the application did not start: " + application.program().output());
    const pid_t pid = application.program().pid();

    // The popup hangs from the icon in the top-right corner.
    std::optional<VirtualDesktop::Area> popup;
    VirtualDesktop::waitUntil([&] {
        for (const auto& shown : desktop.windowsOf("corvantis-vpn")) {
            if (shown.type == "POPUP_MENU" && shown.area.width >= 250) popup = shown.area;
        }
        return popup.has_value();
    });
    if (!popup) throw std::runtime_error("the popup did not open");
    const auto click = [&](int x, int y) { desktop.click(popup->x + x, popup->y + arrowHeight + y); };
    click(164, 92);
    desktop.type("demo@corvantis.test");
    click(164, 142);
    desktop.type("demo-password");
    desktop.key("Return");
    VirtualDesktop::waitUntil(
        [&] {
            const auto requests = backend.requests();
            return std::any_of(requests.begin(), requests.end(),
                               [](const auto& request) { return request.path == "/account/api2/me"; });
        },
        30s);
    std::this_thread::sleep_for(2s);  // the connect screen has faded in

    const Cost connect = medianCost(pid);
    std::optional<Cost> busy;
    if (corvantis::testbed::programExists("stress-ng")) {
        // One CPU hog per core for as long as the windows last; ended when it goes.
        const corvantis::testbed::DesktopProgram load({}, "stress-ng", {"--cpu", "0", "--timeout", "120s", "--quiet"});
        std::this_thread::sleep_for(1s);
        busy = medianCost(pid);
    } else {
        std::cerr << "compare_popup_idle: stress-ng is missing (scripts/setup installs it), so no row on a busy machine\n";
    }
    click(275, 25);  // the settings button
    std::this_thread::sleep_for(2s);
    const Cost still = medianCost(pid);
    click(24, 26);  // back to the connect screen, then the icon closes the popup
    std::this_thread::sleep_for(1s);
    desktop.click(options.width - 11, 11);
    std::this_thread::sleep_for(1s);
    const Cost closed = medianCost(pid);

    std::cerr << "compare_popup_idle: wake-ups per second: connect screen " << connect.wakeUpsPerSecond << ", settings screen "
              << still.wakeUpsPerSecond << ", closed " << closed.wakeUpsPerSecond << "\n";
    printShare("popup closed", closed, 0.1);
    corvantis::bench::printRow("popup closed: wake-ups per second", formatted("%.1f", closed.wakeUpsPerSecond), "-", "-", "<= 2",
                               closed.wakeUpsPerSecond <= 2);
    printShare("popup open, settings screen", still, 0.5);
    printShare("popup open, connect screen pulsing", connect, 3);
    if (busy) printShare("popup open, connect screen pulsing, every core busy", *busy, 3);
    return 0;
} catch (const std::exception& error) {
    std::cerr << "compare_popup_idle: " << error.what() << "\n";
    return 1;
}
