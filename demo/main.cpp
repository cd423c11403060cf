// The furthest real flow the system can run today, reported as plain lines.
#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/TemporaryDirectory.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <chrono>
#include <iostream>

using namespace std::chrono_literals;
using platform::Services;
using platform::dispatch::DispatchQueue;
using platform::dispatch::Timer;
using platform::dispatch::WorkItem;
using platform::foundation::DateFormatter;
using platform::foundation::UserDefaults;

namespace {

int reportPlatformCore() {
    const DateFormatter logDate("yyyy-MM-dd HH:mm:ss.SSS");
    const auto clock = Services::current().clock();
    std::cout << "start: " << logDate.string(clock->wallNow()) << "\n";

    const auto temporary = platform::foundation::privateTemporaryDirectory();
    if (!temporary) {
        std::cerr << "private temporary folder: " << temporary.error().message << "\n";
        return 1;
    }
    std::cout << "private temporary folder: " << temporary.value().string() << "\n";

    const auto defaults = UserDefaults::standard();
    if (const auto problem = defaults->loadProblem()) std::cout << "settings: " << problem->message << "\n";
    const long long runs = defaults->integer("demoRuns") + 1;
    if (const auto stored = defaults->set(runs, "demoRuns"); !stored) {
        std::cerr << "settings: " << stored.error().message << "\n";
        return 1;
    }
    std::cout << "settings file: " << defaults->file().string() << " (demo run " << runs << ")\n";

    // Work on the run loop: a repeating timer, a delayed block, a cancelled one, and background
    // work that reports back to the main queue.
    const auto main = Services::current().mainQueue();
    const auto started = clock->now();
    auto since = [&] { return std::chrono::duration_cast<std::chrono::milliseconds>(clock->now() - started).count(); };
    int ticks = 0;
    Timer::scheduledTimer(100ms, true, [&](Timer& timer) {
        std::cout << "timer tick " << ++ticks << " after " << since() << " ms\n";
        if (ticks == 3) timer.invalidate();
    });
    auto cancelled = WorkItem::make([] { std::cout << "this line never appears\n"; });
    main->asyncAfter(150ms, cancelled);
    cancelled->cancel();
    DispatchQueue::global()->async([main, &since] {
        const auto label = DispatchQueue::global()->label();
        main->async([label, &since] { std::cout << "background work on " << label << " reported after " << since() << " ms\n"; });
    });
    main->asyncAfter(450ms, [&] {
        std::cout << "delayed block after " << since() << " ms; stopping the run loop\n";
        main->stop();
    });
    main->run();
    std::cout << "end: " << logDate.string(clock->wallNow()) << "\n";
    return 0;
}

}  // namespace

int main() {
    return reportPlatformCore();
}
