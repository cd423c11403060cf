#include "platform/Services.hpp"
#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Once.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/dispatch/ThreadPoolQueue.hpp"
#include "support/Patience.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using platform::dispatch::DispatchQueue;
using platform::dispatch::MainQueue;
using platform::dispatch::ThreadPoolQueue;

namespace {

TEST(SerialQueue, RunsWorkOneAtATimeInSubmissionOrder) {
    auto queue = ThreadPoolQueue::serial("com.corvantis.test.serial");
    std::vector<int> order;
    std::atomic<int> running{0};
    bool overlapped = false;
    for (int i = 0; i < 500; ++i) {
        queue->async([&, i] {
            if (running.fetch_add(1) != 0) overlapped = true;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    queue->sync([] {});
    EXPECT_FALSE(overlapped);
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST(SerialQueue, SyncFromItsOwnWorkRunsInlineInsteadOfDeadlocking) {
    auto queue = ThreadPoolQueue::serial("com.corvantis.test.reentrant");
    std::vector<std::string> steps;
    queue->sync([&] {
        steps.push_back("outer");
        queue->sync([&] { steps.push_back("inner"); });
        steps.push_back("after");
    });
    EXPECT_EQ(steps, (std::vector<std::string>{"outer", "inner", "after"}));
}

TEST(SerialQueue, SyncPassesAnExceptionBackToTheCaller) {
    auto queue = ThreadPoolQueue::serial("com.corvantis.test.throwing");
    EXPECT_THROW(queue->sync([] { throw std::runtime_error("boom"); }), std::runtime_error);
    int after = 0;
    queue->sync([&] { after = 1; });
    EXPECT_EQ(after, 1);
}

TEST(SerialQueue, QueueReleasedInsideItsOwnWorkShutsDownCleanly) {
    auto queue = ThreadPoolQueue::serial("com.corvantis.test.self-release");
    std::promise<void> ran;
    auto released = ran.get_future();
    std::weak_ptr<ThreadPoolQueue> watcher = queue;
    queue->async([&ran, held = queue]() mutable { ran.set_value(); });
    queue.reset();
    released.wait();
    EXPECT_TRUE(corvantis::testing::eventually([&] { return watcher.expired(); }));
}

TEST(GlobalQueue, RunsWorkOnSeveralThreadsLabelledAsTheDefaultPool) {
    constexpr int items = 64;
    std::mutex mutex;
    std::set<std::thread::id> threads;
    std::set<std::string> labels;
    std::atomic<int> done{0};
    std::promise<void> finished;
    for (int i = 0; i < items; ++i) {
        DispatchQueue::global()->async([&] {
            std::this_thread::sleep_for(2ms);
            {
                std::lock_guard lock(mutex);
                threads.insert(std::this_thread::get_id());
                labels.insert(platform::dispatch::currentQueueLabel().value_or("<invalid>"));
            }
            if (done.fetch_add(1) + 1 == items) finished.set_value();
        });
    }
    ASSERT_EQ(finished.get_future().wait_for(corvantis::testing::patience(60s)), std::future_status::ready);
    EXPECT_GT(threads.size(), 1u);
    EXPECT_EQ(labels, (std::set<std::string>{DispatchQueue::globalLabel}));
}

TEST(ThreadIdentity, MainThreadIsNamedMainAndCarriesTheMainQueueLabel) {
    ASSERT_TRUE(platform::dispatch::isMainThread());
    EXPECT_EQ(platform::dispatch::currentThreadName(), "main");
    EXPECT_EQ(platform::dispatch::currentQueueLabel(), std::optional<std::string>(DispatchQueue::mainLabel));
    EXPECT_TRUE(DispatchQueue::main()->isCurrent());
}

TEST(ThreadIdentity, PlainThreadHasNoNameAndEmptyLabelUntilNamed) {
    std::string nameBefore = "?", nameAfter;
    std::optional<std::string> label;
    bool main = true;
    std::thread([&] {
        main = platform::dispatch::isMainThread();
        nameBefore = platform::dispatch::currentThreadName();
        label = platform::dispatch::currentQueueLabel();
        platform::dispatch::setCurrentThreadName("com.corvantis.worker-with-a-long-name");
        nameAfter = platform::dispatch::currentThreadName();
    }).join();
    EXPECT_FALSE(main);
    EXPECT_EQ(nameBefore, "");
    EXPECT_EQ(label, std::optional<std::string>(""));
    EXPECT_EQ(nameAfter, "com.corvantis.worker-with-a-long-name");
}

TEST(ThreadIdentity, QueueLabelIsTheRunningQueuesAndNoneWhenNotUtf8) {
    auto unlabelled = ThreadPoolQueue::serial();
    auto invalid = ThreadPoolQueue::serial(std::string("bad\xff", 4));
    std::optional<std::string> unlabelledLabel, invalidLabel;
    unlabelled->sync([&] { unlabelledLabel = platform::dispatch::currentQueueLabel(); });
    invalid->sync([&] { invalidLabel = platform::dispatch::currentQueueLabel(); });
    EXPECT_EQ(unlabelledLabel, std::optional<std::string>(""));
    EXPECT_EQ(invalidLabel, std::nullopt);
}

TEST(MainQueueRunLoop, RunServesOtherThreadsUntilStopped) {
    auto queue = MainQueue::make();
    platform::Services services;
    services.mainQueueOverride = queue;
    platform::ScopedServices scope(services);
    std::atomic<int> ran{0};
    std::thread poster([&] {
        for (int i = 0; i < 100; ++i) queue->async([&] { ran.fetch_add(1); });
        queue->async([&] { queue->stop(); });
        queue->async([&] { ran.fetch_add(1000); });
    });
    queue->run();
    poster.join();
    EXPECT_EQ(ran.load(), 100);
    EXPECT_EQ(queue->pendingCount(), 1u);
}

TEST(MainQueueRunLoop, AStopBeforeTheLoopStartsEndsItAndIsUsedUp) {
    auto queue = MainQueue::make();
    int ran = 0;
    queue->async([&] { ++ran; });
    queue->stop();
    queue->run();
    EXPECT_EQ(ran, 0);

    queue->async([&] { queue->stop(); });
    queue->run();
    EXPECT_EQ(ran, 1);
}

TEST(MainQueueRunLoop, RealClockDelaysReachTheLoop) {
    auto queue = MainQueue::make();
    platform::Services services;
    services.mainQueueOverride = queue;
    platform::ScopedServices scope(services);
    bool fired = false;
    queue->asyncAfter(20ms, [&] { fired = true; });
    EXPECT_TRUE(queue->runUntil([&] { return fired; }, corvantis::testing::patience(60s)));
}

TEST(Once, RunsItsBlockOnceAcrossThreads) {
    platform::dispatch::Once once;
    std::atomic<int> runs{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back([&] { once.perform([&] { runs.fetch_add(1); }); });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(runs.load(), 1);
}

}  // namespace
