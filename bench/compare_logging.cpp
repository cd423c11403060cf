// One log line to a file, one thread, on tmpfs: our file destination beside spdlog's basic file
// sink flushed after every line, and beside a bare write(2) of the same ready-made line. All
// three write one write(2) per line, so the comparison is the cost of making the line.
//
// The lines have the same shape and length: date, level, thread, file:line, function, message.
// The runs happen on a thread whose name is its kernel id, so our thread piece and spdlog's "%t"
// print the same text. Interleaved repetitions; the medians go to the table.
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "bench/ComparisonRow.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/ThreadName.hpp"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using corvantis::bench::median;

// About sixty characters, like the application's own messages.
constexpr const char* message = "Connected to de-fra-01.corvantis.net over UDP, port 1194 ok";
// Many short runs rather than a few long ones: the machine's speed drifts over seconds, and short
// runs of the three in turn see the same machine, which keeps the per-run ratios steady.
constexpr int linesPerRun = 30'000;
constexpr int repetitions = 31;

using SteadyClock = std::chrono::steady_clock;

// Both loggers name the same function: ours shows "logLine()", spdlog's pattern "%!()".
namespace ours {
[[gnu::noinline]] void logLine(prq::PRQLogger& logger) {
    logger.info([] { return message; });
}
}  // namespace ours

namespace theirs {
[[gnu::noinline]] void logLine(spdlog::logger& logger) {
    logger.log(spdlog::source_loc{__FILE__, __LINE__, static_cast<const char*>(__FUNCTION__)}, spdlog::level::info, message);
}
}  // namespace theirs

std::filesystem::path tmpfsFolder() {
    std::filesystem::path parent = "/dev/shm";
    if (::access(parent.c_str(), W_OK) != 0) {
        parent = std::filesystem::temp_directory_path();
        std::cerr << "/dev/shm is not writable; the files go to " << parent << ", which may not be tmpfs\n";
    }
    std::string pattern = (parent / "corvantis-compare-logging-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    return pattern;
}

std::string lastLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line)) last = line;
    return last;
}

double threadCpuNanoseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// The run's cost per line: the thread's processor time (user and system), which other work on
// a busy machine does not inflate, and the time on the clock.
struct Cost {
    double cpu;
    double wall;
};

Cost costPerLine(const std::function<void()>& writeLine) {
    const auto startCpu = threadCpuNanoseconds();
    const auto start = SteadyClock::now();
    for (int i = 0; i < linesPerRun; ++i) writeLine();
    const std::chrono::duration<double, std::nano> spent = SteadyClock::now() - start;
    return {(threadCpuNanoseconds() - startCpu) / linesPerRun, spent.count() / linesPerRun};
}

std::string nanoseconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ns/line", value);
    return text;
}

void printRow(const char* work, double oursNs, double referenceNs, double ratio, double target) {
    using corvantis::bench::formatted;
    corvantis::bench::printRow(work, nanoseconds(oursNs), nanoseconds(referenceNs), formatted("%.2fx", ratio),
                               formatted(">= %.2gx", target), ratio >= target);
}

int compare() {
    // Our thread piece shows the thread's name; spdlog's "%t" its kernel id: make them the same.
    platform::dispatch::setCurrentThreadName(std::to_string(::gettid()));
    const auto folder = tmpfsFolder();
    const auto oursPath = folder / "ours.log", spdlogPath = folder / "spdlog.log", rawPath = folder / "raw.log";

    auto logger = prq::PRQLogger::make("compare", false);
    auto file = std::make_shared<prq::FileDestination>(nullptr, oursPath.string(), "file");
    file->setShowThreadName(true);
    file->setOutputLevel(prq::Level::info);
    logger->add(file);

    auto spdlogger = spdlog::basic_logger_mt("compare", spdlogPath.string(), true);
    spdlogger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] [%t] [%s:%#] %!() > %v");
    spdlogger->flush_on(spdlog::level::trace);

    // The raw writer writes our own line, byte for byte.
    ours::logLine(*logger);
    const std::string rawLine = lastLine(oursPath) + "\n";
    const int raw = ::open(rawPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (raw < 0) {
        std::perror("open");
        return 1;
    }
    bool rawFailed = false;

    const std::array<std::function<void()>, 3> writers = {
        [&] { ours::logLine(*logger); },
        [&] { theirs::logLine(*spdlogger); },
        [&] {
            if (::write(raw, rawLine.data(), rawLine.size()) != static_cast<ssize_t>(rawLine.size())) rawFailed = true;
        },
    };
    const std::array<std::filesystem::path, 3> paths = {oursPath, spdlogPath, rawPath};
    const auto emptyFiles = [&] {
        for (const auto& path : paths) std::filesystem::resize_file(path, 0);
    };

    std::array<std::vector<double>, 3> times, wallTimes;
    std::vector<double> spdlogRatios, rawRatios, spdlogWallRatios, rawWallRatios;
    for (int repetition = -1; repetition < repetitions; ++repetition) {  // the first one warms up
        std::array<Cost, 3> run{};
        emptyFiles();
        for (int i = 0; i < 3; ++i) {
            const int which = (std::max(repetition, 0) + i) % 3;
            run[which] = costPerLine(writers[which]);
        }
        if (repetition < 0) continue;
        for (int which = 0; which < 3; ++which) {
            times[which].push_back(run[which].cpu);
            wallTimes[which].push_back(run[which].wall);
        }
        spdlogRatios.push_back(run[1].cpu / run[0].cpu);
        rawRatios.push_back(run[2].cpu / run[0].cpu);
        spdlogWallRatios.push_back(run[1].wall / run[0].wall);
        rawWallRatios.push_back(run[2].wall / run[0].wall);
    }
    ::close(raw);
    if (rawFailed) {
        std::cerr << "a raw write failed\n";
        return 1;
    }

    // The last runs' lines: the same length everywhere, and every line of the run in each file.
    const std::array<const char*, 3> names = {"ours", "spdlog", "raw write(2)"};
    std::array<std::string, 3> lines;
    bool sameShape = true;
    for (int which = 0; which < 3; ++which) {
        lines[which] = lastLine(paths[which]);
        const auto expectedSize = static_cast<std::uintmax_t>(linesPerRun) * (lines[0].size() + 1);
        const auto size = std::filesystem::file_size(paths[which]);
        std::cerr << names[which] << ": " << lines[which] << " (" << lines[which].size() << " bytes)\n";
        if (lines[which].size() != lines[0].size() || size != expectedSize) {
            std::cerr << names[which] << "'s file holds " << size << " bytes, not " << expectedSize << '\n';
            sameShape = false;
        }
    }
    std::filesystem::remove_all(folder);
    if (!sameShape) {
        std::cerr << "the lines differ in length: no comparison\n";
        return 1;
    }
    std::cerr << "all three lines are " << lines[0].size() << " bytes long, " << linesPerRun << " lines per run, " << repetitions
              << " interleaved runs on tmpfs; the table shows the thread's processor time per line "
              << "(user and system), ratios are medians of the per-run ratios\n";
    for (int which = 0; which < 3; ++which) {
        std::cerr << names[which] << " processor ns/line:";
        for (const double time : times[which]) std::cerr << ' ' << static_cast<int>(time);
        std::cerr << "; on the clock:";
        for (const double time : wallTimes[which]) std::cerr << ' ' << static_cast<int>(time);
        std::cerr << '\n';
    }
    std::cerr << "on the clock: ours " << static_cast<int>(median(wallTimes[0])) << " ns/line, spdlog "
              << static_cast<int>(median(wallTimes[1])) << " (" << median(spdlogWallRatios) << "x), raw write(2) "
              << static_cast<int>(median(wallTimes[2])) << " (" << median(rawWallRatios) << "x)\n";

    printRow("log line to a file vs spdlog", median(times[0]), median(times[1]), median(spdlogRatios), 1.3);
    printRow("log line to a file vs raw write(2)", median(times[0]), median(times[2]), median(rawRatios), 0.85);
    spdlog::drop("compare");
    return 0;
}

}  // namespace

int main() {
    platform::installApplicationServices();
    int result = 1;
    std::thread runner([&] { result = compare(); });
    runner.join();
    return result;
}
