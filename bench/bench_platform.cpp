// Costs of the run loop and the settings store that every component leans on.
#include "platform/dispatch/MainQueue.hpp"
#include "platform/foundation/DateFormatter.hpp"
#include "platform/foundation/UserDefaults.hpp"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

namespace {

void mainQueuePostAndDrain(benchmark::State& state) {
    auto queue = platform::dispatch::MainQueue::make();
    int counter = 0;
    for (auto _ : state) {
        for (int i = 0; i < 1000; ++i) queue->async([&counter] { ++counter; });
        queue->drain();
    }
    benchmark::DoNotOptimize(counter);
    state.SetItemsProcessed(state.iterations() * 1000);
}
BENCHMARK(mainQueuePostAndDrain);

void logDateFormatting(benchmark::State& state) {
    const platform::foundation::DateFormatter formatter("yyyy-MM-dd HH:mm:ss.SSS");
    const auto now = platform::dispatch::WallTime(std::chrono::system_clock::now().time_since_epoch());
    for (auto _ : state) benchmark::DoNotOptimize(formatter.string(now));
}
BENCHMARK(logDateFormatting);

void settingsWriteThrough(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("corvantis-bench-" + std::to_string(getpid()));
    auto defaults = platform::foundation::UserDefaults::open(folder / "settings.json");
    long long value = 0;
    for (auto _ : state) {
        if (!defaults->set(++value, "counter")) state.SkipWithError("write failed");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(settingsWriteThrough);

}  // namespace
