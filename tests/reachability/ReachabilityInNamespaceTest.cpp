// Runs inside scripts/sandbox: a fresh network namespace holding only its loopback device, where
// the test adds and removes devices and routes for real.

#include "app/Reachability.hpp"
#include "platform/dispatch/ThreadName.hpp"
#include "platform/foundation/NotificationCenter.hpp"
#include "support/Patience.hpp"
#include "support/VirtualTime.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>

using corvantis::Reachability;
using platform::network::SCNetworkReachabilityFlags;

namespace {

void ip(const std::string& arguments) {
    const auto command = "ip " + arguments;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

class ReachabilityInNamespaceTest : public ::testing::Test {
protected:
    static platform::Services services(const std::shared_ptr<platform::foundation::NotificationCenter>& center) {
        platform::Services made;
        made.notificationCenterOverride = center;
        return made;
    }

    void SetUp() override {
        ip("link set lo up");
        observer =
            notifications->addObserver(corvantis::kReachabilityChangedNotification, nullptr, nullptr,
                                       [this](const platform::foundation::Notification& notification) {
                                           posted.push_back({time.mainQueue().isCurrent(), notification.object == reachability});
                                       });
        reachability = Reachability::reachabilityWithHostname("www.corvantis.test");
        ASSERT_TRUE(reachability);
        reachability->reachabilityBlock = [this](Reachability&, SCNetworkReachabilityFlags flags) {
            std::lock_guard lock(mutex);
            changes.push_back({flags, platform::dispatch::currentQueueLabel().value_or("")});
        };
    }

    void TearDown() override {
        if (reachability) reachability->stopNotifier();
        std::system("ip link del corv-a 2>/dev/null");
    }

    // Waits (in real time: the kernel tells of changes on its own) until `count` notifications
    // have been posted on the main queue.
    bool waitForNotifications(std::size_t count) {
        return time.mainQueue().runUntil([&] { return posted.size() >= count; },
                                         corvantis::testing::patience(std::chrono::seconds(120)));
    }

    // A link of two veth ends, the one here with an address and a default route through the other.
    static void addDefaultRouteOverVeth() {
        ip("link add corv-a type veth peer name corv-b");
        ip("addr add 192.0.2.2/24 dev corv-a");
        ip("link set corv-b up");
        ip("link set corv-a up");
        ip("route add default via 192.0.2.1 dev corv-a");
    }

    struct Posted {
        bool onMainQueue;
        bool byTheReachability;
    };
    struct Change {
        SCNetworkReachabilityFlags flags;
        std::string queue;
    };

    std::shared_ptr<platform::foundation::NotificationCenter> notifications =
        std::make_shared<platform::foundation::NotificationCenter>();
    corvantis::testing::VirtualTime time{services(notifications)};
    platform::foundation::NotificationCenter::ObserverToken observer;
    std::shared_ptr<Reachability> reachability;
    std::vector<Posted> posted;
    std::mutex mutex;
    std::vector<Change> changes;
};

TEST_F(ReachabilityInNamespaceTest, EachRouteChangePostsOneNotificationOnTheMainQueue) {
    EXPECT_FALSE(reachability->isReachable()) << "only a loopback device";
    ASSERT_TRUE(reachability->startNotifier());
    EXPECT_TRUE(reachability->startNotifier()) << "a second start changes nothing";

    addDefaultRouteOverVeth();
    ASSERT_TRUE(waitForNotifications(1));
    EXPECT_TRUE(reachability->isReachable());
    EXPECT_EQ(reachability->currentReachabilityString(), "WiFi");

    // The same way out with another metric is no change for the application...
    ip("route replace default via 192.0.2.1 dev corv-a metric 50");
    // ...while taking the device away takes the route with it.
    ip("link del corv-a");
    ASSERT_TRUE(waitForNotifications(2));
    EXPECT_FALSE(reachability->isReachable());

    // A host route that is not the way out changes nothing either; a route that is, does.
    addDefaultRouteOverVeth();
    ASSERT_TRUE(waitForNotifications(3));
    ip("route add 198.51.100.0/24 via 192.0.2.1 dev corv-a");
    ip("route del default");
    ASSERT_TRUE(waitForNotifications(4));
    time.mainQueue().drain();

    ASSERT_EQ(posted.size(), 4u);
    for (const auto& notification : posted) {
        EXPECT_TRUE(notification.onMainQueue);
        EXPECT_TRUE(notification.byTheReachability);
    }
    std::lock_guard lock(mutex);
    ASSERT_EQ(changes.size(), 4u);
    const std::vector<SCNetworkReachabilityFlags> expected{2, 0, 2, 0};
    for (std::size_t index = 0; index < changes.size(); ++index) {
        EXPECT_EQ(changes[index].flags, expected[index]) << index;
        EXPECT_EQ(changes[index].queue, Reachability::queueLabel);
    }
}

TEST_F(ReachabilityInNamespaceTest, AStoppedWatchHearsNothingAndAStartMeasuresFromItsOwnStart) {
    ASSERT_TRUE(reachability->startNotifier());
    reachability->stopNotifier();
    addDefaultRouteOverVeth();
    EXPECT_EQ(reachability->reachabilityFlags(), 2u);

    ASSERT_TRUE(reachability->startNotifier());
    // A tun device without a process behind it has no carrier, so its routes are no way out.
    ip("tuntap add dev corv-tun mode tun");
    ip("addr add 10.8.0.2 peer 10.8.0.1 dev corv-tun");
    ip("link set corv-tun up");
    ip("route add 0.0.0.0/1 dev corv-tun");
    ip("route add 128.0.0.0/1 dev corv-tun");
    ip("link del corv-tun");
    ip("link del corv-a");
    ASSERT_TRUE(waitForNotifications(1));
    time.mainQueue().drain();
    // Only the last change: nothing while stopped, nothing for the tun device.
    EXPECT_EQ(posted.size(), 1u);
    std::lock_guard lock(mutex);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].flags, 0u);
}

}  // namespace
