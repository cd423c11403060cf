// The auto-rotating file destination on real files with real extended attributes: names and
// folders, size and age thresholds on the virtual clock, clean-up and purge, reports made during
// a rotation, and many writers across rotations.
#include "CountingClock.hpp"
#include "LogFileTest.hpp"
#include "PRQLogger/Destinations/AutoRotatingFileDestination.hpp"
#include "PRQLogger/Extensions/UrlExtendedAttributes.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "platform/foundation/FileSystem.hpp"
#include "support/TemporaryFolder.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <thread>
#include <unistd.h>

using corvantis::testing::readLines;
using corvantis::testing::TemporaryFolder;
using platform::foundation::Url;
using prq::AutoRotatingFileDestination;
using prq::Level;
using prq::PRQLogger;
using Lines = std::vector<std::string>;
using Path = std::filesystem::path;
using namespace std::chrono_literals;
namespace FileSystem = platform::foundation::FileSystem;

namespace {

std::uint64_t fileSize(const Path& file) {
    return std::filesystem::file_size(file);
}

std::vector<Path> paths(const std::vector<Url>& urls) {
    std::vector<Path> result;
    for (const auto& url : urls) result.emplace_back(url.path());
    return result;
}

// Marks a file or folder as an archive of `identifier` made at `timestamp`.
void tagAsArchive(const Path& path, std::string_view identifier, std::optional<std::string_view> timestamp) {
    const auto url = Url::fileUrl(path.string());
    ASSERT_TRUE(prq::setExtendedAttribute(url, identifier, prq::Constants::extendedAttributeArchivedLogIdentifierKey));
    if (timestamp) {
        ASSERT_TRUE(prq::setExtendedAttribute(url, *timestamp, prq::Constants::extendedAttributeArchivedLogTimestampKey));
    }
}

// Sets an environment variable for as long as it lives.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnvironment() {
        if (previous_) {
            ::setenv(name_, previous_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name_;
    std::optional<std::string> previous_;
};

class AutoRotatingFileDestinationTest : public corvantis::testing::LogFileTest {
protected:
    void SetUp() override {
        const auto probe = folder_ / "probe";
        ASSERT_TRUE(FileSystem::writeFileAtomically(probe, "", 0644));
        if (!userAttributesWork(probe)) GTEST_SKIP() << "the temporary folder's file system keeps no user attributes";
        std::filesystem::remove(probe);
    }

    // A destination that shows messages only; it gets its owner after it is made, so that its
    // first file starts with the header.
    std::shared_ptr<AutoRotatingFileDestination> rotating(const prq::FileTarget& target, std::uint64_t maxFileSize,
                                                          double maxTimeInterval = 0, std::uint8_t keep = 10,
                                                          std::string identifier = "rotating") {
        auto destination = prq::create<AutoRotatingFileDestination>(nullptr, target, std::move(identifier), false, std::nullopt,
                                                                    std::nullopt, maxFileSize, maxTimeInterval, nullptr, keep);
        corvantis::testing::showMessagesOnly(*destination);
        logger_->add(destination);
        return destination;
    }

    Path archiveAt(const std::string& base, platform::dispatch::WallTime time, const Path& folder) const {
        return folder / (base + platform::foundation::DateFormatter("_yyyy-MM-dd_HHmmss").string(time) + ".log");
    }
    Path archiveNow(const std::string& base = "app") { return archiveAt(base, time_.clock().wallNow(), folder_.path()); }
    static Lines fresh(const Path& log) { return opening(log, "writing"); }
    static std::string rotationLine(const Path& log, const Path& archive) {
        return "> Rotated file " + log.string() + " to " + archive.string();
    }
    // A file that rotation started: it begins as a fresh one and tells where the earlier lines went.
    static Lines freshAfter(const Path& log, const Path& archive) {
        auto lines = fresh(log);
        lines.push_back(rotationLine(log, archive));
        return lines;
    }
    double secondsNow() { return std::chrono::duration<double>(time_.clock().wallNow().time_since_epoch()).count(); }

    // Services whose calendar time moves a second at every reading.
    platform::Services steppingTime() {
        platform::Services services = corvantis::testing::servicesWithBundle(emptyBundle_.path());
        services.clockOverride = std::make_shared<corvantis::testing::CountingClock>(1s);
        return services;
    }
};

TEST_F(AutoRotatingFileDestinationTest, NamesAndFolderComeFromTheLogFile) {
    const TemporaryFolder temporary;
    const ScopedEnvironment tmpdir("TMPDIR", temporary.path().string());
    const auto defaultFolder = Url::fileUrl((temporary / "log").string(), true);
    const auto inPlace = Url::fileUrl(folder_.path().string(), true);
    const struct {
        const char* file;
        const char* base;
        const char* extension;
        Url folder;
    } cases[] = {
        {"app.log", "app", "log", inPlace},
        {"app.tar.gz", "app.tar", "gz", inPlace},
        {"noextension", "noextension", "", defaultFolder},
        {".hidden", ".hidden", "", defaultFolder},
    };
    for (const auto& c : cases) {
        const auto destination = prq::create<AutoRotatingFileDestination>(nullptr, folder_ / c.file);
        EXPECT_EQ(destination->baseFileName(), c.base) << c.file;
        EXPECT_EQ(destination->fileExtension(), c.extension) << c.file;
        EXPECT_EQ(destination->archiveFolderURL(), c.folder) << c.file;
    }
    EXPECT_TRUE(FileSystem::isDirectory(temporary / "log"));
    EXPECT_EQ(prq::create<AutoRotatingFileDestination>(nullptr, "x.log")->defaultLogFolderURL(), defaultFolder);
}

// A subclass's default folder is the one its set-up takes.
class KeptApartDestination : public AutoRotatingFileDestination {
public:
    KeptApartDestination(prq::CreationKey key, const Path& folder, const Path& log)
        : AutoRotatingFileDestination(key, nullptr, log), folder_(folder) {}
    std::optional<Url> defaultLogFolderURL() const override { return Url::fileUrl(folder_.string(), true); }

private:
    Path folder_;
};

TEST_F(AutoRotatingFileDestinationTest, SetUpReachesSubclassOverrides) {
    const auto destination = prq::create<KeptApartDestination>(folder_ / "apart", folder_ / "noextension");
    EXPECT_EQ(destination->archiveFolderURL(), Url::fileUrl((folder_ / "apart").string(), true));
}

TEST_F(AutoRotatingFileDestinationTest, WithoutAFileNothingRotatesUntilAFolderIsGiven) {
    const auto destination = prq::create<AutoRotatingFileDestination>(
        nullptr, Url::fromString("https://example.com/app.log").value(), "web", false, std::nullopt, std::nullopt, 1);
    EXPECT_EQ(destination->baseFileName(), "prqlogger");
    EXPECT_EQ(destination->fileExtension(), "log");
    EXPECT_EQ(destination->archiveFolderURL(), std::nullopt);
    destination->write("counted all the same");
    EXPECT_EQ(destination->currentLogFileSize(), 21u);
    EXPECT_FALSE(destination->shouldRotate());

    std::optional<bool> rotated;
    destination->setAutoRotationCompletion([&](bool result) { rotated = result; });
    destination->setArchiveFolderURL(Url::fileUrl((folder_ / "made" / "here").string(), true));
    EXPECT_TRUE(FileSystem::isDirectory(folder_ / "made" / "here"));
    EXPECT_TRUE(destination->shouldRotate());
    destination->rotateFile();
    EXPECT_EQ(rotated, false);  // the file destination has no file to move
    EXPECT_EQ(destination->currentLogFileSize(), 0u);
}

TEST_F(AutoRotatingFileDestinationTest, ThresholdsSwitchOffAtZeroAndBelowOneSecond) {
    const auto destination =
        prq::create<AutoRotatingFileDestination>(nullptr, folder_ / "app.log", "", true, std::nullopt, std::nullopt, 0, 0.5);
    EXPECT_EQ(destination->targetMaxFileSize(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(destination->targetMaxTimeInterval(), 0.0);
    const struct {
        std::uint64_t size;
        std::uint64_t storedSize;
        double interval;
        double storedInterval;
    } cases[] = {{0, std::numeric_limits<std::uint64_t>::max(), 0.5, 0.0},
                 {1, 1, 0.0, 0.0},
                 {1048576, 1048576, -3.0, 0.0},
                 {7, 7, 1.0, 1.0}};
    for (const auto& c : cases) {
        destination->setTargetMaxFileSize(c.size);
        destination->setTargetMaxTimeInterval(c.interval);
        EXPECT_EQ(destination->targetMaxFileSize(), c.storedSize);
        EXPECT_EQ(destination->targetMaxTimeInterval(), c.storedInterval);
    }
    const auto defaults = prq::create<AutoRotatingFileDestination>(nullptr, folder_ / "defaults.log");
    EXPECT_EQ(defaults->targetMaxFileSize(), 1048576u);
    EXPECT_EQ(defaults->targetMaxTimeInterval(), 600.0);
    EXPECT_EQ(defaults->targetMaxLogFiles(), 10);
}

// The counted size is the file's real size, also for text of several bytes per character.
TEST_F(AutoRotatingFileDestinationTest, SizeRotationCountsUtf8BytesAndLineFeeds) {
    const auto log = folder_ / "app.log";
    const auto destination = rotating(log, 200);
    EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));

    const std::string wide = "Verbindung über Zürich — 日本 ✓";
    std::vector<std::string> written;
    while (!FileSystem::fileExists(archiveNow())) {
        logger_->info([&] { return wide; });
        written.push_back("> " + wide);
        if (!FileSystem::fileExists(archiveNow())) {
            EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));
        }
        ASSERT_LT(written.size(), 20u) << "no rotation";
    }
    const auto archived = readLines(archiveNow());
    auto expected = fresh(log);
    expected.insert(expected.end(), written.begin(), written.end());
    EXPECT_EQ(archived, expected);
    EXPECT_GE(fileSize(archiveNow()), 200u);
    EXPECT_LT(fileSize(archiveNow()), 200u + written.back().size() + 1);

    EXPECT_EQ(readLines(log), freshAfter(log, archiveNow()));  // counted from its first byte
    const auto watched = watcher_->lines();
    EXPECT_EQ(std::count(watched.begin(), watched.end(), rotationLine(log, archiveNow())), 1);
    EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));
    EXPECT_EQ(destination->currentLogStartTimeInterval(), secondsNow());
    EXPECT_EQ(destination->archivedFileURLs(), std::vector<Url>{Url::fileUrl(archiveNow().string())});
}

TEST_F(AutoRotatingFileDestinationTest, AgeRotationFollowsTheVirtualClock) {
    const auto log = folder_ / "app.log";
    const auto destination = rotating(log, 0, 600);
    logger_->info([] { return "first"; });
    time_.advance(599s);
    logger_->info([] { return "second"; });
    EXPECT_FALSE(FileSystem::fileExists(archiveNow()));
    time_.advance(1s);
    logger_->info([] { return "third"; });

    auto expected = fresh(log);
    expected.insert(expected.end(), {"> first", "> second", "> third"});
    EXPECT_EQ(readLines(archiveNow()), expected);
    EXPECT_EQ(readLines(log), freshAfter(log, archiveNow()));
    EXPECT_EQ(destination->currentLogStartTimeInterval(), secondsNow());
    EXPECT_FALSE(destination->shouldRotate());
}

TEST_F(AutoRotatingFileDestinationTest, ASecondRotationInTheSameSecondIsRefused) {
    const auto log = folder_ / "app.log";
    const auto destination = rotating(log, 0);
    std::vector<bool> answers;
    destination->setAutoRotationCompletion([&](bool rotated) { answers.push_back(rotated); });

    destination->rotateFile();
    const auto first = archiveNow();
    logger_->info([] { return "kept in place"; });
    destination->rotateFile();
    EXPECT_EQ(answers, (std::vector<bool>{true, false}));
    EXPECT_EQ(readLines(first), fresh(log));
    EXPECT_EQ(readLines(log).back(), "> kept in place");
    EXPECT_EQ(destination->currentLogFileSize(), 0u);  // reset all the same

    time_.advance(1s);
    destination->rotateFile();
    EXPECT_EQ(answers, (std::vector<bool>{true, false, true}));
    EXPECT_EQ(readLines(archiveNow()).back(), "> kept in place");
}

TEST_F(AutoRotatingFileDestinationTest, CleanUpDeletesTheOldestArchivesBeyondTheLimit) {
    // Files that are not this destination's archives, and one archive of an earlier run.
    const auto write = [&](const char* name) {
        EXPECT_TRUE(FileSystem::writeFileAtomically(folder_ / name, "someone's\n", 0644));
        return folder_ / name;
    };
    tagAsArchive(write("other.log"), "other", "1000000001.0");
    write("untagged.log");
    tagAsArchive(write(".hidden.log"), "rotating", "1000000002.0");
    tagAsArchive(write("undated.log"), "rotating", std::nullopt);
    tagAsArchive(write("garbled.log"), "rotating", "\xff\xfe");
    tagAsArchive(write("earlier.log"), "rotating", "1000000000.0");

    const auto destination = rotating(folder_ / "app.log", 0, 0, 3);
    std::vector<Path> made;
    for (int i = 0; i < 5; ++i) {
        destination->rotateFile();
        made.push_back(archiveNow());
        time_.advance(1s);
    }
    EXPECT_EQ(paths(destination->archivedFileURLs()), (std::vector<Path>{made[4], made[3], made[2]}));
    for (const auto* name : {"other.log", "untagged.log", ".hidden.log", "undated.log", "garbled.log"}) {
        EXPECT_TRUE(FileSystem::fileExists(folder_ / name)) << name;
    }
    EXPECT_FALSE(FileSystem::fileExists(folder_ / "earlier.log"));
    EXPECT_FALSE(FileSystem::fileExists(made[1]));

    destination->setTargetMaxLogFiles(1);  // at once, without a rotation
    EXPECT_EQ(paths(destination->archivedFileURLs()), std::vector<Path>{made[4]});
    EXPECT_FALSE(FileSystem::fileExists(made[3]));
    destination->setTargetMaxLogFiles(0);
    EXPECT_TRUE(destination->archivedFileURLs().empty());
    EXPECT_TRUE(FileSystem::fileExists(folder_ / "app.log"));
}

TEST_F(AutoRotatingFileDestinationTest, PurgeDeletesOnlyThisIdentifiersArchives) {
    const auto first = rotating(folder_ / "a.log", 0, 0, 10, "a");
    const auto second = rotating(folder_ / "b.log", 0, 0, 10, "b");
    for (int i = 0; i < 2; ++i) {
        first->rotateFile();
        second->rotateFile();
        time_.advance(1s);
    }
    ASSERT_EQ(first->archivedFileURLs().size(), 2u);
    const auto kept = second->archivedFileURLs();
    ASSERT_EQ(kept.size(), 2u);

    first->purgeArchivedLogFiles();
    EXPECT_TRUE(first->archivedFileURLs().empty());
    EXPECT_EQ(second->archivedFileURLs(), kept);
    EXPECT_TRUE(FileSystem::fileExists(folder_ / "a.log"));
    EXPECT_TRUE(FileSystem::fileExists(folder_ / "b.log"));
}

TEST_F(AutoRotatingFileDestinationTest, AnEarlierFileIsContinuedOrArchivedNeverEmptied) {
    const struct {
        const char* what;
        bool shouldAppend;
        std::uint64_t maxFileSize;
        bool archivedAtOnce;
    } cases[] = {
        {"continued", true, 1000, false},
        {"continued, but already too large", true, 10, true},
        {"not to be continued", false, 1000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TemporaryFolder folder;
        const auto log = folder / "run.log";
        ASSERT_TRUE(FileSystem::writeFileAtomically(log, "old line\n", 0644));
        const auto destination = prq::create<AutoRotatingFileDestination>(logger_, log, "run", c.shouldAppend,
                                                                          std::string(prq::FileDestination::defaultAppendMarker),
                                                                          std::nullopt, c.maxFileSize, 0.0);
        const auto archive = archiveAt("run", time_.clock().wallNow(), folder.path());
        EXPECT_EQ(FileSystem::fileExists(archive), c.archivedAtOnce);
        const auto continued = readLines(c.archivedAtOnce ? archive : log);
        ASSERT_FALSE(continued.empty());
        EXPECT_EQ(continued.front(), "old line");
        EXPECT_EQ(continued[1] == "-- ** ** ** --", c.shouldAppend);  // the marker only when continuing
        if (!c.archivedAtOnce) {
            EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));
            const auto created = FileSystem::attributesOfItem(log).value().creationDate;
            if (created) {
                EXPECT_EQ(destination->currentLogStartTimeInterval(),
                          std::chrono::duration<double>(created->time_since_epoch()).count());
            }
        }
    }
}

TEST_F(AutoRotatingFileDestinationTest, TheStartUpRotationTellsTheNewFileWhereTheEarlierLinesWentWhateverTheLevel) {
    const TemporaryFolder folder;
    const auto log = folder / "run.log";
    ASSERT_TRUE(FileSystem::writeFileAtomically(log, "old line\n", 0644));
    // Made without an owner, the destination archives the earlier file at once and opens the new
    // one only when it is added; it shows warnings only.
    const auto destination =
        prq::create<AutoRotatingFileDestination>(nullptr, log, "run", false, std::nullopt, std::nullopt, 1000, 0.0);
    destination->setOutputLevel(Level::warning);
    logger_->add(destination);
    const auto archive = archiveAt("run", time_.clock().wallNow(), folder.path());
    ASSERT_TRUE(FileSystem::fileExists(archive));
    EXPECT_EQ(readLines(archive).front(), "old line");
    const auto lines = readLines(log);
    EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                           [&](const std::string& line) {
                               return line.ends_with("Rotated file " + log.string() + " to " + archive.string());
                           }),
              lines.end())
        << ::testing::PrintToString(lines);
}

// A clean-up failure is reported into the rotating file itself and to the other destinations,
// while the lock is held by the rotation that caused it; neither blocks nor rotates again.
TEST_F(AutoRotatingFileDestinationTest, ReportsDuringRotationNeitherBlockNorRotateAgain) {
    const auto stuck = folder_ / "stuck";
    std::filesystem::create_directories(stuck / "inside");
    tagAsArchive(stuck, "rotating", "1000000000.0");
    const auto log = folder_ / "app.log";
    const auto destination = rotating(log, 1, 0, 1);
    std::vector<bool> answers;
    destination->setAutoRotationCompletion([&](bool rotated) { answers.push_back(rotated); });

    std::vector<Path> archives;
    for (const char* line : {"one", "two", "three"}) {
        logger_->info([&] { return line; });
        archives.push_back(archiveNow());
        time_.advance(1s);
    }
    EXPECT_EQ(answers, (std::vector<bool>{true, true, true}));
    EXPECT_EQ(paths(destination->archivedFileURLs()), (std::vector<Path>{archives[2], stuck}));

    const std::string failure = "> Unable to delete old archived log file " + stuck.string() + ": Directory not empty";
    const auto watched = watcher_->lines();
    EXPECT_EQ(std::count(watched.begin(), watched.end(), failure), 3);
    EXPECT_NE(std::find(watched.begin(), watched.end(), rotationLine(log, archives[0])), watched.end());
    auto started = freshAfter(log, archives[2]);
    started.push_back(failure);
    EXPECT_EQ(readLines(log), started);
    EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));
}

// Every line from every writer is present exactly once, whole and in its writer's order across
// the archives and the current file; each archive ends at the first line that reached the
// threshold.
TEST_F(AutoRotatingFileDestinationTest, ManyWritersLoseNoLineAcrossRotations) {
    const platform::ScopedServices services(steppingTime());
    constexpr int writers = 8;
    constexpr int linesEach = 10000;
    constexpr std::uint64_t threshold = 64 * 1024;
    const std::string payload(24, 'x');
    const auto log = folder_ / "busy.log";
    logger_->remove(watcher_);
    const auto destination = rotating(log, threshold, 0, 255);

    std::vector<std::thread> threads;
    for (int writer = 0; writer < writers; ++writer) {
        threads.emplace_back([&, writer] {
            for (int i = 0; i < linesEach; ++i) {
                logger_->info([&] { return "w" + std::to_string(writer) + " i" + std::to_string(i) + " " + payload; });
            }
        });
    }
    for (auto& thread : threads) thread.join();

    auto files = paths(destination->archivedFileURLs());
    std::reverse(files.begin(), files.end());
    ASSERT_GE(files.size(), 20u);
    std::size_t longest = 0;
    std::vector<int> next(writers, 0);
    const auto check = [&](const Path& file) {
        for (const auto& line : readLines(file)) {
            if (line.starts_with("> PRQLogger ") || line.starts_with("> Rotated file ") || line == header()) continue;
            int writer = -1, index = -1, end = 0;
            std::sscanf(line.c_str(), "> w%d i%d %n", &writer, &index, &end);
            ASSERT_TRUE(writer >= 0 && writer < writers && line.substr(static_cast<std::size_t>(end)) == payload) << line;
            ASSERT_EQ(index, next[writer]) << "writer " << writer << " in " << file;
            ++next[writer];
            longest = std::max(longest, line.size() + 1);
        }
    };
    for (const auto& file : files) check(file);
    check(log);
    EXPECT_EQ(next, std::vector<int>(writers, linesEach));
    for (const auto& file : files) {
        EXPECT_GE(fileSize(file), threshold) << file;
        EXPECT_LT(fileSize(file), threshold + longest) << file;
    }
    EXPECT_LT(fileSize(log), threshold);
    EXPECT_EQ(destination->currentLogFileSize(), fileSize(log));
}

// Two rotating destinations of one logger rotate on their own threads at the same time, and
// each reports every rotation to the other.
TEST_F(AutoRotatingFileDestinationTest, DestinationsRotatingTogetherReportToEachOtherWithoutBlocking) {
    const platform::ScopedServices services(steppingTime());
    logger_->remove(watcher_);
    const auto first = rotating(folder_ / "first.log", 0, 0, 255, "first");
    const auto second = rotating(folder_ / "second.log", 0, 0, 255, "second");
    constexpr int rotations = 200;
    const auto rotate = [](const std::shared_ptr<AutoRotatingFileDestination>& destination) {
        for (int i = 0; i < rotations; ++i) destination->rotateFile();
    };
    std::thread one(rotate, first);
    std::thread two(rotate, second);
    one.join();
    two.join();

    // What each file tells of the other one's rotations.
    const auto reportsOf = [&](const std::shared_ptr<AutoRotatingFileDestination>& destination, const std::string& other) {
        auto files = paths(destination->archivedFileURLs());
        files.push_back(folder_ / (destination->identifier() + ".log"));
        int reports = 0;
        for (const auto& file : files) {
            for (const auto& line : readLines(file)) reports += line.starts_with("> Rotated file " + (folder_ / other).string());
        }
        return reports;
    };
    EXPECT_EQ(first->archivedFileURLs().size(), std::size_t{rotations});
    EXPECT_EQ(reportsOf(first, "second.log"), rotations);
    EXPECT_EQ(reportsOf(second, "first.log"), rotations);
}

}  // namespace
