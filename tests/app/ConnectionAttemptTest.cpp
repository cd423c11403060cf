// The connection attempt as a table: events in, the state, the look and the tunnel's gateway out.

#include "app/ConnectionAttempt.hpp"

#include <gtest/gtest.h>

#include <functional>

using corvantis::ConnectionAttempt;
using corvantis::ConnectionLook;
using corvantis::ConnectionState;
using namespace std::chrono_literals;

namespace {

TEST(ConnectionAttemptTest, EventsDecideTheStateTheLookAndTheGateway) {
    using Event = std::function<void(ConnectionAttempt&)>;
    const platform::dispatch::TimePoint now{};
    const Event click = [now](ConnectionAttempt& attempt) {
        attempt.clicked(now);
        attempt.setState(ConnectionState::connecting);  // the connecting display
    };
    const Event start = [now](ConnectionAttempt& attempt) { attempt.tunnelStarting("nl-ams.corvantis.test", now + 2s); };
    const auto reply = [](bool up, std::optional<std::string> gateway) {
        return Event([up, gateway](ConnectionAttempt& attempt) { attempt.tunnelAnswered(attempt.number(), up, gateway); });
    };
    const Event staleReply = [](ConnectionAttempt& attempt) { attempt.tunnelAnswered(attempt.number() - 1, true, "10.8.0.9"); };
    const Event match = [](ConnectionAttempt& attempt) { attempt.addressMatched(); };
    const Event end = [](ConnectionAttempt& attempt) {
        attempt.ended();
        attempt.setState(ConnectionState::disconnected);  // the disconnected display
    };
    struct Row {
        const char* what;
        std::vector<Event> events;
        ConnectionState state;
        ConnectionLook look;
        std::optional<std::string> gateway;
    };
    using S = ConnectionState;
    using L = ConnectionLook;
    const std::vector<Row> rows{
        {"nothing yet", {}, S::disconnected, L::disconnected, std::nullopt},
        {"clicked", {click}, S::connecting, L::connecting, std::nullopt},
        {"a match before the tunnel started is an older tunnel's", {click, match}, S::connecting, L::connecting, std::nullopt},
        {"started, not reported", {click, start}, S::connecting, L::connecting, std::nullopt},
        {"reported up: looks connected", {click, start, reply(true, "10.8.0.1")}, S::connecting, L::connected, "10.8.0.1"},
        {"confirmed", {click, start, reply(true, "10.8.0.1"), match}, S::connected, L::connected, "10.8.0.1"},
        {"confirmed before the report", {click, start, match}, S::connected, L::connected, std::nullopt},
        {"a failed reply reports nothing",
         {click, start, reply(false, std::nullopt)},
         S::connecting,
         L::connecting,
         std::nullopt},
        {"a reply naming no gateway", {click, start, reply(true, std::nullopt)}, S::connecting, L::connected, std::nullopt},
        {"an older attempt's reply", {click, start, staleReply}, S::connecting, L::connecting, std::nullopt},
        {"ended: nothing of it is left",
         {click, start, reply(true, "10.8.0.1"), end},
         S::disconnected,
         L::disconnected,
         std::nullopt},
        {"the next attempt starts afresh",
         {click, start, reply(true, "10.8.0.1"), end, click},
         S::connecting,
         L::connecting,
         std::nullopt},
    };
    for (const auto& row : rows) {
        ConnectionAttempt attempt;
        for (const auto& event : row.events) event(attempt);
        EXPECT_EQ(attempt.state(), row.state) << row.what;
        EXPECT_EQ(attempt.look(), row.look) << row.what;
        EXPECT_EQ(attempt.gateway(), row.gateway) << row.what;
    }
}

TEST(ConnectionAttemptTest, TheDeadlineCountsFromTheClickThenFromTheTunnelsStartAndEndsWithTheAttempt) {
    const platform::dispatch::TimePoint now{};
    ConnectionAttempt attempt;
    EXPECT_FALSE(attempt.deadline());
    attempt.clicked(now);
    EXPECT_EQ(attempt.deadline(), now + ConnectionAttempt::bound);
    attempt.setState(ConnectionState::connecting);
    attempt.tunnelStarting("nl-ams.corvantis.test", now + 2s);
    EXPECT_EQ(attempt.deadline(), now + 2s + ConnectionAttempt::bound);
    const auto number = attempt.number();
    attempt.ended();
    EXPECT_FALSE(attempt.deadline());
    EXPECT_NE(attempt.number(), number);
    EXPECT_FALSE(attempt.tunnelAnswered(number, true, "10.8.0.1")) << "the ended attempt's reply";
}

}  // namespace
