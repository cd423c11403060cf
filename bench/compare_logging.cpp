// Log lines to a file beside spdlog's basic file sink flushed after every line and beside a bare
// write(2) of the same ready-made lines. All three write one write(2) per line, so the comparison
// is the cost of making the line.
//
// Two kinds of traffic:
// - one site: one call site with one fixed message, one thread, on tmpfs;
// - real traffic: fifty call sites in turn with messages of 20 to 300 bytes built at the call
//   (bench/LogTraffic.hpp), on the temporary folder's file system (ext4 here), by one thread and
//   by four threads into one file. Its floor is the raw write of the same bytes plus building the
//   message alone, both measured in the same runs.
//
// The lines have the same shape and length everywhere: date, level, thread, file:line, function,
// message. Every logging thread is named after its kernel id, so our thread piece and spdlog's
// "%t" print the same text. Interleaved repetitions; the medians go to the table.
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "bench/BenchmarkFolder.hpp"
#include "bench/ComparisonRow.hpp"
#include "bench/LogTraffic.hpp"
#include "platform/assembly/application/ApplicationServices.hpp"
#include "platform/dispatch/ThreadName.hpp"

#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/spdlog.h>

#include <algorithm>
#include <array>
#include <barrier>
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
using SteadyClock = std::chrono::steady_clock;
namespace traffic = corvantis::bench::traffic;

// About sixty characters, like the application's own messages.
constexpr const char* message = "Connected to de-fra-01.corvantis.net over UDP, port 1194 ok";
// Many short runs rather than a few long ones: the machine's speed drifts over seconds, and short
// runs of the three in turn see the same machine, which keeps the per-run ratios steady.
constexpr int linesPerRun = 30'000;
constexpr int repetitions = 31;
constexpr int trafficLinesPerRun = 8'000;
constexpr int trafficThreads = 4;
constexpr int trafficRepetitions = 31;

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

std::vector<std::string> readLines(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string lastLine(const std::filesystem::path& path) {
    const auto lines = readLines(path);
    return lines.empty() ? std::string() : lines.back();
}

double cpuNanoseconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

// The run's cost per line: processor time (user and system), which other work on a busy machine
// does not inflate, and the time on the clock.
struct Cost {
    double cpu;
    double wall;
};

Cost costPerLine(int lines, const std::function<void(int)>& writeLine) {
    const auto startCpu = cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = SteadyClock::now();
    for (int i = 0; i < lines; ++i) writeLine(i);
    const std::chrono::duration<double, std::nano> spent = SteadyClock::now() - start;
    return {(cpuNanoseconds(CLOCK_THREAD_CPUTIME_ID) - startCpu) / lines, spent.count() / lines};
}

// The same with `threads` threads writing `lines` lines each at once: the clock's time per line
// of all of them (the inverse of the throughput) and the processor time of the whole process.
Cost costPerLineOnThreads(int threads, int lines, const std::function<void(int thread, int line)>& writeLine) {
    std::barrier start(threads + 1);
    std::vector<std::thread> writers;
    for (int thread = 0; thread < threads; ++thread) {
        writers.emplace_back([&, thread] {
            platform::dispatch::setCurrentThreadName(std::to_string(::gettid()));
            start.arrive_and_wait();
            for (int i = 0; i < lines; ++i) writeLine(thread, i);
        });
    }
    start.arrive_and_wait();
    const auto startCpu = cpuNanoseconds(CLOCK_PROCESS_CPUTIME_ID);
    const auto begin = SteadyClock::now();
    for (auto& writer : writers) writer.join();
    const std::chrono::duration<double, std::nano> spent = SteadyClock::now() - begin;
    const double total = static_cast<double>(threads) * lines;
    return {(cpuNanoseconds(CLOCK_PROCESS_CPUTIME_ID) - startCpu) / total, spent.count() / total};
}

std::string nanoseconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f ns/line", value);
    return text;
}

void printRow(const std::string& work, const std::string& ours, const std::string& reference, double ratio, bool atLeast,
              double target) {
    using corvantis::bench::formatted;
    corvantis::bench::printRow(work, ours, reference, formatted("%.2fx", ratio),
                               formatted(atLeast ? ">= %.2fx" : "<= %.2fx", target), atLeast ? ratio >= target : ratio <= target);
}

void printSeries(const char* name, const std::vector<double>& values) {
    std::cerr << name << ':';
    for (const double value : values) std::cerr << ' ' << static_cast<int>(value);
    std::cerr << '\n';
}

// A file destination showing what the application shows, and the thread.
std::shared_ptr<prq::PRQLogger> ourLogger(const std::filesystem::path& path) {
    auto logger = prq::PRQLogger::make("compare", false);
    auto file = std::make_shared<prq::FileDestination>(nullptr, path.string(), "file");
    file->setShowThreadName(true);
    file->setOutputLevel(prq::Level::info);
    logger->add(file);
    return logger;
}

std::shared_ptr<spdlog::logger> theirLogger(const std::string& name, const std::filesystem::path& path) {
    auto logger = spdlog::basic_logger_mt(name, path.string(), true);
    logger->set_pattern("%Y-%m-%d %H:%M:%S.%e [%l] [%t] [%s:%#] %!() > %v");
    logger->flush_on(spdlog::level::trace);
    return logger;
}

int rawDescriptor(const std::filesystem::path& path) {
    const int raw = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (raw < 0) {
        std::perror("open");
        std::exit(1);
    }
    return raw;
}

void writeRaw(int raw, const std::string& line, bool& failed) {
    if (::write(raw, line.data(), line.size()) != static_cast<ssize_t>(line.size())) failed = true;
}

void emptyFiles(const std::vector<std::filesystem::path>& paths) {
    for (const auto& path : paths) std::filesystem::resize_file(path, 0);
}

int compareOneSite() {
    const auto folder = tmpfsFolder();
    const auto oursPath = folder / "ours.log", spdlogPath = folder / "spdlog.log", rawPath = folder / "raw.log";
    const auto logger = ourLogger(oursPath);
    const auto spdlogger = theirLogger("compare", spdlogPath);

    // The raw writer writes our own line, byte for byte.
    ours::logLine(*logger);
    const std::string rawLine = lastLine(oursPath) + "\n";
    const int raw = rawDescriptor(rawPath);
    bool rawFailed = false;

    const std::array<std::function<void(int)>, 3> writers = {
        [&](int) { ours::logLine(*logger); },
        [&](int) { theirs::logLine(*spdlogger); },
        [&](int) { writeRaw(raw, rawLine, rawFailed); },
    };
    const std::vector<std::filesystem::path> paths = {oursPath, spdlogPath, rawPath};

    std::array<std::vector<double>, 3> times, wallTimes;
    std::vector<double> spdlogRatios, rawRatios, spdlogWallRatios, rawWallRatios;
    for (int repetition = -1; repetition < repetitions; ++repetition) {  // the first one warms up
        std::array<Cost, 3> run{};
        emptyFiles(paths);
        for (int i = 0; i < 3; ++i) {
            const int which = (std::max(repetition, 0) + i) % 3;
            run[which] = costPerLine(linesPerRun, writers[which]);
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
    spdlog::drop("compare");
    if (!sameShape) {
        std::cerr << "the lines differ in length: no comparison\n";
        return 1;
    }
    std::cerr << "one site: all three lines are " << lines[0].size() << " bytes long, " << linesPerRun << " lines per run, "
              << repetitions << " interleaved runs on tmpfs; the table shows the thread's processor time per line "
              << "(user and system), ratios are medians of the per-run ratios\n";
    for (int which = 0; which < 3; ++which) {
        printSeries((std::string(names[which]) + " processor ns/line").c_str(), times[which]);
        printSeries((std::string(names[which]) + " on the clock").c_str(), wallTimes[which]);
    }
    std::cerr << "on the clock: ours " << static_cast<int>(median(wallTimes[0])) << " ns/line, spdlog "
              << static_cast<int>(median(wallTimes[1])) << " (" << median(spdlogWallRatios) << "x), raw write(2) "
              << static_cast<int>(median(wallTimes[2])) << " (" << median(rawWallRatios) << "x)\n";

    printRow("log line to a file vs spdlog", nanoseconds(median(times[0])), nanoseconds(median(times[1])), median(spdlogRatios),
             true, 1.3);
    printRow("log line to a file vs raw write(2)", nanoseconds(median(times[0])), nanoseconds(median(times[2])),
             median(rawRatios), true, 0.85);
    return 0;
}

// Whether the file holds as many lines as `expected`, each as long as its counterpart there when
// `inOrder` (one writer), else just as many.
bool holdsLinesLike(const std::filesystem::path& path, const std::vector<std::string>& expected, bool inOrder) {
    const auto held = readLines(path);
    if (held.size() != expected.size()) return false;
    for (std::size_t i = 0; inOrder && i < held.size(); ++i) {
        if (held[i].size() + 1 != expected[i].size()) return false;
    }
    return true;
}

int compareTraffic() {
    const auto folder = corvantis::bench::benchmarkFolder();
    const auto oursPath = folder / "ours.log", spdlogPath = folder / "spdlog.log", rawPath = folder / "raw.log";
    const auto logger = ourLogger(oursPath);
    const auto spdlogger = theirLogger("traffic", spdlogPath);
    const auto logOurs = [&](std::uint32_t call) { traffic::ourSites[call % traffic::siteCount](*logger, call); };
    const auto logTheirs = [&](std::uint32_t call) { traffic::theirSites[call % traffic::siteCount](*spdlogger, call); };

    // The raw writer writes the lines of our first run again, byte for byte, in their order.
    std::filesystem::resize_file(oursPath, 0);  // without the header of the opened file
    for (int i = 0; i < trafficLinesPerRun; ++i) logOurs(static_cast<std::uint32_t>(i));
    std::vector<std::string> rawLines = readLines(oursPath);
    if (rawLines.size() != static_cast<std::size_t>(trafficLinesPerRun)) {
        std::cerr << "our file holds " << rawLines.size() << " lines, not " << trafficLinesPerRun << '\n';
        return 1;
    }
    for (auto& line : rawLines) line += '\n';
    const int raw = rawDescriptor(rawPath);
    bool rawFailed = false;
    std::size_t built = 0;  // keeps the messages built alone from being optimised away

    // One thread: ours, spdlog, raw, the message alone; then four threads: ours, spdlog, raw.
    enum { ours1, theirs1, raw1, message1, ours4, theirs4, raw4, kinds };
    // Four threads make the same calls as one, each thread every fourth.
    const auto call = [](int thread, int line) { return static_cast<std::uint32_t>(line * trafficThreads + thread); };
    const std::array<std::function<Cost()>, kinds> runs = {
        [&] { return costPerLine(trafficLinesPerRun, [&](int i) { logOurs(static_cast<std::uint32_t>(i)); }); },
        [&] { return costPerLine(trafficLinesPerRun, [&](int i) { logTheirs(static_cast<std::uint32_t>(i)); }); },
        [&] {
            return costPerLine(trafficLinesPerRun,
                               [&](int i) { writeRaw(raw, rawLines[static_cast<std::size_t>(i)], rawFailed); });
        },
        [&] {
            return costPerLine(trafficLinesPerRun,
                               [&](int i) { built += traffic::message(static_cast<std::uint32_t>(i)).size(); });
        },
        [&] {
            return costPerLineOnThreads(trafficThreads, trafficLinesPerRun / trafficThreads,
                                        [&](int t, int i) { logOurs(call(t, i)); });
        },
        [&] {
            return costPerLineOnThreads(trafficThreads, trafficLinesPerRun / trafficThreads,
                                        [&](int t, int i) { logTheirs(call(t, i)); });
        },
        [&] {
            return costPerLineOnThreads(trafficThreads, trafficLinesPerRun / trafficThreads,
                                        [&](int t, int i) { writeRaw(raw, rawLines[call(t, i)], rawFailed); });
        },
    };
    const std::array<const char*, kinds> names = {"ours, 1 thread",         "spdlog, 1 thread", "raw write(2), 1 thread",
                                                  "message alone",          "ours, 4 threads",  "spdlog, 4 threads",
                                                  "raw write(2), 4 threads"};
    const std::vector<std::filesystem::path> paths = {oursPath, spdlogPath, rawPath};

    std::array<std::vector<double>, kinds> cpu, wall;
    std::vector<double> versusSpdlog, versusFloor, spdlogVersusFloor, versusSpdlog4, fourVersusOne;
    for (int repetition = -1; repetition < trafficRepetitions; ++repetition) {  // the first one warms up
        std::array<Cost, kinds> run{};
        for (int i = 0; i < kinds; ++i) {
            const int which = (std::max(repetition, 0) + i) % kinds;
            emptyFiles(paths);
            run[which] = runs[which]();
            // Every line of the run in the file it went to, in order where one thread wrote them.
            const auto* path = which == ours1 || which == ours4 ? &oursPath
                               : which == raw1 || which == raw4 ? &rawPath
                                                                : &spdlogPath;
            if (which != message1 && repetition < 1 && !holdsLinesLike(*path, rawLines, which == ours1 || which == raw1)) {
                std::cerr << names[which] << ": the file does not hold the run's lines\n";
                return 1;
            }
        }
        if (repetition < 0) continue;
        for (int which = 0; which < kinds; ++which) {
            cpu[which].push_back(run[which].cpu);
            wall[which].push_back(run[which].wall);
        }
        versusSpdlog.push_back(run[theirs1].cpu / run[ours1].cpu);
        versusFloor.push_back(run[ours1].cpu / (run[raw1].cpu + run[message1].cpu));
        spdlogVersusFloor.push_back(run[theirs1].cpu / (run[raw1].cpu + run[message1].cpu));
        versusSpdlog4.push_back(run[theirs4].wall / run[ours4].wall);
        fourVersusOne.push_back(run[ours1].wall / run[ours4].wall);
    }
    ::close(raw);
    std::filesystem::remove_all(folder);
    spdlog::drop("traffic");
    if (rawFailed) {
        std::cerr << "a raw write failed\n";
        return 1;
    }

    std::cerr << "real traffic: " << traffic::siteCount << " sites in turn, messages of 20-300 bytes (" << built
              << " bytes built alone), " << trafficLinesPerRun << " lines per run, " << trafficRepetitions
              << " interleaved runs in " << folder.parent_path()
              << "; one thread in its processor time per line, four threads in the clock's time per line of all four "
              << "(the inverse of the throughput) and the process's processor time per line\n";
    for (int which = 0; which < kinds; ++which) {
        printSeries((std::string(names[which]) + " processor ns/line").c_str(), cpu[which]);
        printSeries((std::string(names[which]) + " on the clock").c_str(), wall[which]);
    }
    const auto both = [&](int which) {
        return nanoseconds(median(wall[which])) + " (CPU " + std::to_string(static_cast<int>(median(cpu[which]))) + ")";
    };
    std::cerr << "on the clock, one thread: ours " << static_cast<int>(median(wall[ours1])) << ", spdlog "
              << static_cast<int>(median(wall[theirs1])) << ", raw " << static_cast<int>(median(wall[raw1])) << " ns/line\n";
    std::cerr << "raw write(2), 4 threads: " << both(raw4) << '\n';
    // A logger that cost nothing beyond the floor would be this much faster than spdlog: the
    // most the row against spdlog can read on this machine.
    std::cerr << "spdlog / floor, one thread: " << median(spdlogVersusFloor) << "x\n";

    const std::string floor = nanoseconds(median(cpu[raw1]) + median(cpu[message1])) + " (raw write + message alone)";
    printRow("50 sites, 1 thread, vs spdlog", nanoseconds(median(cpu[ours1])), nanoseconds(median(cpu[theirs1])),
             median(versusSpdlog), true, 1.4);
    printRow("50 sites, 1 thread, ours / floor", nanoseconds(median(cpu[ours1])), floor, median(versusFloor), false, 1.15);
    printRow("50 sites, 4 threads, one file, vs spdlog", both(ours4), both(theirs4), median(versusSpdlog4), true, 2.0);
    printRow("50 sites, 4 threads' throughput / 1 thread's", both(ours4), nanoseconds(median(wall[ours1])) + " (1 thread)",
             median(fourVersusOne), true, 1.0);
    return 0;
}

}  // namespace

int main() {
    platform::installApplicationServices();
    int result = 1;
    // On a thread whose name is its kernel id, like the four threads of the traffic runs.
    std::thread runner([&] {
        platform::dispatch::setCurrentThreadName(std::to_string(::gettid()));
        result = compareOneSite();
        if (result == 0) result = compareTraffic();
    });
    runner.join();
    return result;
}
