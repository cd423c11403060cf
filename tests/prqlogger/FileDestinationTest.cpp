// The file destination on real files: opening, appending, rotation, failures and many writers.
#include "LogFileTest.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"
#include "PRQLogger/Filters/FilterProtocol.hpp"
#include "PRQLogger/LogFormatters/LogFormatterProtocol.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/foundation/ExtendedAttributes.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using corvantis::testing::readLines;
using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using prq::FileDestination;
using prq::Level;
using prq::PRQLogger;
using Lines = std::vector<std::string>;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

class FileDestinationTest : public corvantis::testing::LogFileTest {
protected:
    std::shared_ptr<FileDestination> file(const prq::FileTarget& target, bool shouldAppend = false,
                                          std::optional<std::string> marker = FileDestination::defaultAppendMarker,
                                          std::optional<platform::foundation::FileAttributes> attributes = std::nullopt) {
        auto destination =
            std::make_shared<FileDestination>(nullptr, target, "file", shouldAppend, std::move(marker), attributes);
        corvantis::testing::showMessagesOnly(*destination);
        return destination;
    }
};

TEST_F(FileDestinationTest, StartsAnEmptyFileWithTheHeaderAndTheOpeningLine) {
    const auto path = folder_ / "run.log";
    ASSERT_TRUE(FileSystem::writeFileAtomically(path, "old run\n", 0644));
    const auto destination = file(path);
    EXPECT_FALSE(destination->isOpen());  // no owner yet
    EXPECT_EQ(readLines(path), Lines{"old run"});

    logger_->add(destination);
    logger_->info([] { return "first line"; });
    auto expected = opening(path, "writing");
    expected.push_back("> first line");
    EXPECT_EQ(readLines(path), expected);
    EXPECT_EQ(watcher_->lines(), (Lines{opened(path, "writing"), "> first line"}));
}

TEST_F(FileDestinationTest, AppendingKeepsTheOldContentBehindAMarker) {
    const struct {
        bool exists;
        std::optional<std::string> marker;
        Lines before;
        const char* how;
    } cases[] = {
        {true, FileDestination::defaultAppendMarker, {"old run", "-- ** ** ** --"}, "appending"},
        {true, "== next run ==", {"old run", "== next run =="}, "appending"},
        {true, std::nullopt, {"old run"}, "appending"},
        {false, FileDestination::defaultAppendMarker, {}, "writing"},
    };
    int index = 0;
    for (const auto& c : cases) {
        const auto path = folder_ / ("append" + std::to_string(index++) + ".log");
        if (c.exists) {
            ASSERT_TRUE(FileSystem::writeFileAtomically(path, "old run\n", 0644));
        }
        const auto destination = file(path, true, c.marker);
        destination->setOwner(logger_);
        auto expected = c.before;
        for (const auto& line : opening(path, c.how)) expected.push_back(line);
        EXPECT_EQ(readLines(path), expected);
    }
}

TEST_F(FileDestinationTest, ANewFileGetsItsAttributesAndAnAppendedOneKeepsItsOwn) {
    const auto path = folder_ / "private.log";
    const auto created = file(path, true, FileDestination::defaultAppendMarker, platform::foundation::FileAttributes{0600});
    created->setOwner(logger_);
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    created->setOwner(nullptr);
    ::chmod(path.c_str(), 0640);
    created->setOwner(logger_);
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST_F(FileDestinationTest, OwnerChangesReopenOrCloseTheFile) {
    const auto path = folder_ / "owned.log";
    const auto destination = file(path);
    logger_->add(destination);
    logger_->info([] { return "before"; });

    destination->setOwner(logger_);  // reopened: emptied again, no second header
    EXPECT_EQ(readLines(path), Lines{opened(path, "writing")});

    destination->setOwner(nullptr);
    EXPECT_FALSE(destination->isOpen());
    destination->write("dropped");
    EXPECT_EQ(readLines(path), Lines{opened(path, "writing")});
}

TEST_F(FileDestinationTest, TargetsThatNameNoFileLeaveTheDestinationWithout) {
    EXPECT_TRUE(file("~/run.log")->writeToFileURL()->path().ends_with("/~/run.log"));
    const auto web = file(Url::fromString("https://example.com/run.log").value());
    EXPECT_EQ(web->writeToFileURL(), std::nullopt);
    logger_->add(web);
    EXPECT_FALSE(web->isOpen());
}

TEST_F(FileDestinationTest, AFileThatCannotBeOpenedIsReportedToTheOtherDestinations) {
    const auto target = folder_ / "target.log";
    ASSERT_TRUE(FileSystem::writeFileAtomically(target, "someone else's file\n", 0644));
    std::filesystem::create_symlink(target, folder_ / "planted.log");
    const struct {
        std::filesystem::path path;
        bool shouldAppend;
        const char* report;
    } cases[] = {
        {folder_ / "missing" / "run.log", false, "> Attempt to open log file for writing failed: No such file or directory"},
        {folder_ / "planted.log", false, "> Attempt to open log file for writing failed: Too many levels of symbolic links"},
        {folder_ / "planted.log", true, "> Attempt to open log file for appending failed: Too many levels of symbolic links"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.string());
        const auto destination = file(c.path, c.shouldAppend);
        logger_->add(destination);
        EXPECT_FALSE(destination->isOpen());
        EXPECT_EQ(watcher_->lines().back(), c.report);
        logger_->remove(destination);
    }
    EXPECT_EQ(readLines(target), Lines{"someone else's file"});
}

// A full disk fails every line: the failure is printed at most once a second, not once a line.
TEST_F(FileDestinationTest, AFailedWriteIsPrintedOnceASecondAndLoggingGoesOn) {
    const auto destination = file("/dev/full", true, std::nullopt);
    const auto printedWhile = [&](const std::function<void()>& logging) {
        ::testing::internal::CaptureStdout();
        logging();
        std::fflush(stdout);
        return ::testing::internal::GetCapturedStdout();
    };
    const std::string failure = "Objective-C Exception occurred: Cannot write /dev/full: No space left on device\n";
    EXPECT_EQ(printedWhile([&] {
                  logger_->add(destination);
                  for (int i = 0; i < 1000; ++i) logger_->info([] { return "lost"; });
              }),
              failure);
    EXPECT_EQ(watcher_->lines().back(), "> lost");

    time_.advance(std::chrono::milliseconds(900));
    EXPECT_EQ(printedWhile([&] { logger_->info([] { return "lost"; }); }), "");
    time_.advance(std::chrono::milliseconds(100));
    EXPECT_EQ(printedWhile([&] {
                  for (int i = 0; i < 10; ++i) logger_->info([] { return "lost"; });
              }),
              failure);
}

// Appends a mark to its destination's copy of the line, or drops every line.
class Marking final : public prq::LogFormatterProtocol, public prq::FilterProtocol {
public:
    explicit Marking(bool drop = false) : drop_(drop) {}
    std::string format(prq::LogDetails&, std::string& message) override {
        message += " (marked)";
        return message;
    }
    bool shouldExclude(prq::LogDetails&, std::string&) override { return drop_; }
    std::string debugDescription() const override { return "Marking"; }

private:
    bool drop_;
};

TEST_F(FileDestinationTest, FiltersAndFormattersAddedWhileLoggingApplyFromTheNextLine) {
    const auto path = folder_ / "run.log";
    const auto destination = file(path);
    logger_->add(destination);
    logger_->info([] { return "plain"; });
    logger_->setFormatters(prq::FormatterList{std::make_shared<Marking>()});
    logger_->info([] { return "owner's formatter"; });
    destination->setFilters(prq::FilterList{std::make_shared<Marking>(true)});
    logger_->info([] { return "dropped"; });
    destination->setFilters(std::nullopt);
    destination->setFormatters(prq::FormatterList{});
    logger_->info([] { return "plain again"; });

    auto expected = opening(path, "writing");
    for (const auto* line : {"> plain", "> owner's formatter (marked)", "> plain again"}) expected.push_back(line);
    EXPECT_EQ(readLines(path), expected);
}

TEST_F(FileDestinationTest, FlushCallsBackAlsoWithoutAnOpenFile) {
    bool called = false;
    file(folder_ / "never.log")->flush([&] { called = true; });
    EXPECT_TRUE(called);
}

TEST_F(FileDestinationTest, RotationArchivesTheFileTagsItAndStartsAFreshOne) {
    const auto path = folder_ / "run.log";
    const auto archive = folder_ / "run-1.log";
    ASSERT_TRUE(FileSystem::writeFileAtomically(path, "", 0644));
    if (!userAttributesWork(path)) GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
    const auto destination = file(path, true);
    logger_->add(destination);
    logger_->info([] { return "before"; });

    std::optional<bool> answered;
    EXPECT_TRUE(destination->rotateFile(archive.string(), [&](bool rotated) { answered = rotated; }));
    EXPECT_EQ(answered, true);
    logger_->info([] { return "after"; });

    const auto archived = readLines(archive);
    ASSERT_FALSE(archived.empty());
    EXPECT_EQ(archived.back(), "> before");
    auto fresh = opening(path, "writing");
    fresh.push_back("> after");
    EXPECT_EQ(readLines(path), fresh);
    const std::string rotated = "> Rotated file " + path.string() + " to " + archive.string();
    EXPECT_EQ(watcher_->lines(), (Lines{opened(path, "appending"), "> before", rotated, opened(path, "writing"), "> after"}));

    const auto archiveUrl = Url::fileUrl(archive.string());
    EXPECT_EQ(prq::extendedAttribute(archiveUrl, prq::Constants::extendedAttributeArchivedLogIdentifierKey).value(), "file");
    const auto stamp = prq::extendedAttribute(archiveUrl, prq::Constants::extendedAttributeArchivedLogTimestampKey).value();
    ASSERT_TRUE(stamp);
    const auto point = stamp->find('.');
    EXPECT_TRUE(point != std::string::npos && point > 0 && point + 1 < stamp->size() &&
                stamp->find_first_not_of("0123456789.") == std::string::npos)
        << *stamp;  // plain decimal, at least one digit after the point
    const auto seconds = std::chrono::duration<double>(time_.clock().wallNow().time_since_epoch()).count();
    EXPECT_EQ(std::stod(*stamp), seconds);
}

TEST_F(FileDestinationTest, RotationOntoAnExistingFileChangesNothing) {
    const auto path = folder_ / "run.log";
    const auto taken = folder_ / "taken.log";
    ASSERT_TRUE(FileSystem::writeFileAtomically(taken, "keep me\n", 0644));
    const auto destination = file(path);
    logger_->add(destination);
    std::optional<bool> answered;
    EXPECT_FALSE(destination->rotateFile(taken, [&](bool rotated) { answered = rotated; }));
    EXPECT_EQ(answered, false);
    logger_->info([] { return "still here"; });
    EXPECT_EQ(readLines(path).back(), "> still here");
    EXPECT_EQ(readLines(taken), Lines{"keep me"});
}

TEST_F(FileDestinationTest, AFailedRotationKeepsTheLogsContent) {
    const auto path = folder_ / "run.log";
    const auto unreachable = folder_ / "no-such-folder" / "run-1.log";
    const auto destination = file(path);  // a fresh file each run, yet the failed move must not empty it
    logger_->add(destination);
    logger_->info([] { return "before"; });

    EXPECT_FALSE(destination->rotateFile(unreachable));
    logger_->info([] { return "after"; });
    const auto lines = readLines(path);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 4),
              (Lines{header(), "> PRQLogger Version: 7.0.1 - Level: Debug", opened(path, "writing"), "> before"}));
    EXPECT_EQ(lines[4], "-- ** ** ** --");
    EXPECT_EQ(lines.back(), "> after");
    const auto watched = watcher_->lines();
    EXPECT_NE(
        std::find(watched.begin(), watched.end(),
                  "> Unable to rotate file " + path.string() + " to " + unreachable.string() + ": No such file or directory"),
        watched.end());
}

// Every line from every writer is present exactly once, whole, and in its writer's order, also
// while another thread rotates the file.
TEST_F(FileDestinationTest, ManyWritersNeverCutOrLoseALineEvenDuringRotation) {
    constexpr int writers = 8;
    constexpr int linesEach = 10000;
    const auto path = folder_ / "busy.log";
    const auto destination = file(path);
    logger_->remove(watcher_);
    logger_->add(destination);

    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            for (int i = 0; i < linesEach; ++i) {
                logger_->info([&] {
                    return "writer " + std::to_string(writer) + " line " + std::to_string(i) + " " + std::string(40, 'x');
                });
            }
        });
    }
    int archives = 0;
    for (; archives < 20; ++archives) destination->rotateFile(folder_ / ("busy-" + std::to_string(archives) + ".log"));
    for (auto& thread : threads) thread.join();

    std::vector<int> next(writers, 0);
    const auto check = [&](const std::filesystem::path& file) {
        for (const auto& line : readLines(file)) {
            if (line.starts_with("> PRQLogger ") || line == header()) continue;
            int writer = -1, index = -1, end = 0;
            std::sscanf(line.c_str(), "> writer %d line %d %n", &writer, &index, &end);
            ASSERT_TRUE(writer >= 0 && writer < writers && line.substr(static_cast<std::size_t>(end)) == std::string(40, 'x'))
                << line;
            ASSERT_EQ(index, next[writer]) << "writer " << writer;
            ++next[writer];
        }
    };
    for (int archive = 0; archive < archives; ++archive) check(folder_ / ("busy-" + std::to_string(archive) + ".log"));
    check(path);
    EXPECT_EQ(next, std::vector<int>(writers, linesEach));
}

// Two file destinations that rotate at the same time each report to the other.
TEST_F(FileDestinationTest, ConcurrentRotationsReportingToEachOtherDoNotBlock) {
    const auto first = file(folder_ / "first.log");
    auto second = std::make_shared<FileDestination>(nullptr, folder_ / "second.log", "second");
    logger_->add(first);
    logger_->add(second);
    const auto rotate = [&](const std::shared_ptr<FileDestination>& destination, const std::string& name) {
        for (int i = 0; i < 200; ++i) destination->rotateFile(folder_ / (name + std::to_string(i)));
    };
    std::thread one(rotate, first, "first-");
    std::thread two(rotate, second, "second-");
    one.join();
    two.join();
    EXPECT_TRUE(FileSystem::fileExists(folder_ / "first-199"));
    EXPECT_TRUE(FileSystem::fileExists(folder_ / "second-199"));
}

}  // namespace
