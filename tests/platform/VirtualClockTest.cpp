#include "platform/dispatch/DispatchQueue.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/dispatch/WorkItem.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;
using platform::dispatch::DispatchQueue;
using platform::dispatch::Timer;
using platform::dispatch::WorkItem;

namespace {

TEST(VirtualClock, RunsDelayedWorkInTimeOrderAndFifoAmongEqualDeadlines) {
    corvantis::testing::VirtualTime time;
    auto main = DispatchQueue::main();
    std::vector<std::string> order;
    main->asyncAfter(3s, [&] { order.push_back("c@3"); });
    main->asyncAfter(1s, [&] { order.push_back("a@1"); });
    main->asyncAfter(2s, [&] { order.push_back("b1@2"); });
    main->asyncAfter(2s, [&] { order.push_back("b2@2"); });
    main->async([&] { order.push_back("now"); });

    time.advance(1999ms);
    EXPECT_EQ(order, (std::vector<std::string>{"now", "a@1"}));
    time.advance(1ms);
    EXPECT_EQ(order, (std::vector<std::string>{"now", "a@1", "b1@2", "b2@2"}));
    time.advance(10s);
    EXPECT_EQ(order.back(), "c@3");
    EXPECT_EQ(time.clock().pendingCount(), 0u);
}

TEST(VirtualClock, WorkChainedThroughDelaysSeesTheTimeItWasDueAt) {
    corvantis::testing::VirtualTime time;
    auto main = DispatchQueue::main();
    std::vector<long long> seenAt;
    auto stamp = [&] {
        seenAt.push_back(std::chrono::duration_cast<std::chrono::milliseconds>(time.clock().now().time_since_epoch()).count());
    };
    main->asyncAfter(2s, [&] {
        stamp();
        // Posted while firing: runs before the next deadline, at the same moment.
        main->async(stamp);
        main->asyncAfter(1s, stamp);
    });
    main->asyncAfter(2500ms, stamp);
    time.advance(5s);
    EXPECT_EQ(seenAt, (std::vector<long long>{2000, 2000, 2500, 3000}));
}

TEST(VirtualClock, CancelledWorkItemNeverRunsButOthersDo) {
    corvantis::testing::VirtualTime time;
    auto main = DispatchQueue::main();
    int ran = 0;
    auto cancelled = WorkItem::make([&] { ran += 100; });
    auto kept = WorkItem::make([&] { ran += 1; });
    main->asyncAfter(1s, cancelled);
    main->asyncAfter(1s, kept);
    time.advance(500ms);
    cancelled->cancel();
    time.advance(1s);
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(cancelled->isCancelled());
    EXPECT_FALSE(kept->isCancelled());
}

TEST(VirtualClock, ItemCancelledAfterItRanStaysDone) {
    corvantis::testing::VirtualTime time;
    int ran = 0;
    auto item = WorkItem::make([&] { ++ran; });
    DispatchQueue::main()->async(item);
    time.runDue();
    item->cancel();
    time.advance(1s);
    EXPECT_EQ(ran, 1);
}

TEST(Timer, RepeatsOnItsIntervalUntilInvalidated) {
    corvantis::testing::VirtualTime time;
    std::vector<long long> firedAt;
    auto timer = Timer::scheduledTimer(1s, true, [&](Timer& self) {
        firedAt.push_back(std::chrono::duration_cast<std::chrono::seconds>(time.clock().now().time_since_epoch()).count());
        if (firedAt.size() == 3) self.invalidate();
    });
    time.advance(10s);
    EXPECT_EQ(firedAt, (std::vector<long long>{1, 2, 3}));
    EXPECT_FALSE(timer->isValid());
}

TEST(Timer, OneShotTimerFiresOnceAndInvalidatedTimerNever) {
    corvantis::testing::VirtualTime time;
    int oneShot = 0;
    int stopped = 0;
    auto once = Timer::scheduledTimer(2s, false, [&](Timer&) { ++oneShot; });
    auto never = Timer::scheduledTimer(1s, true, [&](Timer&) { ++stopped; });
    never->invalidate();
    time.advance(10s);
    EXPECT_EQ(oneShot, 1);
    EXPECT_EQ(stopped, 0);
    EXPECT_FALSE(once->isValid());
}

TEST(Timer, FireRunsTheBlockAtOnce) {
    corvantis::testing::VirtualTime time;
    int fired = 0;
    auto timer = Timer::scheduledTimer(5s, true, [&](Timer&) { ++fired; });
    timer->fire();
    EXPECT_EQ(fired, 1);
    time.advance(5s);
    EXPECT_EQ(fired, 2);
    timer->invalidate();
}

TEST(MainQueue, WorkPostedFromManyThreadsAllRunsOnTheMainThreadInPerThreadOrder) {
    corvantis::testing::VirtualTime time;
    auto main = DispatchQueue::main();
    constexpr int threads = 8;
    constexpr int perThread = 2000;
    std::vector<std::vector<int>> seen(threads);
    bool allOnMain = true;
    std::vector<std::thread> posters;
    for (int t = 0; t < threads; ++t) {
        posters.emplace_back([&, t] {
            for (int i = 0; i < perThread; ++i) {
                main->async([&, t, i] {
                    allOnMain = allOnMain && platform::dispatch::isMainThread();
                    seen[static_cast<std::size_t>(t)].push_back(i);
                });
            }
        });
    }
    for (auto& poster : posters) poster.join();
    time.runDue();
    EXPECT_TRUE(allOnMain);
    for (const auto& list : seen) {
        ASSERT_EQ(list.size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i) ASSERT_EQ(list[static_cast<std::size_t>(i)], i);
    }
}

}  // namespace
