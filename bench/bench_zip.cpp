// Packing and unpacking a generated corpus: our Zip (through bench_zip_worker) against Info-ZIP's
// zip/unzip and libzip, in the same run. Each measurement is a fresh child process, so its peak
// RSS is its own.
//
//   bench_zip [google-benchmark options]
//
// The corpus (about 128 MiB of log-like text in 20 files, 5,000 small files and 64 MiB of random
// bytes) is generated into a temporary folder at start and removed at the end.
#include "GeneratedLogs.hpp"

#include <benchmark/benchmark.h>
#include <zip.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr std::size_t logFiles = 20;
constexpr std::size_t logBytes = std::size_t{128} << 20;
constexpr std::size_t smallFiles = 5000;
constexpr std::size_t randomBytes = std::size_t{64} << 20;
constexpr int iterations = 3;

struct Corpus {
    fs::path root;            // holds "corpus/" and the outputs
    std::uint64_t bytes = 0;  // of everything below corpus/
};

Corpus& corpus() {
    static Corpus instance;
    return instance;
}

void writeFile(const fs::path& path, const std::string& data) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << data;
    corpus().bytes += data.size();
}

void generateCorpus() {
    std::string pattern = (fs::temp_directory_path() / "corvantis-bench-zip-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary folder");
    corpus().root = pattern;
    const fs::path base = corpus().root / "corpus";
    std::mt19937 random(2026);
    for (std::size_t i = 0; i < logFiles; ++i)
        writeFile(base / "logs" / ("CorvantisVPN_" + std::to_string(i) + ".log"),
                  corvantis::bench::generatedLogText(random, logBytes / logFiles));
    for (std::size_t i = 0; i < smallFiles; ++i) {
        writeFile(base / "small" / ("d" + std::to_string(i / 100)) / ("file" + std::to_string(i) + ".txt"),
                  corvantis::bench::generatedLogText(random, 200 + random() % 8000));
    }
    std::string noise(randomBytes, '\0');
    for (std::size_t i = 0; i < noise.size(); i += 4) {
        const std::uint32_t value = random();
        std::memcpy(noise.data() + i, &value, 4);
    }
    writeFile(base / "random.bin", noise);
}

struct Run {
    double seconds = 0;
    long peakKilobytes = 0;
    int succeeded = 0;
};

// Starts the measured programs. It is forked before the corpus exists, so the children it forks
// begin small: a child's peak RSS counts the pages it inherits at fork.
class Launcher {
public:
    static Launcher& shared() {
        static Launcher launcher;
        return launcher;
    }

    void start() {
        int requests[2];
        int replies[2];
        if (::pipe(requests) != 0 || ::pipe(replies) != 0) throw std::runtime_error("pipe failed");
        if (::fork() == 0) {
            ::close(requests[1]);
            ::close(replies[0]);
            serve(requests[0], replies[1]);
        }
        ::close(requests[0]);
        ::close(replies[1]);
        requests_ = requests[1];
        replies_ = replies[0];
    }

    // Runs a program in `workingDirectory` to its end; throws unless it succeeds.
    Run run(const std::vector<std::string>& arguments, const fs::path& workingDirectory) {
        std::string request = workingDirectory.string();
        for (const auto& argument : arguments) request += std::string(1, '\0') + argument;
        const auto size = static_cast<std::uint32_t>(request.size());
        Run run;
        if (::write(requests_, &size, sizeof size) != sizeof size || ::write(requests_, request.data(), size) != size ||
            ::read(replies_, &run, sizeof run) != sizeof run || !run.succeeded) {
            throw std::runtime_error(arguments[0] + " " + arguments[1] + " failed");
        }
        return run;
    }

    void stop() { ::close(requests_); }

private:
    [[noreturn]] static void serve(int requests, int replies) {
        for (std::uint32_t size; ::read(requests, &size, sizeof size) == sizeof size;) {
            std::string request(size, '\0');
            if (::read(requests, request.data(), size) != size) break;
            std::vector<std::string> parts;
            for (std::size_t start = 0; start <= request.size();) {
                const auto end = std::min(request.find('\0', start), request.size());
                parts.push_back(request.substr(start, end - start));
                start = end + 1;
            }
            const Run run = launch(parts);
            if (::write(replies, &run, sizeof run) != sizeof run) break;
        }
        ::_exit(0);
    }

    static Run launch(const std::vector<std::string>& parts) {
        const auto start = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            if (::chdir(parts[0].c_str()) != 0) ::_exit(126);
            std::vector<char*> argv;
            for (std::size_t i = 1; i < parts.size(); ++i) argv.push_back(const_cast<char*>(parts[i].c_str()));
            argv.push_back(nullptr);
            ::execvp(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        rusage usage{};
        ::wait4(child, &status, 0, &usage);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        return Run{seconds, usage.ru_maxrss, WIFEXITED(status) && WEXITSTATUS(status) == 0};
    }

    int requests_ = -1;
    int replies_ = -1;
};

std::string selfPath() {
    return fs::read_symlink("/proc/self/exe").string();
}

// One measured case: prepares outside the timing, runs the command, reports speed, size and RSS.
void measure(benchmark::State& state, const std::vector<std::string>& command, const fs::path& output, std::uint64_t bytes) {
    long peak = 0;
    for (auto _ : state) {
        fs::remove_all(corpus().root / output);
        const Run run = Launcher::shared().run(command, corpus().root);
        state.SetIterationTime(run.seconds);
        peak = std::max(peak, run.peakKilobytes);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
    std::error_code error;
    const auto size = fs::is_regular_file(corpus().root / output) ? fs::file_size(corpus().root / output, error) : 0;
    state.counters["out_MB"] = static_cast<double>(size) / 1e6;
    state.counters["peak_RSS_MB"] = static_cast<double>(peak) / 1024.0;
}

// The libzip side: pack corpus/ at `level` into `output`, as our worker does.
int packWithLibzip(int level, const std::string& output) {
    int error = 0;
    ::zip_t* archive = zip_open(output.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (archive == nullptr) return 1;
    std::vector<fs::path> files;
    for (const auto& item : fs::recursive_directory_iterator("corpus")) {
        if (item.is_regular_file()) files.push_back(item.path());
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        zip_source_t* source = zip_source_file(archive, file.c_str(), 0, -1);
        const zip_int64_t index = source ? zip_file_add(archive, file.c_str(), source, ZIP_FL_ENC_UTF_8) : -1;
        if (index < 0 || zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                                  static_cast<zip_uint32_t>(level)) != 0) {
            return 1;
        }
    }
    return zip_close(archive) == 0 ? 0 : 1;
}

void add(const std::string& name, const std::vector<std::string>& command, const fs::path& output) {
    benchmark::RegisterBenchmark(name.c_str(), measure, command, output, corpus().bytes)
        ->UseManualTime()
        ->Iterations(iterations)
        ->Unit(benchmark::kMillisecond);
}

void registerCases() {
    const std::string self = selfPath();
    const std::string worker = (fs::path(self).parent_path() / "bench_zip_worker").string();
    for (const auto& [level, name] : std::vector<std::pair<int, std::string>>{{1, "1"}, {6, "default"}, {9, "9"}}) {
        const std::string output = "zip-" + name + ".zip";
        add("zip/level:" + name + "/ours", {worker, "zip", std::to_string(level), output}, output);
        add("zip/level:" + name + "/info-zip", {"zip", "-q", "-r", "-" + std::to_string(level), output, "corpus"}, output);
        add("zip/level:" + name + "/libzip", {self, "--libzip", std::to_string(level), output}, output);
    }
    add("unzip/ours", {worker, "unzip", "unzip-source.zip", "out"}, "out");
    add("unzip/info-zip", {"unzip", "-q", "-o", "unzip-source.zip", "-d", "out"}, "out");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--libzip") return packWithLibzip(std::stoi(argv[2]), argv[3]);
    Launcher::shared().start();
    benchmark::Initialize(&argc, argv);
    generateCorpus();
    std::cout << "corpus: " << corpus().bytes / 1000000 << " MB in " << logFiles + smallFiles + 1 << " files at " << corpus().root
              << "\n";
    Launcher::shared().run({(fs::path(selfPath()).parent_path() / "bench_zip_worker").string(), "zip", "6", "unzip-source.zip"},
                           corpus().root);
    registerCases();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Launcher::shared().stop();
    fs::remove_all(corpus().root);
    return 0;
}
