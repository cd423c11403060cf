// What the reachability flags mean, by table, over a target whose flags the test sets.

#include "app/Reachability.hpp"
#include "fixtures/AppTestEnvironment.hpp"

#include <gtest/gtest.h>

using corvantis::NetworkStatus;
using corvantis::Reachability;
using platform::network::SCNetworkReachabilityFlags;

namespace {

// A watched target whose flags are whatever the test says; none stands for unreadable flags.
class SetFlags final : public platform::network::NetworkReachability {
public:
    std::optional<SCNetworkReachabilityFlags> getFlags() override { return flags; }
    platform::foundation::Expected<void> setCallback(Callback callback) override {
        if (refuseCallback) return platform::foundation::Error{EPERM, "refused"};
        changed = std::move(callback);
        return {};
    }
    platform::foundation::Expected<void> setDispatchQueue(std::shared_ptr<platform::dispatch::DispatchQueue>) override {
        return {};
    }

    std::optional<SCNetworkReachabilityFlags> flags;
    bool refuseCallback = false;
    Callback changed;
};

constexpr SCNetworkReachabilityFlags transient = 1, reachable = 2, required = 4, onTraffic = 8, intervention = 16, onDemand = 32,
                                     local = 0x10000, direct = 0x20000;

TEST(ReachabilityFlags, TheQueriesReadTheFlagsAsThePlatformDefinesThem) {
    struct Case {
        std::optional<SCNetworkReachabilityFlags> flags;
        bool isReachable, viaWiFi, connectionRequired, onDemand, interventionRequired;
        NetworkStatus status;
        const char* text;
        const char* statusText;
    };
    const std::vector<Case> cases{
        {reachable, true, true, false, false, false, NetworkStatus::ReachableViaWiFi, "XR -------", "WiFi"},
        {reachable | required | transient, false, true, true, false, false, NetworkStatus::NotReachable, "XR ct-----",
         "No Connection"},
        {reachable | required, true, true, true, false, false, NetworkStatus::ReachableViaWiFi, "XR c------", "WiFi"},
        {required | onTraffic, false, false, true, true, false, NetworkStatus::NotReachable, "X- c--C---", "No Connection"},
        {required | onDemand | intervention, false, false, true, true, true, NetworkStatus::NotReachable, "X- c-i-D--",
         "No Connection"},
        {onDemand | intervention, false, false, false, false, false, NetworkStatus::NotReachable, "X- --i-D--", "No Connection"},
        {reachable | local | direct, true, true, false, false, false, NetworkStatus::ReachableViaWiFi, "XR -----ld", "WiFi"},
        {0, false, false, false, false, false, NetworkStatus::NotReachable, "X- -------", "No Connection"},
        {std::nullopt, false, false, false, false, false, NetworkStatus::NotReachable, "X- -------", "No Connection"},
    };
    for (const auto& testCase : cases) {
        const auto target = std::make_shared<SetFlags>();
        target->flags = testCase.flags;
        const Reachability reachability(target);
        const auto what = testCase.text;
        EXPECT_EQ(reachability.isReachable(), testCase.isReachable) << what;
        EXPECT_EQ(Reachability::isReachableWithFlags(testCase.flags.value_or(0)), testCase.isReachable) << what;
        EXPECT_EQ(reachability.isReachableViaWiFi(), testCase.viaWiFi) << what;
        EXPECT_FALSE(reachability.isReachableViaWWAN()) << what;
        EXPECT_EQ(reachability.isConnectionRequired(), testCase.connectionRequired) << what;
        EXPECT_EQ(reachability.connectionRequired(), testCase.connectionRequired) << what;
        EXPECT_EQ(reachability.isConnectionOnDemand(), testCase.onDemand) << what;
        EXPECT_EQ(reachability.isInterventionRequired(), testCase.interventionRequired) << what;
        EXPECT_EQ(reachability.currentReachabilityStatus(), testCase.status) << what;
        EXPECT_EQ(reachability.reachabilityFlags(), testCase.flags.value_or(0)) << what;
        EXPECT_EQ(reachability.currentReachabilityFlags(), testCase.text);
        EXPECT_EQ(reachability.currentReachabilityString(), testCase.statusText) << what;
    }
    EXPECT_EQ(Reachability::flagsText(0x3003F), "XR ctiCDld");
}

TEST(ReachabilityFlags, TheDescriptionNamesTheClassTheAddressAndTheFlags) {
    const auto target = std::make_shared<SetFlags>();
    target->flags = reachable;
    const Reachability reachability(target);
    const auto text = reachability.description();
    EXPECT_TRUE(text.starts_with("<Reachability: 0x")) << text;
    EXPECT_TRUE(text.ends_with(" (XR -------)>")) << text;
}

TEST(ReachabilityFlags, EveryChangeRunsTheBlocksAndPostsEvenWithoutARealChange) {
    corvantis::testing::AppTestEnvironment environment;
    const auto target = std::make_shared<SetFlags>();
    const auto reachability = std::make_shared<Reachability>(target);
    std::vector<std::string> blocks;
    reachability->reachableBlock = [&](Reachability&) { blocks.push_back("reachable"); };
    reachability->unreachableBlock = [&](Reachability&) { blocks.push_back("unreachable"); };
    int posted = 0;
    environment.notifications->addObserver(corvantis::kReachabilityChangedNotification, reachability, nullptr,
                                           [&](const auto&) { ++posted; });
    ASSERT_TRUE(reachability->startNotifier());
    for (const auto flags : {reachable, reachable | direct, reachable | required | transient}) target->changed(flags);
    // The blocks run on the reachability's own queue; the notifications come on the main queue.
    ASSERT_TRUE(environment.runMainQueueUntil([&] { return posted == 3; }));
    EXPECT_EQ(blocks, (std::vector<std::string>{"reachable", "reachable", "unreachable"}));
    // A started watch keeps itself alive until it is stopped.
    reachability->stopNotifier();
}

TEST(ReachabilityFlags, AStartThatCannotSetItsCallbackSaysSoAndStaysStopped) {
    corvantis::testing::AppTestEnvironment environment;
    const auto target = std::make_shared<SetFlags>();
    target->refuseCallback = true;
    const auto reachability = std::make_shared<Reachability>(target);
    EXPECT_FALSE(reachability->startNotifier());
    EXPECT_EQ(environment.console->messages(), std::vector<std::string>{"SCNetworkReachabilitySetCallback() failed: refused"});
    EXPECT_TRUE(Reachability::reachabilityWithHostname("www.corvantis.test"));
    EXPECT_FALSE(Reachability::reachabilityWithHostname(""));
}

}  // namespace
