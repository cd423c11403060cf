// How destinations compose, filter, format and write their lines.
#include "LogFileTest.hpp"
#include "PRQLogger/Destinations/ConsoleDestination.hpp"
#include "PRQLogger/Destinations/FileDestination.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "RecordingDestination.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <future>
#include <thread>

using prq::Level;
using prq::LogDetails;
using prq::PRQLogger;
using Lines = std::vector<std::string>;
using Recorder = corvantis::testing::RecordingDestination<>;

namespace {

class LineComposition : public ::testing::Test {
protected:
    LineComposition() {
        logger_->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>("yyyy-MM-dd HH:mm:ss.SSS", true));
        logger_->add(destination_);
    }

    LogDetails record(std::string fileName = "/src/app/ConnectView.cpp", Level level = Level::info) {
        return LogDetails(level, time_.clock().wallNow(), "message", "startConnection()", std::move(fileName), 412);
    }

    // The line for the record with the given switches (date, level, identifier, file, line, function).
    std::string compose(std::array<bool, 6> on, const LogDetails& details) {
        destination_->setShowDate(on[0]);
        destination_->setShowLevel(on[1]);
        destination_->setShowLogIdentifier(on[2]);
        destination_->setShowFileName(on[3]);
        destination_->setShowLineNumber(on[4]);
        destination_->setShowFunctionName(on[5]);
        destination_->process(details);
        return destination_->lines().back();
    }

    // The thread tag of a line composed by `run`'s thread.
    std::string threadTag(const std::function<void(const std::function<void()>&)>& run) {
        corvantis::testing::showMessagesOnly(*destination_);
        destination_->setShowThreadName(true);
        run([&] { destination_->process(record()); });
        return destination_->lines().back();
    }

    // Logs "m" from always the same place; that place's line number.
    int logFromOnePlace() {
        logger_->info([] { return "m"; });
        return __LINE__ - 1;
    }

    void showDateOnly() {
        corvantis::testing::showMessagesOnly(*destination_);
        destination_->setShowDate(true);
    }

    corvantis::testing::VirtualTime time_;
    std::shared_ptr<PRQLogger> logger_ = PRQLogger::make("composer", false);
    std::shared_ptr<Recorder> destination_ = std::make_shared<Recorder>("composed");
};

TEST_F(LineComposition, LinesShowWhatTheSwitchesTurnOn) {
    const struct {
        std::array<bool, 6> on;
        std::string fileName;
        const char* line;
    } cases[] = {
        {{true, true, false, true, true, true},
         "/src/app/ConnectView.cpp",
         "2026-12-07 22:02:20.000 [Info] [ConnectView.cpp:412] startConnection() > message"},
        {{true, true, true, true, true, true},
         "/src/app/ConnectView.cpp",
         "2026-12-07 22:02:20.000 [Info] [composer] [ConnectView.cpp:412] startConnection() > message"},
        {{false, false, false, false, true, false}, "/src/app/ConnectView.cpp", "[412] > message"},
        {{false, false, false, true, false, false}, "/src/app/ConnectView.cpp", "[ConnectView.cpp] > message"},
        {{false, false, false, true, true, false}, "ConnectView.cpp", "[ConnectView.cpp:412] > message"},
        {{false, false, false, true, true, false}, "/src/app/", "[app:412] > message"},
        {{false, false, false, false, false, false}, "/src/app/ConnectView.cpp", "> message"},
    };
    for (const auto& c : cases) EXPECT_EQ(compose(c.on, record(c.fileName)), c.line);

    auto empty = record();
    empty.message.clear();
    EXPECT_EQ(compose({}, empty), "> ");
}

TEST_F(LineComposition, TheDestinationsLevelNamesComeBeforeTheOwnersAndInternalMessagesUseNeither) {
    logger_->setLevelDescriptions({{Level::info, "owner info"}, {Level::warning, "owner warning"}});
    destination_->setLevelDescriptions({{Level::info, "mine"}});
    const std::pair<Level, const char*> cases[] = {
        {Level::info, "[mine] > message"}, {Level::warning, "[owner warning] > message"}, {Level::error, "[Error] > message"}};
    for (const auto& [level, line] : cases) {
        EXPECT_EQ(compose({false, true, false, false, false, false}, record("f.cpp", level)), line);
    }
    destination_->setShowLogIdentifier(true);
    destination_->setShowFunctionName(true);
    destination_->setShowThreadName(true);
    destination_->setShowDate(true);
    destination_->processInternal(LogDetails(Level::info, time_.clock().wallNow(), "internal", "", "", 0));
    EXPECT_EQ(destination_->lines().back(), "2026-12-07 22:02:20.000 [Info] [composer] > internal");
}

TEST_F(LineComposition, ACustomDateFormatterAppliesUntilItIsRemoved) {
    logger_->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>("ddMMyyyyHHmm", true));
    EXPECT_EQ(compose({true, false, false, false, false, false}, record()), "071220262202 > message");
    logger_->setDateFormatter(nullptr);
    EXPECT_EQ(logger_->dateFormatter().dateFormat(), "yyyy-MM-dd HH:mm:ss.SSS");
}

TEST_F(LineComposition, TheThreadTagNamesTheMainThreadANamedThreadAQueueOrTheThreadsAddress) {
    EXPECT_EQ(threadTag([](const auto& work) { work(); }), "[main] > message");
    EXPECT_EQ(threadTag([](const auto& work) {
                  std::thread([&] {
                      platform::dispatch::setCurrentThreadName("tunnel worker");
                      work();
                  }).join();
              }),
              "[tunnel worker] > message");
    EXPECT_EQ(threadTag([](const auto& work) {
                  platform::dispatch::ThreadPoolQueue::serial("com.corvantis.reachability")->sync(work);
              }),
              "[com.corvantis.reachability] > message");
    const auto isAddress = [](const std::string& line) {
        const auto hex = std::string_view(line).substr(3, line.size() - 3 - std::string_view("] > message").size());
        return line.starts_with("[0x") && line.ends_with("] > message") && !hex.empty() &&
               hex.find_first_not_of("0123456789abcdef") == std::string_view::npos;
    };
    EXPECT_TRUE(isAddress(threadTag([](const auto& work) { std::thread(work).join(); })));
    EXPECT_TRUE(isAddress(threadTag([](const auto& work) { platform::dispatch::ThreadPoolQueue::serial("")->sync(work); })));
}

// Lines of one thread reuse what earlier lines made (the date of the second, the pieces of the
// place, the thread tag): each must still show what holds when it is written.
TEST_F(LineComposition, ADatesSecondIsMadeAgainWhenTheNextSecondBegins) {
    showDateOnly();
    // The same lines written straight to a file, which keeps the head of its last line.
    const corvantis::testing::TemporaryFolder folder;
    const auto path = folder.path() / "dates.log";
    const auto straight = PRQLogger::make("composer", false);
    const auto file = std::make_shared<prq::FileDestination>(nullptr, path.string(), "file");
    corvantis::testing::showMessagesOnly(*file);
    file->setShowDate(true);
    ASSERT_TRUE(straight->add(file));
    const auto useDates = [&](const std::string& pattern) {
        for (auto* logger : {logger_.get(), straight.get()}) {
            logger->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>(pattern, true));
        }
    };
    useDates("yyyy-MM-dd HH:mm:ss.SSS");
    const auto nextLine = [&] {
        logger_->info([] { return "m"; });
        straight->info([] { return "m"; });
        EXPECT_EQ(corvantis::testing::readLines(path).back(), destination_->lines().back());
        return destination_->lines().back();
    };
    EXPECT_EQ(nextLine(), "2026-12-07 22:02:20.000 > m");
    EXPECT_EQ(nextLine(), "2026-12-07 22:02:20.000 > m");
    time_.advance(std::chrono::milliseconds(999));
    EXPECT_EQ(nextLine(), "2026-12-07 22:02:20.999 > m");
    time_.advance(std::chrono::milliseconds(1));
    EXPECT_EQ(nextLine(), "2026-12-07 22:02:21.000 > m");
    time_.advance(std::chrono::hours(26) + std::chrono::milliseconds(5));
    EXPECT_EQ(nextLine(), "2026-12-09 00:02:21.005 > m");
    time_.advance(-std::chrono::milliseconds(6));  // the clock set back
    EXPECT_EQ(nextLine(), "2026-12-09 00:02:20.999 > m");
    useDates("HH:mm");  // within the same millisecond
    EXPECT_EQ(nextLine(), "00:02 > m");
}

// A destination that nothing could change writes its lines straight from the call, without a
// record: its lines must be those a record makes, as switches and places change between lines.
TEST_F(LineComposition, ALineWrittenStraightIsTheLineARecordMakes) {
    const corvantis::testing::TemporaryFolder folder;
    const auto path = folder.path() / "straight.log";
    const auto straight = PRQLogger::make("composer", false);
    straight->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>("yyyy-MM-dd HH:mm:ss.SSS", true));
    const auto file = std::make_shared<prq::FileDestination>(nullptr, path.string(), "file");
    corvantis::testing::showMessagesOnly(*file);
    ASSERT_TRUE(straight->add(file));

    const prq::CallSite compiled;
    const std::string shownName = std::string(compiled.givenFunctionName()) + "()";
    const prq::CallSite sameInWords(shownName, compiled.fileName(), compiled.lineNumber());
    const prq::CallSite inWords("run(with:)", "/src/Given.swift", 12);
    // Each switch changes the line from the next call on.
    std::string previous;
    const auto logEverywhere = [&] {
        for (const auto* site : {&compiled, &inWords, &sameInWords, &compiled}) {
            for (auto* logger : {logger_.get(), straight.get()}) logger->info([] { return "m"; }, {}, *site);
            EXPECT_EQ(corvantis::testing::readLines(path).back(), destination_->lines().back());
        }
        EXPECT_NE(destination_->lines().back(), previous);
        previous = destination_->lines().back();
    };
    const std::vector<void (prq::BaseDestination::*)(bool)> switches = {
        &prq::BaseDestination::setShowThreadName, &prq::BaseDestination::setShowFunctionName,
        &prq::BaseDestination::setShowLevel,      &prq::BaseDestination::setShowLogIdentifier,
        &prq::BaseDestination::setShowLineNumber, &prq::BaseDestination::setShowFileName,
        &prq::BaseDestination::setShowDate,
    };
    for (const bool on : {true, false}) {
        for (const auto turn : switches) {
            for (prq::BaseDestination* destination :
                 {static_cast<prq::BaseDestination*>(destination_.get()), static_cast<prq::BaseDestination*>(file.get())}) {
                (destination->*turn)(on);
            }
            logEverywhere();
        }
    }
    EXPECT_EQ(corvantis::testing::readLines(path).back(), "> m");

    // A message that logs on its way: the inner line comes first, and neither is cut or mixed.
    straight->info([&] {
        straight->info([] { return std::string(300, 'i'); });
        return std::string(200, 'o');
    });
    const auto lines = corvantis::testing::readLines(path);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "> " + std::string(300, 'i'));
    EXPECT_EQ(lines.back(), "> " + std::string(200, 'o'));
}

// However many plain destinations a call reaches, each gets the whole line: one, a few (the last
// of which takes the call apart from the others), and more than the straight way holds at once.
TEST_F(LineComposition, EveryPlainDestinationOfACallGetsItsLine) {
    const corvantis::testing::TemporaryFolder folder;
    const auto logger = PRQLogger::make("many", false);
    std::vector<std::filesystem::path> paths;
    for (int count = 1; count <= 9; ++count) {
        paths.push_back(folder.path() / ("file" + std::to_string(count) + ".log"));
        const auto file = std::make_shared<prq::FileDestination>(nullptr, paths.back().string(), "file" + std::to_string(count));
        corvantis::testing::showMessagesOnly(*file);
        ASSERT_TRUE(logger->add(file));
        const std::string message = "to " + std::to_string(count);
        logger->info([&] { return message; });
        for (const auto& path : paths) EXPECT_EQ(corvantis::testing::readLines(path).back(), "> " + message) << path;
    }
}

TEST_F(LineComposition, LinesFromOnePlaceFollowChangesToTheirLoggerAndDestination) {
    destination_->setShowLevel(true);
    destination_->setShowLogIdentifier(true);
    destination_->setShowFileName(true);
    destination_->setShowLineNumber(true);
    destination_->setShowFunctionName(true);
    const auto lineFromOnePlace = [&](const std::string& pieces) {
        const int line = logFromOnePlace();
        EXPECT_EQ(destination_->lines().back(),
                  pieces + "[LineCompositionTest.cpp:" + std::to_string(line) + "] logFromOnePlace() > m");
    };
    lineFromOnePlace("[Info] [composer] ");
    lineFromOnePlace("[Info] [composer] ");
    logger_->setIdentifier("renamed");
    lineFromOnePlace("[Info] [renamed] ");
    logger_->setLevelDescriptions({{Level::info, "owner's"}});
    lineFromOnePlace("[owner's] [renamed] ");
    destination_->setLevelDescriptions({{Level::info, "own"}});
    lineFromOnePlace("[own] [renamed] ");
    destination_->setShowLogIdentifier(false);
    lineFromOnePlace("[own] ");

    // Another place, and another destination with other switches, in turn on the same thread.
    const auto other = std::make_shared<Recorder>("other");
    logger_->add(other);
    const int here = __LINE__ + 1;
    logger_->warning([] { return "w"; });
    EXPECT_EQ(destination_->lines().back(), "[Warning] [LineCompositionTest.cpp:" + std::to_string(here) + "] TestBody() > w");
    EXPECT_EQ(other->lines().back(), "> w");
    lineFromOnePlace("[own] ");
    EXPECT_EQ(other->lines().back(), "> m");
}

TEST_F(LineComposition, AThreadsTagFollowsItsNameAndTheQueueItServes) {
    corvantis::testing::showMessagesOnly(*destination_);
    destination_->setShowThreadName(true);
    Lines lines;
    std::thread([&] {
        const auto log = [&] {
            logger_->info([] { return "m"; });
            lines.push_back(destination_->lines().back());
        };
        log();
        {
            const std::string label = "com.corvantis.test.queue";
            const platform::dispatch::QueueLabelScope serving(label);
            log();
        }
        log();
        platform::dispatch::setCurrentThreadName("first");
        log();
        platform::dispatch::setCurrentThreadName("second");
        log();
    }).join();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_TRUE(lines[0].starts_with("[0x"));
    EXPECT_EQ(lines[1], "[com.corvantis.test.queue] > m");
    EXPECT_EQ(lines[2], lines[0]);
    EXPECT_EQ(lines[3], "[first] > m");
    EXPECT_EQ(lines[4], "[second] > m");
    logger_->info([] { return "m"; });
    EXPECT_EQ(destination_->lines().back(), "[main] > m");
}

// A formatter that logs through the same logger while its own line is being made.
class LoggingFormatter final : public prq::LogFormatterProtocol {
public:
    explicit LoggingFormatter(PRQLogger& logger) : logger_(logger) {}
    std::string format(LogDetails&, std::string& message) override {
        if (!inside_) {
            inside_ = true;
            logger_.info([] { return "inner, a longer message than the outer one"; });
            inside_ = false;
        }
        message += " (formatted)";
        return {};
    }
    std::string debugDescription() const override { return "LoggingFormatter"; }

private:
    PRQLogger& logger_;
    bool inside_ = false;
};

TEST_F(LineComposition, ALogCallMadeWhileALineIsBeingMadeLeavesThatCallsRecordWhole) {
    const auto later = std::make_shared<Recorder>("later");
    logger_->add(later);
    destination_->setFormatters(prq::FormatterList{std::make_shared<LoggingFormatter>(*logger_)});
    logger_->info([] { return "outer"; });
    EXPECT_EQ(destination_->lines(), (Lines{"> inner, a longer message than the outer one (formatted)", "> outer (formatted)"}));
    // The destination after the one that logged still gets the outer call's own message.
    EXPECT_EQ(later->lines(), (Lines{"> inner, a longer message than the outer one", "> outer"}));
}

class Filter final : public prq::FilterProtocol {
public:
    explicit Filter(bool drop) : drop_(drop) {}
    bool shouldExclude(LogDetails&, std::string& message) override {
        seen.push_back(message);
        return drop_;
    }
    std::string debugDescription() const override { return "Filter"; }
    std::vector<std::string> seen;

private:
    bool drop_;
};

class Shouting final : public prq::LogFormatterProtocol {
public:
    std::string format(LogDetails& details, std::string& message) override {
        details.message = "changed";
        message += "!";
        return "ignored";
    }
    std::string debugDescription() const override { return "Shouting"; }
};

TEST_F(LineComposition, OwnListsApplyOnlyWhereADestinationHasNoneOfItsOwn) {
    const auto drop = std::make_shared<Filter>(true);
    logger_->setFilters(prq::FilterList{drop});
    logger_->info([] { return "dropped by the owner's filter"; });
    EXPECT_TRUE(destination_->lines().empty());
    EXPECT_EQ(drop->seen, Lines{"> dropped by the owner's filter"});

    destination_->setFilters(prq::FilterList{});
    logger_->info([] { return "kept"; });
    EXPECT_EQ(destination_->lines(), Lines{"> kept"});
}

TEST_F(LineComposition, TheFirstFilterThatDropsEndsTheWalk) {
    const auto drop = std::make_shared<Filter>(true);
    const auto later = std::make_shared<Filter>(false);
    destination_->setFilters(prq::FilterList{drop, later});
    logger_->info([] { return "gone"; });
    EXPECT_TRUE(destination_->lines().empty());
    EXPECT_TRUE(later->seen.empty());
}

TEST_F(LineComposition, FormattersRewriteOnlyTheirOwnDestinationsCopy) {
    const auto plain = std::make_shared<Recorder>("plain");
    logger_->add(plain);
    destination_->setFormatters(prq::FormatterList{std::make_shared<Shouting>(), std::make_shared<Shouting>()});
    logger_->info([] { return "hello"; });
    EXPECT_EQ(destination_->lines(), Lines{"> hello!!"});
    EXPECT_EQ(plain->lines(), Lines{"> hello"});
}

TEST_F(LineComposition, AQueuedDestinationReturnsAtOnceAndWritesInCallOrderOnItsQueue) {
    const auto queue = platform::dispatch::ThreadPoolQueue::serial("com.corvantis.test.log");
    std::promise<void> gate;
    queue->async([opened = gate.get_future().share()] { opened.wait(); });
    destination_->setLogQueue(queue);
    destination_->setShowThreadName(true);
    logger_->info([] { return "first"; });
    logger_->info([] { return "second"; });
    EXPECT_TRUE(destination_->lines().empty());
    gate.set_value();
    queue->sync([] {});
    // Composed on the calling thread, so the line names the caller, not the queue.
    EXPECT_EQ(destination_->lines(), (Lines{"[main] > first", "[main] > second"}));
}

TEST(ConsoleDestination, PrintsEachLineWithALineFeedToStandardOutput) {
    const auto logger = PRQLogger::make("console");
    auto& console = dynamic_cast<prq::ConsoleDestination&>(*logger->destinations().front());
    corvantis::testing::showMessagesOnly(console);
    std::fflush(stdout);
    ::testing::internal::CaptureStdout();
    logger->info([] { return ""; });
    logger->info([] { return "shown"; });
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "> \n> shown\n");
}

}  // namespace
