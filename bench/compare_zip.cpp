// Our Zip against Info-ZIP's zip and unzip, in one process with interleaved repetitions: a
// generated 200 MB folder of 40 log files and a single 200 MB log file, packed at the default
// level (zip -6), and the folder's archive unpacked. Prints table rows (see scripts/bench); the
// rest goes to standard error.
//
// Everything lives on tmpfs (/dev/shm) so that the disk's write-back does not time either side.
#include "GeneratedLogs.hpp"
#include "Zip/Zip.hpp"
#include "bench/ComparisonRow.hpp"
#include "platform/assembly/helper/HelperServices.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <tuple>
#include <vector>

extern char** environ;

namespace {

using corvantis::bench::formatted;
using corvantis::bench::median;

namespace fs = std::filesystem;
using corvantis::zip::Zip;
using platform::foundation::Url;

constexpr std::size_t totalBytes = 200'000'000;
constexpr std::size_t folderFiles = 40;
constexpr int repetitions = 7;

std::string loadAverage() {
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

void writeFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

// Runs a program in `folder` with its output thrown away; false unless it exits with 0.
bool run(const std::vector<std::string>& arguments, const fs::path& folder) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    return spawned == 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double secondsOf(const std::function<bool()>& work) {
    const auto start = std::chrono::steady_clock::now();
    if (!work()) throw std::runtime_error("a measured run failed");
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void row(const std::string& work, const std::string& ours, const std::string& reference, double ratio, const std::string& target,
         bool met) {
    corvantis::bench::printRow(work, ours, reference, formatted("%.2fx", ratio), target, met);
}

struct Case {
    std::string work;
    std::vector<double> ours, theirs;
};

}  // namespace

int main() {
    platform::installHelperServices();
    std::string pattern = "/dev/shm/corvantis-compare-zip-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::cerr << "compare_zip: cannot make a folder on /dev/shm\n";
        return 1;
    }
    const fs::path root = pattern;
    try {
        std::mt19937 random(2026);
        for (std::size_t i = 0; i < folderFiles; ++i) {
            writeFile(root / "logs" / ("CorvantisVPN_" + std::to_string(i) + ".log"),
                      corvantis::bench::generatedLogText(random, totalBytes / folderFiles));
        }
        writeFile(root / "single" / "CorvantisVPN.log", corvantis::bench::generatedLogText(random, totalBytes));
        std::cerr << "compare_zip: " << totalBytes / 1'000'000 << " MB of generated logs in " << folderFiles
                  << " files and in one file, on tmpfs at " << root << "; " << repetitions
                  << " interleaved repetitions; load average " << loadAverage() << "\n";

        const auto remove = [&](const char* name) { fs::remove_all(root / name); };
        const auto oursZip = [&](const char* folder, const char* archive) {
            remove(archive);
            return secondsOf([&] {
                Zip::zipFiles({Url::fileUrl((root / folder).string())}, Url::fileUrl((root / archive).string()), std::nullopt);
                return true;
            });
        };
        const auto theirZip = [&](const char* folder, const char* archive) {
            remove(archive);
            return secondsOf([&] { return run({"zip", "-q", "-r", "-6", archive, folder}, root); });
        };

        Case folder{"zip 40-file 200 MB folder vs zip -6", {}, {}};
        Case single{"zip one 200 MB file vs zip -6", {}, {}};
        Case unzip{"unzip 200 MB folder vs unzip", {}, {}};
        for (int repetition = 0; repetition < repetitions; ++repetition) {
            folder.ours.push_back(oursZip("logs", "ours-logs.zip"));
            folder.theirs.push_back(theirZip("logs", "theirs-logs.zip"));
            single.theirs.push_back(theirZip("single", "theirs-single.zip"));
            single.ours.push_back(oursZip("single", "ours-single.zip"));
            remove("ours-out");
            unzip.ours.push_back(secondsOf([&] {
                Zip::unzipFile(Url::fileUrl((root / "ours-logs.zip").string()), Url::fileUrl((root / "ours-out").string()), true,
                               std::nullopt);
                return true;
            }));
            remove("theirs-out");
            unzip.theirs.push_back(secondsOf([&] {
                return run({"unzip", "-q", "-o", "ours-logs.zip", "-d", "theirs-out"}, root);
            }));
            std::cerr << "compare_zip: repetition " << repetition + 1 << " done, load average " << loadAverage() << "\n";
        }

        for (const Case* measured : {&folder, &single}) {
            const double ours = median(measured->ours);
            const double theirs = median(measured->theirs);
            row(measured->work, formatted("%.0f ms", ours * 1000), formatted("%.0f ms", theirs * 1000), theirs / ours, ">= 3x",
                theirs / ours >= 3);
        }
        const double oursUnzip = median(unzip.ours);
        const double theirUnzip = median(unzip.theirs);
        row(unzip.work + " (our time / theirs)", formatted("%.0f ms", oursUnzip * 1000), formatted("%.0f ms", theirUnzip * 1000),
            oursUnzip / theirUnzip, "<= 0.7x", oursUnzip / theirUnzip <= 0.7);
        for (const auto& [work, ours, theirs] :
             {std::tuple{"archive size, 40-file folder vs zip -6", "ours-logs.zip", "theirs-logs.zip"},
              std::tuple{"archive size, one file vs zip -6", "ours-single.zip", "theirs-single.zip"}}) {
            const double oursSize = static_cast<double>(fs::file_size(root / ours));
            const double theirSize = static_cast<double>(fs::file_size(root / theirs));
            row(std::string(work) + " (ours / theirs)", formatted("%.2f MB", oursSize / 1e6),
                formatted("%.2f MB", theirSize / 1e6), oursSize / theirSize, "<= 1.01x", oursSize / theirSize <= 1.01);
        }
        std::cerr << "compare_zip: finished, load average " << loadAverage() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "compare_zip: " << error.what() << "\n";
        fs::remove_all(root);
        return 1;
    }
    fs::remove_all(root);
    return 0;
}
