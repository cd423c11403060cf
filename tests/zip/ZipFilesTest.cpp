#include "ArchiveFixtures.hpp"
#include "Zip/Zip.hpp"
#include "platform/foundation/Progress.hpp"
#include "support/FifoRelease.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <ctime>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>

using corvantis::testing::FifoRelease;
using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

std::vector<double> zipFilesReporting(const std::vector<platform::foundation::Url>& paths, const std::filesystem::path& archive,
                                      const std::optional<std::string>& password = std::nullopt,
                                      ZipCompression compression = ZipCompression::DefaultCompression) {
    std::vector<double> fractions;
    Zip::zipFiles(paths, urlOf(archive), password, compression, [&](double fraction) { fractions.push_back(fraction); });
    return fractions;
}

std::size_t itemsIn(const std::filesystem::path& folder) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
}

void setModificationTime(const std::filesystem::path& path, int year, int month, int day, int hour, int minute, int second) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_sec = second;
    local.tm_isdst = -1;
    const timeval times[2] = {{std::mktime(&local), 0}, {std::mktime(&local), 0}};
    ASSERT_EQ(::utimes(path.c_str(), times), 0);
}

TEST(ZipFiles, ReportsEachEntrysShareButOnlyTheFinalOne) {
    TemporaryFolder folder;
    writeFile(folder / "a.log", std::string(100, 'a'));
    writeFile(folder / "b.log", std::string(300, 'b'));
    const auto fractions = zipFilesReporting({urlOf(folder / "a.log"), urlOf(folder / "b.log")}, folder / "out.zip");
    EXPECT_EQ(fractions, (std::vector<double>{0.25, 1.0}));
    const auto entries = readArchive(folder / "out.zip");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "a.log");
    EXPECT_EQ(entries[0].data, std::string(100, 'a'));
    EXPECT_EQ(entries[1].name, "b.log");
    EXPECT_EQ(entries[1].data, std::string(300, 'b'));
}

TEST(ZipFiles, EmptyListOrOnlyEmptyFilesGiveTheFinalReportAlone) {
    TemporaryFolder folder;
    EXPECT_EQ(zipFilesReporting({}, folder / "none.zip"), std::vector<double>{1.0});
    EXPECT_TRUE(readArchive(folder / "none.zip").empty());

    writeFile(folder / "empty1", "");
    writeFile(folder / "empty2", "");
    EXPECT_EQ(zipFilesReporting({urlOf(folder / "empty1"), urlOf(folder / "empty2")}, folder / "empties.zip"),
              std::vector<double>{1.0});
    EXPECT_EQ(readArchive(folder / "empties.zip").size(), 2u);
}

TEST(ZipFiles, StoresEmptyAndChunkSizedFilesWhole) {
    TemporaryFolder folder;
    const std::vector<std::pair<std::string, std::string>> files = {
        {"empty", ""},
        {"exact", randomBytes(16384, 1)},
        {"double", randomBytes(2 * 16384, 2)},
        {"odd", randomBytes(16385, 3)},
    };
    std::vector<platform::foundation::Url> paths;
    for (const auto& [name, data] : files) {
        writeFile(folder / name, data);
        paths.push_back(urlOf(folder / name));
    }
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("secret")}) {
        Zip::zipFiles(paths, urlOf(folder / "out.zip"), password);
        Zip::unzipFile(urlOf(folder / "out.zip"), urlOf(folder / "back"), true, password);
        for (const auto& [name, data] : files) EXPECT_EQ(readFile(folder / "back" / name), data) << name;
    }
}

TEST(ZipFiles, ReplacesAnExistingArchiveInsteadOfExtendingIt) {
    TemporaryFolder folder;
    writeFile(folder / "a.txt", "alpha");
    writeFile(folder / "out.zip", std::string(100000, 'x'));
    Zip::zipFiles({urlOf(folder / "a.txt")}, urlOf(folder / "out.zip"), std::nullopt);
    const auto entries = readArchive(folder / "out.zip");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].data, "alpha");
    EXPECT_LT(std::filesystem::file_size(folder / "out.zip"), 1000u);
    EXPECT_EQ(itemsIn(folder.path()), 2u);
}

TEST(ZipFiles, AMissingInputFailsAndKeepsTheEarlierArchive) {
    TemporaryFolder folder;
    writeFile(folder / "a.txt", "alpha");
    Zip::zipFiles({urlOf(folder / "a.txt")}, urlOf(folder / "out.zip"), std::nullopt);
    const std::string earlier = readFile(folder / "out.zip");

    std::vector<double> fractions;
    try {
        Zip::zipFiles({urlOf(folder / "a.txt"), urlOf(folder / "missing.txt")}, urlOf(folder / "out.zip"), std::nullopt,
                      ZipCompression::DefaultCompression, [&](double fraction) { fractions.push_back(fraction); });
        FAIL() << "packing a missing file succeeded";
    } catch (const ZipError& error) {
        EXPECT_EQ(error, ZipError::zipFail);
    }
    // The missing file adds nothing to the total, so the first entry was all of it.
    EXPECT_TRUE(fractions.empty());
    EXPECT_EQ(readFile(folder / "out.zip"), earlier);
    EXPECT_EQ(itemsIn(folder.path()), 2u) << "a temporary file was left behind";
}

TEST(ZipFiles, LibraryAndFileSystemFailuresAreZipFail) {
    TemporaryFolder folder;
    writeFile(folder / "a.txt", "alpha");
    // A target folder that does not exist.
    EXPECT_THROW(Zip::zipFiles({urlOf(folder / "a.txt")}, urlOf(folder / "no" / "such" / "out.zip"), std::nullopt), ZipError);
    EXPECT_FALSE(std::filesystem::exists(folder / "no"));
    // A file that opens but cannot be read: the copy must end, not loop.
    EXPECT_THROW(Zip::zipFiles({urlOf("/proc/self/mem")}, urlOf(folder / "mem.zip"), std::nullopt), ZipError);
    EXPECT_FALSE(std::filesystem::exists(folder / "mem.zip"));
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ZipFiles, AFifoOrADeviceIsZipFailWithoutWaitingOnIt) {
    TemporaryFolder folder;
    FifoRelease fifo(folder / "pipe");
    EXPECT_THROW(Zip::zipFiles({urlOf(folder / "pipe")}, urlOf(folder / "pipe.zip"), std::nullopt), ZipError);
    EXPECT_FALSE(fifo.released()) << "the packing waited for a writer on the FIFO";
    EXPECT_THROW(Zip::zipFiles({urlOf("/dev/null")}, urlOf(folder / "null.zip"), std::nullopt), ZipError);
    EXPECT_EQ(itemsIn(folder.path()), 1u);
}

TEST(ZipRegularFiles, TakesNothingReachedThroughALink) {
    TemporaryFolder folder;
    writeFile(folder / "outside" / "secret.txt", "secret");
    std::filesystem::create_directory_symlink(folder / "outside", folder / "linked");
    std::vector<std::string> skipped;
    Zip::zipRegularFiles({urlOf(folder / "linked" / "secret.txt"), urlOf(folder / "linked")}, urlOf(folder / "out.zip"),
                         std::nullopt, ZipCompression::DefaultCompression, {},
                         [&](const platform::foundation::Url& item, const std::string& reason) {
                             skipped.push_back(item.lastPathComponent() + ": " + reason);
                         });
    EXPECT_TRUE(readArchive(folder / "out.zip").empty());
    EXPECT_EQ(skipped,
              (std::vector<std::string>{"secret.txt: reached through a symbolic link or a file", "linked: a symbolic link"}));
}

// Writes past 64 KiB fail with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    FileSizeLimit() {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = 65536;
        ::setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int);
};

TEST(ZipFiles, AFullDiskIsZipFailAndLeavesNoPartialArchive) {
    TemporaryFolder folder;
    writeFile(folder / "noise", randomBytes(512 * 1024, 4));
    writeFile(folder / "out.zip", "earlier");
    {
        FileSizeLimit limit;
        EXPECT_THROW(Zip::zipFiles({urlOf(folder / "noise")}, urlOf(folder / "out.zip"), std::nullopt), ZipError);
        const std::vector<ArchiveFile> files = {
            {"noise", std::make_shared<const std::string>(randomBytes(512 * 1024, 5)), std::nullopt}};
        EXPECT_THROW(Zip::zipData(files, urlOf(folder / "out.zip"), "pw"), ZipError);
    }
    EXPECT_EQ(readFile(folder / "out.zip"), "earlier");
    EXPECT_EQ(itemsIn(folder.path()), 2u);
}

TEST(ZipFiles, FoldersBecomeEntriesUnderTheirOwnName) {
    TemporaryFolder folder;
    writeFile(folder / "Logs" / "x.txt", "x");
    writeFile(folder / "Logs" / "sub" / "y.txt", "y");
    std::filesystem::create_directories(folder / "Logs" / "empty");
    Zip::zipFiles({urlOf(folder / "Logs")}, urlOf(folder / "logs.zip"), std::nullopt);
    const auto entries = readArchive(folder / "logs.zip");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "Logs/sub/y.txt");
    EXPECT_EQ(entries[1].name, "Logs/x.txt");
}

TEST(ZipFiles, EntryDatesAreLocalTimeClampedIntoTheZipRange) {
    TemporaryFolder folder;
    struct Case {
        int year, month, day, hour, minute, second;
        unsigned storedYear, storedMonth, storedDay, storedHour, storedMinute, storedSecond;
    };
    const Case cases[] = {
        {2026, 12, 31, 23, 59, 58, 2026, 11, 31, 23, 59, 58},
        {1975, 6, 15, 12, 0, 0, 1980, 0, 1, 0, 0, 0},
        {2150, 6, 15, 12, 0, 0, 2107, 11, 31, 23, 59, 58},
    };
    for (const auto& c : cases) {
        writeFile(folder / "dated", "d");
        setModificationTime(folder / "dated", c.year, c.month, c.day, c.hour, c.minute, c.second);
        Zip::zipFiles({urlOf(folder / "dated")}, urlOf(folder / "dated.zip"), std::nullopt);
        const auto entry = readArchive(folder / "dated.zip").at(0);
        EXPECT_EQ((std::vector<unsigned>{entry.year, entry.month, entry.day, entry.hour, entry.minute, entry.second}),
                  (std::vector<unsigned>{c.storedYear, c.storedMonth, c.storedDay, c.storedHour, c.storedMinute, c.storedSecond}))
            << c.year;
    }
}

TEST(ZipFiles, EveryLevelDeflatesAndAnyPasswordEncrypts) {
    TemporaryFolder folder;
    writeFile(folder / "text", std::string(50000, 'q'));
    for (auto compression : {ZipCompression::NoCompression, ZipCompression::BestSpeed, ZipCompression::DefaultCompression,
                             ZipCompression::BestCompression}) {
        for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("")}) {
            Zip::zipFiles({urlOf(folder / "text")}, urlOf(folder / "out.zip"), password, compression);
            const auto entry = readArchive(folder / "out.zip").at(0);
            EXPECT_EQ(entry.method, 8u);
            EXPECT_EQ(entry.flags & 1, password ? 1u : 0u);
            EXPECT_EQ(entry.uncompressedSize, 50000u);
            if (compression == ZipCompression::NoCompression) {
                EXPECT_GT(entry.compressedSize, 50000u);
            } else {
                EXPECT_LT(entry.compressedSize, 1000u);
            }
        }
    }
}

TEST(ZipFiles, SmallEntriesKeepTheClassicFormatAndNonAsciiNamesAreMarkedUtf8) {
    TemporaryFolder folder;
    writeFile(folder / "plain.txt", "p");
    writeFile(folder / "Grüße.txt", "g");
    Zip::zipFiles({urlOf(folder / "plain.txt"), urlOf(folder / "Grüße.txt")}, urlOf(folder / "out.zip"), std::nullopt);
    const auto entries = readArchive(folder / "out.zip");
    ASSERT_EQ(entries.size(), 2u);
    for (const auto& entry : entries) EXPECT_EQ(entry.versionNeeded, 20u) << entry.name;
    EXPECT_EQ(entries[0].flags & 0x800, 0u);
    EXPECT_EQ(entries[0].extraFieldSize, 0u);
    EXPECT_EQ(entries[1].name, "Grüße.txt");
    EXPECT_EQ(entries[1].flags & 0x800, 0x800u);
    // Only the Unicode Path field: its header, version, CRC and the name.
    EXPECT_EQ(entries[1].extraFieldSize, 4u + 1u + 4u + std::string("Grüße.txt").size());
}

TEST(ZipFiles, TheProgressObjectJoinsTheCallersCurrentProgress) {
    TemporaryFolder folder;
    writeFile(folder / "a", std::string(1000, 'a'));
    platform::foundation::Progress overall(10);
    overall.becomeCurrent(4);
    Zip::zipFiles({urlOf(folder / "a")}, urlOf(folder / "out.zip"), std::nullopt);
    overall.resignCurrent();
    EXPECT_EQ(overall.completedUnitCount(), 4);
    EXPECT_DOUBLE_EQ(overall.fractionCompleted(), 0.4);
}

TEST(ZipData, ReportsAfterEveryEntryAndSkipsEmptyBuffers) {
    TemporaryFolder folder;
    const auto when = std::chrono::system_clock::now();
    const std::vector<ArchiveFile> files = {
        {"first.bin", std::make_shared<const std::string>(std::string(100, '1')), when},
        {"skipped.bin", std::make_shared<const std::string>(), when},
        {"dir/second.bin", std::make_shared<const std::string>(std::string(300, '2')), std::nullopt},
    };
    std::vector<double> fractions;
    Zip::zipData(files, urlOf(folder / "data.zip"), std::nullopt, ZipCompression::DefaultCompression,
                 [&](double fraction) { fractions.push_back(fraction); });
    EXPECT_EQ(fractions, (std::vector<double>{0.25, 1.0, 1.0}));
    const auto entries = readArchive(folder / "data.zip");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "first.bin");
    EXPECT_GE(entries[0].year, 2024u);
    EXPECT_EQ(entries[1].name, "dir/second.bin");
    EXPECT_EQ(entries[1].data, std::string(300, '2'));
    // No time: the fields given to the library are all zero.
    EXPECT_EQ((std::vector<unsigned>{entries[1].hour, entries[1].minute, entries[1].second, entries[1].day}),
              (std::vector<unsigned>{0, 0, 0, 0}));

    fractions.clear();
    Zip::zipData({{"nothing", std::make_shared<const std::string>(), std::nullopt}}, urlOf(folder / "none.zip"), std::nullopt,
                 ZipCompression::DefaultCompression, [&](double fraction) { fractions.push_back(fraction); });
    EXPECT_EQ(fractions, std::vector<double>{1.0});
    EXPECT_TRUE(readArchive(folder / "none.zip").empty());
}

}  // namespace
