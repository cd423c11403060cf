#include "platform/xpc/RefusalSummary.hpp"

#include <gtest/gtest.h>

namespace {

using platform::xpc::RefusalSummary;
using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

TEST(RefusalSummary, AFloodOfRefusalsIsOneLineAtOnceAndOneCountPerInterval) {
    RefusalSummary summary(60s);
    const auto start = RefusalSummary::Clock::time_point{} + 1h;
    const std::string reason = "the service does not serve that user";
    EXPECT_EQ(summary.refused(1001, reason, start), "Refused a connection from uid 1001: " + reason);
    for (int more = 0; more < 9999; ++more) EXPECT_EQ(summary.refused(1001, reason, start + 1500ms), std::nullopt);
    // Another user and another reason are told apart.
    EXPECT_TRUE(summary.refused(1002, reason, start + 10s));
    EXPECT_TRUE(summary.refused(1001, "too many connections at once", start + 10s));
    EXPECT_EQ(summary.nextDue(), start + 60s);
    EXPECT_EQ(summary.due(start + 59s), Lines{});
    EXPECT_EQ(summary.due(start + 60s), Lines{"Refused 9999 more connections from uid 1001 within 60 s: " + reason});

    // Still refused in the next interval: one more line at its end, none after a quiet one.
    EXPECT_EQ(summary.refused(1001, reason, start + 61s), std::nullopt);
    EXPECT_EQ(summary.due(start + 120s), Lines{"Refused 1 more connection from uid 1001 within 60 s: " + reason});
    EXPECT_EQ(summary.due(start + 180s), Lines{});
    EXPECT_EQ(summary.refused(1001, reason, start + 181s), "Refused a connection from uid 1001: " + reason);

    // What is still counted when the listener stops is told then.
    EXPECT_EQ(summary.refused(1001, reason, start + 182s), std::nullopt);
    EXPECT_EQ(summary.flush(), Lines{"Refused 1 more connection from uid 1001 within 60 s: " + reason});
    EXPECT_EQ(summary.nextDue(), std::nullopt);
}

}  // namespace
