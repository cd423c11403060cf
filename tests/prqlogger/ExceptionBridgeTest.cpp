#include "PRQLogger/Misc/ExceptionBridge.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

using platform::foundation::Exception;
using Steps = std::vector<std::string>;

namespace {

TEST(ExceptionBridge, WorkWithoutAnExceptionRunsFinallyAfterIt) {
    Steps steps;
    prq::_try([&] { steps.push_back("work"); }, [&](const Exception&) { steps.push_back("catch"); },
              [&] { steps.push_back("finally"); });
    EXPECT_EQ(steps, (Steps{"work", "finally"}));
}

TEST(ExceptionBridge, APlatformExceptionIsHandedToCatchWithTheNameAsReasonWhenThereIsNone) {
    std::optional<Exception> caught;
    Steps steps;
    prq::_try([] { prq::_throw("NSFileHandleOperationException"); },
              [&](const Exception& exception) {
                  caught = exception;
                  steps.push_back("catch");
              },
              [&] { steps.push_back("finally"); });
    ASSERT_TRUE(caught);
    EXPECT_EQ(caught->name(), "NSFileHandleOperationException");
    EXPECT_EQ(caught->reason(), "NSFileHandleOperationException");
    EXPECT_EQ(caught->userInfo(), std::nullopt);
    EXPECT_EQ(steps, (Steps{"catch", "finally"}));
}

TEST(ExceptionBridge, WhatIsNotHandledLeavesAfterFinallyAndFinallyHasTheLastWord) {
    Steps steps;
    EXPECT_THROW(prq::_try([] { prq::_throw("first", "reason"); },
                           [&](const Exception& exception) {
                               steps.push_back("catch " + exception.description());
                               throw std::runtime_error("again");
                           },
                           [&] { steps.push_back("finally"); }),
                 std::runtime_error);
    EXPECT_EQ(steps, (Steps{"catch reason", "finally"}));

    steps.clear();
    EXPECT_THROW(prq::_try([] { throw std::out_of_range("not ours"); }, [&](const Exception&) { steps.push_back("catch"); },
                           [&] { steps.push_back("finally"); }),
                 std::out_of_range);
    EXPECT_EQ(steps, Steps{"finally"});

    EXPECT_THROW(prq::_try([] { throw std::out_of_range("replaced"); }, [](const Exception&) {},
                           [] { throw std::logic_error("from finally"); }),
                 std::logic_error);
}

}  // namespace
