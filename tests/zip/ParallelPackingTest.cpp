// Entries deflated in pieces on several threads must come out as the same entries as a plain
// one-stream, one-thread packing, and as archives that Info-ZIP accepts.
#include "ArchiveFixtures.hpp"
#include "Zip/ArchivePacker.hpp"
#include "Zip/Zip.hpp"
#include "support/ChildProcess.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>

using corvantis::testing::ChildProcess;
using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

class PackingLayout {
public:
    explicit PackingLayout(ArchivePacker::Options options) : saved_(ArchivePacker::defaultOptions()) {
        ArchivePacker::defaultOptions() = options;
    }
    ~PackingLayout() { ArchivePacker::defaultOptions() = saved_; }

private:
    ArchivePacker::Options saved_;
};

std::string logLines(std::mt19937& random, std::size_t size) {
    std::string text;
    while (text.size() < size)
        text +=
            "2026-01-01 12:00:0" + std::to_string(random() % 10) + " [Info] tunnel id=" + std::to_string(random() % 1000) + "\n";
    text.resize(size);
    return text;
}

// A random tree: files of every size class (empty, below and across piece sizes), text and
// noise, nested folders and empty ones.
void makeRandomFolder(const std::filesystem::path& root, unsigned seed) {
    std::mt19937 random(seed);
    const std::vector<std::string> folders = {"", "a", "a/b", "c", "c/d/e"};
    for (const auto& folder : folders) std::filesystem::create_directories(root / folder);
    std::filesystem::create_directories(root / "empty" / "deeper");
    for (int i = 0, count = 5 + static_cast<int>(random() % 10); i < count; ++i) {
        const std::size_t sizes[] = {0, 1 + random() % 100, 1000 + random() % 60000, 100000 + random() % 400000};
        const std::size_t size = sizes[random() % 4];
        const auto path =
            root / folders[random() % folders.size()] / ("f" + std::to_string(i) + (random() % 2 ? ".log" : ".bin"));
        writeFile(path, path.extension() == ".log" ? logLines(random, size) : randomBytes(size, static_cast<unsigned>(random())));
    }
}

std::vector<StoredEntry> packed(const std::filesystem::path& source, const std::filesystem::path& archive,
                                ArchivePacker::Options options, const std::optional<std::string>& password = std::nullopt) {
    PackingLayout layout(options);
    Zip::zipFiles({urlOf(source)}, urlOf(archive), password);
    return readArchive(archive);
}

void expectUnzipAccepts(const std::filesystem::path& archive, const std::optional<std::string>& password = std::nullopt) {
    std::vector<std::string> test = {"unzip", "-t", "-q"};
    if (password) test.insert(test.end(), {"-P", *password});
    test.push_back(archive.string());
    const auto tested = ChildProcess::run(test);
    EXPECT_EQ(tested.exitCode, 0) << tested.output;
}

constexpr ArchivePacker::Options serial{1, SIZE_MAX};
constexpr ArchivePacker::Options parallel{4, 16384};

TEST(ParallelPacking, RandomFoldersGiveTheSameEntriesAsOneStreamOnOneThread) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        TemporaryFolder folder;
        makeRandomFolder(folder / "Logs", seed);
        const auto one = packed(folder / "Logs", folder / "serial.zip", serial);
        const auto many = packed(folder / "Logs", folder / "parallel.zip", parallel);
        ASSERT_EQ(one.size(), many.size()) << seed;
        for (std::size_t i = 0; i < one.size(); ++i) {
            EXPECT_EQ(many[i].name, one[i].name) << seed;
            EXPECT_EQ(many[i].crc, one[i].crc) << many[i].name;
            EXPECT_EQ(many[i].uncompressedSize, one[i].uncompressedSize) << many[i].name;
            EXPECT_TRUE(many[i].data == one[i].data && many[i].intact && one[i].intact) << many[i].name;
        }
        expectUnzipAccepts(folder / "parallel.zip");
        if (seed % 3 == 0) {
            packed(folder / "Logs", folder / "locked.zip", parallel, "pässwort");
            expectUnzipAccepts(folder / "locked.zip", "pässwort");
            Zip::unzipFile(urlOf(folder / "locked.zip"), urlOf(folder / "out"), true, "pässwort");
            for (const auto& entry : one) EXPECT_EQ(readFile(folder / "out" / entry.name), entry.data) << entry.name;
        }
    }
}

TEST(ParallelPacking, AFileGrowingWhilePackedGivesAnIntactPrefixOfIt) {
    TemporaryFolder folder;
    std::mt19937 random(7);
    const std::string start = logLines(random, 300000);
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("pw")}) {
        writeFile(folder / "Logs" / "active.log", start);
        writeFile(folder / "Logs" / "zz-after.log", logLines(random, 200000));
        std::atomic<bool> packing = true;
        std::thread writer([&] {
            std::ofstream log(folder / "Logs" / "active.log", std::ios::app | std::ios::binary);
            for (int line = 0; packing; ++line) log << "appended line " << line << "\n" << std::flush;
        });
        Zip::zipFiles({urlOf(folder / "Logs")}, urlOf(folder / "growing.zip"), password);
        packing = false;
        writer.join();
        expectUnzipAccepts(folder / "growing.zip", password);
        std::filesystem::remove_all(folder / "out");
        Zip::unzipFile(urlOf(folder / "growing.zip"), urlOf(folder / "out"), true, password);
        const std::string stored = readFile(folder / "out" / "Logs" / "active.log");
        EXPECT_GE(stored.size(), start.size());
        EXPECT_EQ(stored, readFile(folder / "Logs" / "active.log").substr(0, stored.size()));
    }
}

}  // namespace
