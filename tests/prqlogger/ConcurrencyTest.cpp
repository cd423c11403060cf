// Many threads log into one file destination while others reconfigure, rotate, remove it or tear
// its logger down: every line that arrives is whole and arrives once, in a file that holds only
// whole lines.
#include "LogFileTest.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <numeric>
#include <string_view>
#include <thread>

using corvantis::testing::readLines;
using prq::FileDestination;
using prq::Level;
using prq::PRQLogger;

namespace {

constexpr int writers = 4;
const std::string padding(40, 'x');

std::string lineText(int writer, int index) {
    return "writer " + std::to_string(writer) + " line " + std::to_string(index) + " " + padding;
}

// The writers' lines found in files, by writer, in the order met.
class Arrivals {
public:
    // Takes a file's lines; false (with the culprit in `stray`) for one that is neither a
    // writer's whole line nor one the destination writes itself.
    bool read(const std::filesystem::path& file) {
        for (const auto& line : readLines(file)) {
            const std::string_view text = line.starts_with("[Info] ") ? std::string_view(line).substr(7) : line;
            unsigned writer = 0;
            int index = -1, end = 0;
            if (std::sscanf(text.data(), "> writer %u line %d %n", &writer, &index, &end) == 2) {
                if (writer >= seen.size() || text.substr(static_cast<std::size_t>(end)) != padding) return strayed(line);
                seen[writer].push_back(index);
            } else if (!line.starts_with("> PRQLogger ") && !line.starts_with("[Info] > PRQLogger ") &&
                       line.find("PID: ") == std::string::npos && line != FileDestination::defaultAppendMarker) {
                return strayed(line);
            }
        }
        return true;
    }
    // Whether each writer's lines are 0, 1, … up to its count, each once, in any order.
    bool eachOnce(const std::vector<int>& counts) const {
        for (std::size_t writer = 0; writer < seen.size(); ++writer) {
            std::vector<int> expected(static_cast<std::size_t>(counts[writer]));
            std::iota(expected.begin(), expected.end(), 0);
            auto indices = seen[writer];
            std::sort(indices.begin(), indices.end());
            if (indices != expected) return false;
        }
        return true;
    }
    // Whether each writer's lines are 0, 1, … in order with no gap or repeat (some of them, from the start).
    bool eachAPrefixInOrder() const {
        for (const auto& indices : seen) {
            for (std::size_t i = 0; i < indices.size(); ++i) {
                if (indices[i] != static_cast<int>(i)) return false;
            }
        }
        return true;
    }

    std::size_t total() const {
        std::size_t lines = 0;
        for (const auto& indices : seen) lines += indices.size();
        return lines;
    }

    std::vector<std::vector<int>> seen = std::vector<std::vector<int>>(writers);
    std::string stray;

private:
    bool strayed(const std::string& line) {
        stray = line;
        return false;
    }
};

class ConcurrentLogging : public corvantis::testing::LogFileTest {
protected:
    // Starts the writers, each logging lines at info into `logger` while it lives, until stopped.
    void startWriters(const std::weak_ptr<PRQLogger>& logger) {
        stop_ = false;
        logged_ = 0;
        for (int writer = 0; writer < writers; ++writer) {
            threads_.emplace_back([this, logger, writer] {
                int& count = counts_[static_cast<std::size_t>(writer)];
                for (count = 0; !stop_; ++count) {
                    const auto alive = logger.lock();
                    if (!alive) return;
                    alive->info([&] { return lineText(writer, count); });
                    ++logged_;
                    logged_.notify_all();
                }
            });
        }
    }
    // Waits for the writers to have logged `lines` in all.
    void awaitLogged(int lines) {
        for (int seen = logged_; seen < lines; seen = logged_) logged_.wait(seen);
    }
    void stopWriters() {
        stop_ = true;
        for (auto& thread : threads_) thread.join();
        threads_.clear();
    }

    std::vector<std::thread> threads_;
    std::atomic<bool> stop_ = false;
    std::atomic<int> logged_ = 0;
    std::vector<int> counts_ = std::vector<int>(writers);
};

TEST_F(ConcurrentLogging, SettingsFilesAndRotationsChangedMeanwhileLoseNoLineAndCutNone) {
    const auto first = folder_ / "first.log", second = folder_ / "second.log";
    const auto destination = std::make_shared<FileDestination>(nullptr, first, "file", true);
    corvantis::testing::showMessagesOnly(*destination);
    logger_->remove(watcher_);
    logger_->add(destination);

    startWriters(logger_);
    std::vector<std::filesystem::path> archives;
    for (int change = 0; change < 60; ++change) {
        awaitLogged(change * 50);  // lines between the changes, however busy the machine
        const Level levels[] = {Level::verbose, Level::debug, Level::info};
        destination->setOutputLevel(levels[change % 3]);
        destination->setShowLevel(change % 2 == 1);
        if (change % 5 == 0) {
            destination->setWriteToFileURL(platform::foundation::Url::fileUrl((change % 10 ? second : first).string()));
        }
        if (change % 7 == 0) {
            archives.push_back(folder_ / ("archive-" + std::to_string(change) + ".log"));
            destination->rotateFile(archives.back());
        }
    }
    stopWriters();

    Arrivals arrivals;
    for (const auto& file : archives) ASSERT_TRUE(arrivals.read(file)) << arrivals.stray;
    ASSERT_TRUE(arrivals.read(first)) << arrivals.stray;
    ASSERT_TRUE(arrivals.read(second)) << arrivals.stray;
    EXPECT_TRUE(arrivals.eachOnce(counts_));

    // Removed while they log: what each writes reaches the file up to the removal, then nothing.
    destination->setWriteToFileURL(platform::foundation::Url::fileUrl((folder_ / "removed.log").string()));
    startWriters(logger_);
    awaitLogged(writers * 100);
    ASSERT_TRUE(logger_->remove(destination));
    EXPECT_FALSE(destination->isOpen());
    stopWriters();
    Arrivals removed;
    ASSERT_TRUE(removed.read(folder_ / "removed.log")) << removed.stray;
    EXPECT_TRUE(removed.eachAPrefixInOrder());
    EXPECT_GE(removed.total(), std::size_t{writers * 100});  // those logged before the removal
}

TEST_F(ConcurrentLogging, ALoggerTornDownWhileThreadsLogLeavesAFileOfWholeLines) {
    const auto path = folder_ / "last.log";
    auto logger = PRQLogger::make("doomed", false);
    auto destination = std::make_shared<FileDestination>(nullptr, path, "file");
    corvantis::testing::showMessagesOnly(*destination);
    logger->add(destination);
    destination.reset();  // the logger holds the only reference: both go at once

    startWriters(logger);
    awaitLogged(writers * 100);
    logger.reset();  // the last holder may be a writer, in the middle of its line
    stopWriters();

    Arrivals arrivals;
    ASSERT_TRUE(arrivals.read(path)) << arrivals.stray;
    EXPECT_TRUE(arrivals.eachAPrefixInOrder());
    EXPECT_GE(arrivals.total(), std::size_t{writers * 100});
}

}  // namespace
