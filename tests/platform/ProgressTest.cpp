#include "platform/foundation/Progress.hpp"

#include <gtest/gtest.h>

using platform::foundation::Progress;

namespace {

TEST(Progress, AChildMadeWhileCurrentCountsTowardThePendingUnits) {
    Progress parent(100);
    parent.setCompletedUnitCount(10);
    parent.becomeCurrent(50);
    const auto child = Progress::withTotalUnitCount(200);
    const auto unrelated = Progress::withTotalUnitCount(10);  // only the first child joins
    parent.resignCurrent();
    EXPECT_EQ(Progress::current(), nullptr);

    child->setCompletedUnitCount(100);
    unrelated->setCompletedUnitCount(10);
    EXPECT_DOUBLE_EQ(parent.fractionCompleted(), (10 + 25) / 100.0);
    EXPECT_EQ(parent.completedUnitCount(), 10);

    child->setCompletedUnitCount(300);  // more than announced still counts only the pending units
    EXPECT_TRUE(child->isFinished());
    EXPECT_EQ(parent.completedUnitCount(), 60);
    EXPECT_DOUBLE_EQ(parent.fractionCompleted(), 0.6);
}

TEST(Progress, PendingUnitsWithoutAChildCountAsDoneAndNestingRestoresTheOuterProgress) {
    Progress outer(10);
    outer.becomeCurrent(4);
    Progress inner(2);
    inner.becomeCurrent(1);
    EXPECT_EQ(Progress::current(), &inner);
    inner.resignCurrent();
    EXPECT_EQ(Progress::current(), &outer);
    outer.resignCurrent();
    EXPECT_EQ(inner.completedUnitCount(), 1);
    EXPECT_EQ(outer.completedUnitCount(), 4);
    EXPECT_DOUBLE_EQ(Progress(0).fractionCompleted(), 0.0);
}

}  // namespace
