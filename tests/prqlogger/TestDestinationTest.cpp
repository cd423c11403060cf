// The test destination crossing off expected lines, also through the logger's filters and
// formatters and on a queue.
#include "PRQLogger/Destinations/TestDestination.hpp"
#include "PRQLogger/Filters/TagFilter.hpp"
#include "PRQLogger/LogFormatters/PrePostFixLogFormatter.hpp"
#include "PRQLogger/PRQLogger.hpp"
#include "RecordingDestination.hpp"
#include "TestServices.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "support/TemporaryFolder.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

using prq::Level;
using prq::PRQLogger;
using prq::Tag;
using prq::TestDestination;
using Lines = std::vector<std::string>;

namespace {

class TestDestinationTest : public ::testing::Test {
protected:
    TestDestinationTest() {
        corvantis::testing::showMessagesOnly(*destination_);
        destination_->setHaveLoggedAppDetails(true);
        logger_->add(destination_);
    }

    corvantis::testing::TemporaryFolder emptyBundle_;
    corvantis::testing::VirtualTime time_{corvantis::testing::servicesWithBundle(emptyBundle_.path())};
    std::shared_ptr<PRQLogger> logger_ = PRQLogger::make("tests", false);
    std::shared_ptr<TestDestination> destination_ = std::make_shared<TestDestination>(nullptr, "test");
};

TEST_F(TestDestinationTest, CrossesOffEachExpectedCopyOnceAndKeepsTheRest) {
    destination_->add("> L");
    destination_->add("> L");
    destination_->add("> M");
    for (int i = 0; i < 3; ++i) logger_->info([] { return "L"; });
    EXPECT_EQ(destination_->expectedLogMessages(), Lines{"> M"});
    EXPECT_EQ(destination_->unexpectedLogMessages(), Lines{"> L"});
    EXPECT_EQ(destination_->remainingNumberOfExpectedLogMessages(), 1u);
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 1u);
}

TEST_F(TestDestinationTest, ComparesLinesAsFiltersAndFormattersLeaveThem) {
    logger_->setFilters(prq::FilterList{prq::TagFilter::includeFrom({"ui"})});
    const auto brackets = std::make_shared<prq::PrePostFixLogFormatter>();
    brackets->apply("<", ">", Level::info);
    logger_->setFormatters(prq::FormatterList{brackets});
    destination_->add("<> kept>");
    destination_->add("> kept");

    logger_->info([] { return "dropped"; }, Tag("net") | prq::UserInfo{});
    logger_->info([] { return "dropped"; });
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 0u);
    logger_->info([] { return "kept"; }, Tag("ui") | Tag("net"));
    EXPECT_EQ(destination_->expectedLogMessages(), Lines{"> kept"});  // the unformatted form never arrives
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 0u);
}

TEST_F(TestDestinationTest, ALineMustBeExpectedExactlyAsComposed) {
    destination_->setShowDate(true);
    logger_->setDateFormatter(std::make_shared<platform::foundation::DateFormatter>("yyyy-MM-dd HH:mm:ss", true));
    destination_->add("> dated");
    logger_->info([] { return "dated"; });
    EXPECT_EQ(destination_->expectedLogMessages(), Lines{"> dated"});
    EXPECT_EQ(destination_->unexpectedLogMessages(), Lines{"2026-12-07 22:02:20 > dated"});
}

TEST_F(TestDestinationTest, HeadersAndInternalMessagesCountLikeAnyLine) {
    destination_->reset();
    EXPECT_FALSE(destination_->haveLoggedAppDetails());
    logger_->logAppDetails();
    logger_->_logln("internal", Level::info);
    const Lines unexpected = destination_->unexpectedLogMessages();
    ASSERT_EQ(unexpected.size(), 3u);
    EXPECT_EQ(unexpected[0], "> " + std::string(program_invocation_short_name) + " PID: " + std::to_string(::getpid()));
    EXPECT_EQ(unexpected[2], "> internal");

    destination_->reset();
    EXPECT_EQ(destination_->remainingNumberOfExpectedLogMessages(), 0u);
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 0u);
    logger_->logAppDetails();  // written again after a reset
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 2u);
}

TEST_F(TestDestinationTest, ListsCanBeReplaced) {
    destination_->setExpectedLogMessages({"> a", "> b"});
    destination_->setUnexpectedLogMessages({"> z"});
    logger_->info([] { return "b"; });
    EXPECT_EQ(destination_->expectedLogMessages(), Lines{"> a"});
    EXPECT_EQ(destination_->unexpectedLogMessages(), Lines{"> z"});
}

// With a queue every step runs there; a step asked for on the queue itself runs at once.
TEST_F(TestDestinationTest, OnAQueueStepsRunThereAndNeverWaitForThemselves) {
    const auto queue = platform::dispatch::ThreadPoolQueue::serial("test-destination");
    destination_->setLogQueue(queue);
    destination_->add("> from the queue");
    std::size_t remaining = 99;
    queue->sync([&] {
        logger_->info([] { return "from the queue"; });
        destination_->add("> later");
        remaining = destination_->remainingNumberOfExpectedLogMessages();
    });
    EXPECT_EQ(remaining, 1u);

    constexpr int threads = 8;
    constexpr int linesEach = 500;
    for (int t = 0; t < threads; ++t) {
        for (int i = 0; i < linesEach; ++i) destination_->add("> " + std::to_string(t) + "/" + std::to_string(i));
    }
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < linesEach; ++i) logger_->info([&] { return std::to_string(t) + "/" + std::to_string(i); });
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(destination_->expectedLogMessages(), Lines{"> later"});
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 0u);
}

TEST_F(TestDestinationTest, WithoutAQueueManyThreadsAreSerialised) {
    constexpr int threads = 8;
    constexpr int linesEach = 2000;
    std::vector<std::thread> writers;
    for (int t = 0; t < threads; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < linesEach; ++i) {
                destination_->add("> " + std::to_string(t) + "/" + std::to_string(i));
                logger_->info([&] { return std::to_string(t) + "/" + std::to_string(i); });
            }
        });
    }
    for (auto& writer : writers) writer.join();
    EXPECT_EQ(destination_->remainingNumberOfExpectedLogMessages(), 0u);
    EXPECT_EQ(destination_->numberOfUnexpectedLogMessages(), 0u);
}

}  // namespace
