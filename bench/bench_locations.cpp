// The locations screen with a 10,000-city list: a three-letter search typed into the search
// field, each keystroke timed on its own. A keystroke is the text change, the active list
// filtered from the city list, the table's rows laid out and the cells of its visible page
// filled. "rows" is the length of the list after the keystroke.

#include "app/AppDelegate.hpp"
#include "app/CountryGroups.hpp"
#include "app/MainWindow.hpp"
#include "app/Server.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <benchmark/benchmark.h>

#include <string>

namespace {

using corvantis::testbed::BackendConfiguration;
using corvantis::testbed::TestBackend;

platform::Services benchmarkServices() {
    platform::Services services;
    services.userDefaultsOverride =
        platform::foundation::UserDefaults::open(corvantis::bench::benchmarkFolder() / "defaults.json");
    services.localeOverride = std::make_shared<const platform::foundation::Locale>("en_US");
    services.mainQueueOverride = platform::dispatch::MainQueue::make();
    return services;
}

void BM_SearchKeystroke(benchmark::State& state) {
    const auto cityCount = static_cast<std::size_t>(state.range(0));
    platform::ScopedServices scope(benchmarkServices());
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    const auto profile = TestBackend::profileOf(
        BackendConfiguration::withCatalogue(cityCount, BackendConfiguration::largestCountryCount).accounts.front());
    delegate->initServers(
        corvantis::Server::modelsFromDictionaryArray(corvantis::CountryGroups::fromServers(profile["data"]["vpn_servers"])));

    auto& mainWindow = corvantis::MainWindow::shared();
    mainWindow.setup(corvantis::registerMainStoryboard());
    auto& screen = *mainWindow.locationsViewController;
    screen.reloadTableView();
    screen.btnSearchClick(nullptr);

    // "Ger" narrows the list as a person types it; the argument picks the keystroke timed, the
    // letters before it are typed untimed.
    const std::string typed = "Ger";
    const auto keystroke = static_cast<std::size_t>(state.range(1));
    const auto typeUpTo = [&](std::size_t length) {
        screen.searchField->setStringValue(typed.substr(0, length));
        screen.controlTextDidChange(*screen.searchField);
    };
    for (auto _ : state) {
        state.PauseTiming();
        typeUpTo(keystroke - 1);
        state.ResumeTiming();
        typeUpTo(keystroke);
    }
    state.SetLabel("\"" + typed.substr(0, keystroke) + "\"");
    state.counters["rows"] = screen.tableView->numberOfRows();
    corvantis::MainWindow::resetShared();
    corvantis::AppDelegate::setShared(nullptr);
}
BENCHMARK(BM_SearchKeystroke)->Args({10000, 1})->Args({10000, 2})->Args({10000, 3})->Unit(benchmark::kMillisecond);

}  // namespace
