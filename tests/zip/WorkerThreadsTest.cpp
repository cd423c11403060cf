// Archive work spreads over worker threads only when it is big enough to gain from them, and
// every operation shares the same workers instead of starting its own.
#include "ArchiveFixtures.hpp"
#include "Zip/Zip.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <iterator>
#include <stdexcept>
#include <thread>

using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

std::size_t threadsOfThisProcess() {
    const std::filesystem::directory_iterator tasks("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// The process's threads while the last entry is reported, that is while the workers are busy.
std::size_t threadsWhilePacking(const std::vector<std::filesystem::path>& files, const std::filesystem::path& archive) {
    std::vector<platform::foundation::Url> urls;
    for (const auto& file : files) urls.push_back(urlOf(file));
    std::size_t during = 0;
    Zip::zipFiles(urls, urlOf(archive), std::nullopt, ZipCompression::DefaultCompression, [&](double fraction) {
        if (fraction == 1.0) during = threadsOfThisProcess();
    });
    return during;
}

std::size_t threadsWhileUnpacking(const std::filesystem::path& archive, const std::filesystem::path& destination) {
    std::size_t during = 0;
    Zip::unzipFile(urlOf(archive), urlOf(destination), true, std::nullopt,
                   [&](double fraction) { during = fraction < 1.0 ? threadsOfThisProcess() : during; });
    return during;
}

TEST(WorkerThreads, SmallArchivesArePackedAndUnpackedOnTheCallersThread) {
    TemporaryFolder folder;
    const std::vector<std::filesystem::path> files = {folder / "a.log", folder / "b.log", folder / "c.log"};
    for (const auto& file : files) writeFile(file, std::string(20000, 'x') + file.filename().string());
    const std::size_t before = threadsOfThisProcess();
    EXPECT_EQ(threadsWhilePacking(files, folder / "small.zip"), before);
    EXPECT_EQ(threadsWhileUnpacking(folder / "small.zip", folder / "out"), before);
}

TEST(WorkerThreads, LargeArchivesShareWorkersThatOutliveEachOperation) {
    TemporaryFolder folder;
    const std::vector<std::filesystem::path> files = {folder / "noise.bin", folder / "more.bin"};
    for (const auto& file : files) writeFile(file, randomBytes(std::size_t{3} << 20, 5));
    threadsWhilePacking(files, folder / "first.zip");
    const std::size_t afterFirst = threadsOfThisProcess();
    EXPECT_EQ(threadsWhilePacking(files, folder / "second.zip"), afterFirst);
    EXPECT_EQ(threadsWhileUnpacking(folder / "second.zip", folder / "out"), afterFirst);
    EXPECT_EQ(readFile(folder / "out" / "more.bin"), readFile(files[1]));
}

// Operations on several threads at once share the workers; one given up half-way (its progress
// handler throws) leaves no archive and spoils none of the others.
TEST(WorkerThreads, ConcurrentOperationsShareTheWorkersAndOneGivenUpLeavesTheOthersWhole) {
    TemporaryFolder folder;
    constexpr int operations = 4;
    constexpr int givenUp = 1;
    std::vector<std::vector<platform::foundation::Url>> inputs(operations);
    for (int operation = 0; operation < operations; ++operation) {
        for (int file = 0; file < 3; ++file) {
            const auto path = folder / ("in" + std::to_string(operation) + "-" + std::to_string(file) + ".bin");
            writeFile(path, randomBytes(std::size_t{1} << 20, static_cast<unsigned>(operation * 3 + file)));
            inputs[static_cast<std::size_t>(operation)].push_back(urlOf(path));
        }
    }
    const auto archive = [&](int operation) { return folder / ("out" + std::to_string(operation) + ".zip"); };
    std::vector<std::string> outcome(operations);
    std::vector<std::thread> threads;
    for (int operation = 0; operation < operations; ++operation) {
        threads.emplace_back([&, operation] {
            try {
                Zip::zipFiles(inputs[static_cast<std::size_t>(operation)], urlOf(archive(operation)), std::nullopt,
                              ZipCompression::DefaultCompression, [&](double fraction) {
                                  if (operation == givenUp && fraction > 0 && fraction < 1) throw std::runtime_error("given up");
                              });
                outcome[static_cast<std::size_t>(operation)] = "packed";
            } catch (const std::runtime_error& error) {
                outcome[static_cast<std::size_t>(operation)] = error.what();
            }
        });
    }
    for (auto& thread : threads) thread.join();

    for (int operation = 0; operation < operations; ++operation) {
        SCOPED_TRACE(operation);
        if (operation == givenUp) {
            EXPECT_EQ(outcome[static_cast<std::size_t>(operation)], "given up");
            EXPECT_FALSE(std::filesystem::exists(archive(operation)));
            continue;
        }
        ASSERT_EQ(outcome[static_cast<std::size_t>(operation)], "packed");
        const auto entries = readArchive(archive(operation));
        ASSERT_EQ(entries.size(), 3u);
        for (std::size_t file = 0; file < entries.size(); ++file) {
            EXPECT_TRUE(entries[file].intact);
            EXPECT_EQ(entries[file].data, readFile(inputs[static_cast<std::size_t>(operation)][file].path()));
        }
    }
}

}  // namespace
