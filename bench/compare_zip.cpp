// Our Zip against Info-ZIP's zip and unzip, in one process with interleaved repetitions: a
// generated 200 MB folder of 40 log files and a single 200 MB log file, packed at the default
// level (zip -6), and the folder's archive unpacked. Then the fixed cost against libzip: three
// small log files packed and their archive unpacked, each call timed on its own. Our unpacking
// does more per file than libzip's plain writes (a temporary file renamed into place once
// intact, each folder checked to lie inside the destination), hence its looser target. Prints
// table rows (see scripts/bench); the rest goes to standard error.
//
// Everything lives on tmpfs (/dev/shm) so that the disk's write-back does not time either side.
#include "GeneratedLogs.hpp"
#include "Zip/Zip.hpp"
#include "bench/ComparisonRow.hpp"
#include "platform/assembly/helper/HelperServices.hpp"

#include <zip.h>

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

bool packWithLibzip(const std::vector<fs::path>& files, const fs::path& archive) {
    int error = 0;
    ::zip_t* output = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (output == nullptr) return false;
    for (const auto& file : files) {
        zip_source_t* source = zip_source_file(output, file.c_str(), 0, -1);
        if (source == nullptr || zip_file_add(output, file.filename().c_str(), source, ZIP_FL_ENC_UTF_8) < 0) {
            zip_discard(output);
            return false;
        }
    }
    return zip_close(output) == 0;
}

bool unpackWithLibzip(const fs::path& archive, const fs::path& folder) {
    int error = 0;
    ::zip_t* input = zip_open(archive.c_str(), ZIP_RDONLY, &error);
    if (input == nullptr) return false;
    fs::create_directories(folder);
    std::vector<char> buffer(65536);
    bool intact = true;
    for (zip_int64_t index = 0; intact && index < zip_get_num_entries(input, 0); ++index) {
        zip_file_t* entry = zip_fopen_index(input, static_cast<zip_uint64_t>(index), 0);
        std::ofstream out(folder / zip_get_name(input, static_cast<zip_uint64_t>(index), 0), std::ios::binary);
        for (zip_int64_t count; entry && (count = zip_fread(entry, buffer.data(), buffer.size())) > 0;) {
            out.write(buffer.data(), count);
        }
        intact = entry != nullptr && zip_fclose(entry) == 0 && out.good();
    }
    zip_close(input);
    return intact;
}

// Three 10 kB log files packed and unpacked, ours against libzip, in milliseconds per call.
void compareSmallFiles(const fs::path& root, std::mt19937& random) {
    constexpr int smallRepetitions = 301;
    std::vector<fs::path> files;
    std::vector<Url> urls;
    for (const char* name : {"CorvantisVPN_1.log", "CorvantisVPN_2.log", "CorvantisVPN_3.log"}) {
        files.push_back(root / "small" / name);
        urls.push_back(Url::fileUrl(files.back().string()));
        writeFile(files.back(), corvantis::bench::generatedLogText(random, 10'000));
    }
    Case zip{"zip three 10 kB files vs libzip", {}, {}};
    Case unzip{"unzip three 10 kB files vs libzip", {}, {}};
    for (int repetition = 0; repetition < smallRepetitions; ++repetition) {
        zip.ours.push_back(secondsOf([&] {
            Zip::zipFiles(urls, Url::fileUrl((root / "ours-small.zip").string()), std::nullopt);
            return true;
        }));
        zip.theirs.push_back(secondsOf([&] { return packWithLibzip(files, root / "theirs-small.zip"); }));
        fs::remove_all(root / "ours-small");
        unzip.ours.push_back(secondsOf([&] {
            Zip::unzipFile(Url::fileUrl((root / "ours-small.zip").string()), Url::fileUrl((root / "ours-small").string()), true,
                           std::nullopt);
            return true;
        }));
        fs::remove_all(root / "theirs-small");
        unzip.theirs.push_back(secondsOf([&] { return unpackWithLibzip(root / "ours-small.zip", root / "theirs-small"); }));
    }
    for (const auto& [measured, target] : {std::pair{&zip, 2.0}, std::pair{&unzip, 3.0}}) {
        const double ours = median(measured->ours);
        const double theirs = median(measured->theirs);
        row(measured->work + " (our time / theirs)", formatted("%.2f ms", ours * 1000), formatted("%.2f ms", theirs * 1000),
            ours / theirs, formatted("<= %.0fx", target), ours / theirs <= target);
    }
}

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
        compareSmallFiles(root, random);
        std::cerr << "compare_zip: finished, load average " << loadAverage() << "\n";
    } catch (const std::exception& error) {
        std::cerr << "compare_zip: " << error.what() << "\n";
        fs::remove_all(root);
        return 1;
    }
    fs::remove_all(root);
    return 0;
}
