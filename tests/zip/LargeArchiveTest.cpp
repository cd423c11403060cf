// Entries and archives past 4 GiB need zip64 fields. These tests write several GiB, so they run
// only when CORVANTIS_ZIP_LARGE_TESTS=1; the normal suite checks that small archives keep the
// classic format.
#include "ArchiveFixtures.hpp"
#include "Zip/Zip.hpp"
#include "support/ChildProcess.hpp"
#include "support/TemporaryFolder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

using corvantis::testing::ChildProcess;
using corvantis::testing::TemporaryFolder;
using namespace corvantis::zip;
using namespace corvantis::zip::testing;

namespace {

constexpr std::uint64_t largeSize = (std::uint64_t{4} << 30) + (std::uint64_t{1} << 20);

bool largeTestsWanted() {
    const char* wanted = std::getenv("CORVANTIS_ZIP_LARGE_TESTS");
    return wanted != nullptr && std::string(wanted) == "1";
}

// A file of zeros that takes no disk space.
void makeSparseFile(const std::filesystem::path& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(size)), 0);
    ::close(fd);
}

TEST(LargeArchive, EntriesOver4GiBGetZip64FieldsAndRoundTrip) {
    if (!largeTestsWanted()) GTEST_SKIP() << "set CORVANTIS_ZIP_LARGE_TESTS=1 to write several GiB";
    TemporaryFolder folder;
    makeSparseFile(folder / "big", largeSize);
    writeFile(folder / "small", "after the big one");
    for (const auto& password : {std::optional<std::string>(), std::optional<std::string>("pw")}) {
        Zip::zipFiles({urlOf(folder / "big"), urlOf(folder / "small")}, urlOf(folder / "big.zip"), password,
                      ZipCompression::BestSpeed);
        const auto entries = readArchive(folder / "big.zip");
        ASSERT_EQ(entries.size(), 2u);
        EXPECT_EQ(entries[0].versionNeeded, 45u);
        EXPECT_EQ(entries[1].versionNeeded, 20u);
        std::vector<std::string> test = {"unzip", "-t", "-q"};
        if (password) test.insert(test.end(), {"-P", *password});
        test.push_back((folder / "big.zip").string());
        const auto tested = ChildProcess::run(test);
        EXPECT_EQ(tested.exitCode, 0) << tested.output;
    }
    Zip::unzipFile(urlOf(folder / "big.zip"), urlOf(folder / "out"), true, "pw");
    EXPECT_EQ(std::filesystem::file_size(folder / "out" / "big"), largeSize);
    EXPECT_EQ(readFile(folder / "out" / "small"), "after the big one");
    std::filesystem::remove_all(folder / "out");

    const auto zipped = ChildProcess::run({"zip", "-q", "-1", "theirs.zip", "big", "small"}, folder.path());
    ASSERT_EQ(zipped.exitCode, 0) << zipped.output;
    Zip::unzipFile(urlOf(folder / "theirs.zip"), urlOf(folder / "out"), true, std::nullopt);
    EXPECT_EQ(std::filesystem::file_size(folder / "out" / "big"), largeSize);
    EXPECT_EQ(readFile(folder / "out" / "small"), "after the big one");
}

TEST(LargeArchive, EntriesStartingPast4GiBAreFoundAgain) {
    if (!largeTestsWanted()) GTEST_SKIP() << "set CORVANTIS_ZIP_LARGE_TESTS=1 to write several GiB";
    TemporaryFolder folder;
    makeSparseFile(folder / "big", largeSize);
    writeFile(folder / "small", "far into the archive");
    Zip::zipFiles({urlOf(folder / "big"), urlOf(folder / "small")}, urlOf(folder / "stored.zip"), std::nullopt,
                  ZipCompression::NoCompression);
    EXPECT_GT(std::filesystem::file_size(folder / "stored.zip"), largeSize);
    const auto tested = ChildProcess::run({"unzip", "-t", "-q", (folder / "stored.zip").string()});
    EXPECT_EQ(tested.exitCode, 0) << tested.output;
    const auto listed = ChildProcess::run({"unzip", "-p", (folder / "stored.zip").string(), "small"});
    EXPECT_EQ(listed.output, "far into the archive");
}

}  // namespace
