#include "platform/crashreporting/CrashReporter.hpp"
#include "platform/crashreporting/RecordingSink.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

using platform::crashreporting::Breadcrumb;
using platform::crashreporting::CrashReporter;
using platform::crashreporting::Event;
using platform::crashreporting::RecordingSink;
using platform::crashreporting::Scope;
using platform::crashreporting::User;

namespace {

class CrashReporterTest : public ::testing::Test {
protected:
    void start(CrashReporter::Options options = {}) { reporter.start(std::move(options), sink); }
    // What reached the sink once every captured event has passed the hook.
    std::vector<Event> sent() {
        EXPECT_TRUE(reporter.flush(std::chrono::seconds(30)));
        return sink->events();
    }

    corvantis::testing::VirtualTime time;
    CrashReporter reporter;
    std::shared_ptr<RecordingSink> sink = std::make_shared<RecordingSink>();
};

TEST_F(CrashReporterTest, IgnoresEverythingUntilStarted) {
    reporter.addBreadcrumb(Breadcrumb{.category = "early"});
    reporter.configureScope([](Scope& scope) { scope.setContextValue({{"a", "b"}}, "early"); });
    reporter.captureMessage("early");
    EXPECT_FALSE(reporter.isEnabled());
    start();
    reporter.captureMessage("later");
    const auto events = sent();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].breadcrumbs.empty());
    EXPECT_TRUE(events[0].contexts.empty());
}

TEST_F(CrashReporterTest, AnEventCarriesTheScopeAndItsOwnExtras) {
    start();
    reporter.addBreadcrumb(Breadcrumb{.category = "removeDefaultRoute() gateway = nil"});
    reporter.configureScope([](Scope& scope) { scope.setContextValue({{"url", "https://x/"}}, "API request"); });
    reporter.setUser(User{.userId = "dev-1", .data = {{"subscriptionType", "Yearly"}}});
    reporter.captureMessage("Helper failed", [](Scope& scope) { scope.setExtra("permission denied", "error"); });
    reporter.captureMessage("Second");

    const auto events = sent();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message, "Helper failed");
    EXPECT_EQ(events[0].extras["error"], "permission denied");
    EXPECT_EQ(events[0].contexts["API request"]["url"], "https://x/");
    EXPECT_EQ(events[0].user->userId, "dev-1");
    ASSERT_EQ(events[0].breadcrumbs.size(), 1u);
    EXPECT_EQ(events[0].breadcrumbs[0].timestamp, time.clock().wallNow());
    EXPECT_EQ(events[0].timestamp, time.clock().wallNow());
    EXPECT_FALSE(events[1].extras.contains("error"));  // extras of one event stay with it
}

TEST_F(CrashReporterTest, KeepsOnlyTheLatestBreadcrumbs) {
    start({.maximumBreadcrumbs = 3});
    for (int i = 0; i < 5; ++i) reporter.addBreadcrumb(Breadcrumb{.category = std::to_string(i)});
    const auto breadcrumbs = reporter.scope().breadcrumbs();
    ASSERT_EQ(breadcrumbs.size(), 3u);
    EXPECT_EQ(breadcrumbs.front().category, "2");
    EXPECT_EQ(breadcrumbs.back().category, "4");
}

TEST_F(CrashReporterTest, TheBeforeSendHookSeesEveryEventLast) {
    start({.beforeSend = [](Event event) -> std::optional<Event> {
        if (event.message == "drop me") return std::nullopt;
        event.message += " (checked)";
        return event;
    }});
    reporter.captureMessage("drop me");
    reporter.captureMessage("keep me");
    const auto events = sent();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, "keep me (checked)");
}

TEST_F(CrashReporterTest, TheHookRunsOffTheCapturingThreadWhichItNeverHoldsUp) {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    std::thread::id hookThread;
    start({.beforeSend = [&](Event event) -> std::optional<Event> {
        std::unique_lock lock(mutex);
        hookThread = std::this_thread::get_id();
        changed.wait_for(lock, std::chrono::seconds(30),
                         [&] { return released; });  // bounded: a hook run inline must not hang the test
        return event;
    }});
    reporter.captureMessage("slow to mask");  // returns while the hook waits
    EXPECT_FALSE(reporter.flush(std::chrono::milliseconds(1))) << "the hook has not finished";
    EXPECT_TRUE(sink->events().empty());
    {
        std::lock_guard lock(mutex);
        released = true;
    }
    changed.notify_all();
    ASSERT_EQ(sent().size(), 1u);
    EXPECT_NE(hookThread, std::this_thread::get_id());
}

}  // namespace
