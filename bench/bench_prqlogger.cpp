// The logging core's cost per line on a file on disk, beside spdlog's synchronous file sink
// flushed after every line and a plain write(2) loop of ready-made lines of the same shape; and
// what a filter or formatter adds to the file destination's line, and the auto-rotating
// destination beside the plain one.
#include "PRQLogger/Destinations/AutoRotatingFileDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Filters/FileNameFilter.hpp"
#include "PRQLogger/Filters/TagFilter.hpp"
#include "PRQLogger/LogFormatters/ANSIColorLogFormatter.hpp"
#include "PRQLogger/LogFormatters/Base64LogFormatter.hpp"
#include "PRQLogger/LogFormatters/PrePostFixLogFormatter.hpp"
#include "PRQLogger/LogFormatters/XcodeColorsLogFormatter.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"

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

void addFile(const std::shared_ptr<prq::FileDestination>& file) {
    ours = prq::PRQLogger::make("bench", false);
    file->setShowThreadName(true);
    file->setOutputLevel(prq::Level::info);
    ours->add(file);
}

void setUpOurs(const benchmark::State&) {
    addFile(std::make_shared<prq::FileDestination>(nullptr, freshFile("prqlogger.log"), "file"));
}

void tearDownOurs(const benchmark::State&) {
    ours.reset();
    std::filesystem::remove_all(benchFolder());
    std::filesystem::create_directories(benchFolder());
}

void prqloggerFileDestination(benchmark::State& state) {
    for (auto _ : state) ours->info([] { return message; });
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(prqloggerFileDestination)->Setup(setUpOurs)->Teardown(tearDownOurs)->Threads(1)->Threads(8)->UseRealTime();

// The file destination with one formatter, or one filter that keeps every line.
template <auto make>
void setUpFormatted(const benchmark::State& state) {
    setUpOurs(state);
    ours->destinations().front()->setFormatters(prq::FormatterList{make()});
}

template <auto make>
void setUpFiltered(const benchmark::State& state) {
    setUpOurs(state);
    ours->destinations().front()->setFilters(prq::FilterList{make()});
}

std::shared_ptr<prq::LogFormatterProtocol> framed() {
    auto formatter = std::make_shared<prq::PrePostFixLogFormatter>();
    formatter->apply("<< ", " >>");
    return formatter;
}

BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/ANSIColorLogFormatter")
    ->Setup(setUpFormatted<prq::create<prq::ANSIColorLogFormatter>>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/XcodeColorsLogFormatter")
    ->Setup(setUpFormatted<prq::create<prq::XcodeColorsLogFormatter>>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/Base64LogFormatter")
    ->Setup(setUpFormatted<prq::create<prq::Base64LogFormatter>>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/PrePostFixLogFormatter")
    ->Setup(setUpFormatted<framed>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/TagFilter")
    ->Setup(setUpFiltered<[] {
        return prq::TagFilter::excludeFrom({"ui", "net"});
    }>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("prqloggerFileDestination/FileNameFilter")
    ->Setup(setUpFiltered<[] { return prq::FileNameFilter::excludeFrom({"ConnectView.cpp"}); }>)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();

// One formatter or filter alone on a composed line and its working copy, as a destination runs
// it: the cost it adds to each line, apart from the disk's noise in the runs above.
template <auto make>
void alone(benchmark::State& state) {
    const auto step = make();
    const prq::LogDetails event(prq::Level::info, {}, message, "connect()", "/src/app/ConnectView.cpp", 97,
                                prq::Tag("vpn") | prq::Dev("anna"));
    const std::string line = std::string("2026-12-07 22:02:20.123 [Info] [main] [ConnectView.cpp:97] connect() > ") + message;
    for (auto _ : state) {
        prq::LogDetails details = event;
        std::string copy = line;
        if constexpr (requires { step->format(details, copy); }) {
            benchmark::DoNotOptimize(step->format(details, copy));
        } else {
            benchmark::DoNotOptimize(step->shouldExclude(details, copy));
        }
        benchmark::DoNotOptimize(copy);
    }
    state.SetItemsProcessed(state.iterations());
}

// The working copies alone (a new prefix/postfix formatter changes nothing): what every
// destination pays whether or not it has formatters.
void workingCopiesAlone(benchmark::State& state) {
    alone<[] { return std::make_shared<prq::PrePostFixLogFormatter>(); }>(state);
}
BENCHMARK(workingCopiesAlone);
BENCHMARK(alone<prq::create<prq::ANSIColorLogFormatter>>)->Name("alone/ANSIColorLogFormatter");
BENCHMARK(alone<prq::create<prq::XcodeColorsLogFormatter>>)->Name("alone/XcodeColorsLogFormatter");
BENCHMARK(alone<prq::create<prq::Base64LogFormatter>>)->Name("alone/Base64LogFormatter");
BENCHMARK(alone<framed>)->Name("alone/PrePostFixLogFormatter");
BENCHMARK(alone<[] { return prq::TagFilter::excludeFrom({"ui", "net"}); }>)->Name("alone/TagFilter");
BENCHMARK(alone<[] { return prq::FileNameFilter::excludeFrom({"Settings.cpp"}); }>)->Name("alone/FileNameFilter");

// 1 MiB files and 10 archives; archives share a name within a second, so at most one rotation a
// second succeeds and the rest are refused, as in the application.
void setUpRotating(const benchmark::State&) {
    addFile(prq::create<prq::AutoRotatingFileDestination>(nullptr, freshFile("rotating.log"), "file", false, std::nullopt,
                                                          std::nullopt, 1024 * 1024, 600.0, nullptr, 10));
}

// The same destination with no rotation falling due during the run: its cost between rotations.
void setUpRotatingLater(const benchmark::State& state) {
    setUpRotating(state);
    std::static_pointer_cast<prq::AutoRotatingFileDestination>(ours->destinations().front())->setTargetMaxFileSize(1ull << 40);
}

BENCHMARK(prqloggerFileDestination)
    ->Name("autoRotatingFileDestination")
    ->Setup(setUpRotating)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();
BENCHMARK(prqloggerFileDestination)
    ->Name("autoRotatingFileDestination/betweenRotations")
    ->Setup(setUpRotatingLater)
    ->Teardown(tearDownOurs)
    ->Threads(1)
    ->Threads(8)
    ->UseRealTime();

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
    platform::installApplicationServices();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(benchFolder());
    return 0;
}
