// The logging core's cost per line on a file on disk, beside spdlog's synchronous file sink
// flushed after every line and a plain write(2) loop of ready-made lines of the same shape.
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

// About sixty characters, like the application's own messages.
constexpr const char* message = "Connected to de-fra-01.corvantis.net over UDP, port 1194 ok";

const std::filesystem::path& benchFolder() {
    static const auto folder = [] {
        auto path = std::filesystem::current_path() / ("corvantis-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

std::filesystem::path freshFile(const char* name) {
    const auto path = benchFolder() / name;
    std::filesystem::remove(path);
    return path;
}

// Our logger with one file destination showing what the application shows.
std::shared_ptr<prq::PRQLogger> ours;

void setUpOurs(const benchmark::State&) {
    ours = prq::PRQLogger::make("bench", false);
    auto file = std::make_shared<prq::FileDestination>(nullptr, freshFile("prqlogger.log"), "file");
    file->setShowThreadName(true);
    file->setOutputLevel(prq::Level::info);
    ours->add(file);
}

void tearDownOurs(const benchmark::State&) {
    ours.reset();
    std::filesystem::remove(benchFolder() / "prqlogger.log");
}

void prqloggerFileDestination(benchmark::State& state) {
    for (auto _ : state) ours->info([] { return message; });
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(prqloggerFileDestination)->Setup(setUpOurs)->Teardown(tearDownOurs)->Threads(1)->Threads(8)->UseRealTime();

std::atomic<long> evaluations{0};

void prqloggerDisabledLevel(benchmark::State& state) {
    for (auto _ : state) {
        ours->debug([] {
            evaluations.fetch_add(1, std::memory_order_relaxed);
            return message;
        });
    }
    if (evaluations.load() != 0) state.SkipWithError("a message of a level no destination takes was evaluated");
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(prqloggerDisabledLevel)->Setup(setUpOurs)->Teardown(tearDownOurs)->Threads(1)->Threads(8)->UseRealTime();

std::shared_ptr<spdlog::logger> theirs;

void setUpSpdlog(const benchmark::State&) {
    theirs = spdlog::basic_logger_mt("bench", freshFile("spdlog.log").string(), true);
    theirs->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] [%t] [%s:%#] %!() > %v");
    theirs->flush_on(spdlog::level::trace);
}

void tearDownSpdlog(const benchmark::State&) {
    spdlog::drop("bench");
    theirs.reset();
    std::filesystem::remove(benchFolder() / "spdlog.log");
}

void spdlogFlushEveryLine(benchmark::State& state) {
    for (auto _ : state) theirs->log(spdlog::source_loc{__FILE__, __LINE__, __func__}, spdlog::level::info, message);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(spdlogFlushEveryLine)->Setup(setUpSpdlog)->Teardown(tearDownSpdlog)->Threads(1)->Threads(8)->UseRealTime();

int rawFile = -1;

void setUpRaw(const benchmark::State&) {
    rawFile = ::open(freshFile("raw.log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

void tearDownRaw(const benchmark::State&) {
    ::close(rawFile);
    std::filesystem::remove(benchFolder() / "raw.log");
}

void rawWriteLoop(benchmark::State& state) {
    const std::string line = std::string("2026-12-07 22:02:20.123 [Info] [0x7f0000001000] [bench_prqlogger.cpp:97] ") +
                             "rawWriteLoop() > " + message + "\n";
    for (auto _ : state) {
        if (::write(rawFile, line.data(), line.size()) != static_cast<ssize_t>(line.size())) state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(rawWriteLoop)->Setup(setUpRaw)->Teardown(tearDownRaw)->Threads(1)->Threads(8)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(benchFolder());
    return 0;
}
