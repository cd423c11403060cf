// The profile's server catalogue on its way to the city list: the reply's JSON text read
// straight into country groups of records and the sorted city list made from them, for
// catalogues of 100, 1,000 and 10,000 servers; and a whole login (password grant, two device
// checks, product list, profile) over loopback against the test backend, reported as the
// median of several runs.

#include "app/ApiService.hpp"
#include "app/AppDelegate.hpp"
#include "app/ProfileReply.hpp"
#include "app/UserSettings.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "platform/Services.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/Locale.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/security/KeychainStore.hpp"
#include "testbed/backend/TestBackend.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace {

using corvantis::bench::benchmarkFolder;

using corvantis::testbed::BackendConfiguration;
using corvantis::testbed::TestBackend;

// Settings, keychain and locale of the benchmark's own, and a fresh main queue it drains itself.
platform::Services benchmarkServices(const std::shared_ptr<platform::dispatch::MainQueue>& mainQueue) {
    platform::Services services;
    services.userDefaultsOverride = platform::foundation::UserDefaults::open(benchmarkFolder() / "defaults.json");
    services.keychainOverride = platform::security::KeychainStore::open(benchmarkFolder() / "keychain.json");
    services.localeOverride = std::make_shared<const platform::foundation::Locale>("en_US");
    services.mainQueueOverride = mainQueue;
    return services;
}

void BM_ParseGroupAndBuildCityList(benchmark::State& state) {
    const auto serverCount = static_cast<std::size_t>(state.range(0));
    const auto configuration = BackendConfiguration::withCatalogue(serverCount, BackendConfiguration::largestCountryCount);
    const std::string reply = TestBackend::profileOf(configuration.accounts.front()).dump();
    platform::ScopedServices scope(benchmarkServices(platform::dispatch::MainQueue::make()));
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    for (auto _ : state) {
        // The profile's own reading of the reply, then the city list built from its records.
        auto read = corvantis::ProfileReply::read(reply);
        delegate->initServers(std::move(read.value().servers.value()));
        benchmark::DoNotOptimize(delegate->allCities);
    }
    if (!delegate->allCities || delegate->allCities->size() != serverCount) state.SkipWithError("the city list is incomplete");
    state.counters["reply_kB"] = static_cast<double>(reply.size()) / 1024.0;
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * serverCount));
}
BENCHMARK(BM_ParseGroupAndBuildCityList)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_LoginOverLoopback(benchmark::State& state) {
    const auto servers = static_cast<std::size_t>(state.range(0));
    TestBackend backend(BackendConfiguration::withCatalogue(servers, BackendConfiguration::largestCountryCount));
    if (!backend.start()) {
        state.SkipWithError("the test backend cannot listen");
        return;
    }
    ::setenv("CORVANTIS_API_URL", backend.url().c_str(), 1);
    const auto mainQueue = platform::dispatch::MainQueue::make();
    platform::ScopedServices scope(benchmarkServices(mainQueue));
    const auto delegate = std::make_shared<corvantis::AppDelegate>();
    corvantis::AppDelegate::setShared(delegate);
    corvantis::UserSettings::setDeviceId(backend.registerDevice());
    for (auto _ : state) {
        bool success = false;
        bool done = false;
        corvantis::ApiService::checkLoginData("demo@corvantis.test", "demo-password",
                                              [&](bool succeeded, bool, bool, bool, const std::string&) {
                                                  success = succeeded;
                                                  done = true;
                                              });
        if (!mainQueue->runUntil([&] { return done; }, std::chrono::seconds(30)) || !success) {
            state.SkipWithError("the login failed");
            break;
        }
    }
    corvantis::AppDelegate::setShared(nullptr);
    ::unsetenv("CORVANTIS_API_URL");
}
BENCHMARK(BM_LoginOverLoopback)
    ->Arg(4)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace
