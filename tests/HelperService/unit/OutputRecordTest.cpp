#include "HelperService/CorvantisHelper/OutputRecord.hpp"
#include "platform/xpc/MessageFrame.hpp"

#include <gtest/gtest.h>

namespace {

using corvantis::helper::OutputRecord;

TEST(OutputRecord, KeepsEverythingWithinTheLimitAndTheStartAndNewestBeyondIt) {
    OutputRecord small(16);
    small.append("caf\xC3");
    small.append("\xA9!");
    EXPECT_EQ(small.text(), "caf\xC3\xA9!");

    OutputRecord bounded(16);
    bounded.append("01234567");
    bounded.append("abcdefgh");
    bounded.append("ABCDEFGH");
    bounded.append("xy");
    EXPECT_EQ(bounded.text(), "01234567\n[... 10 bytes left out ...]\nCDEFGHxy");

    // Output that is no UTF-8 at all triples when decoded, and must still fit one reply frame.
    OutputRecord garbage;
    garbage.append(std::string(8 << 20, '\xff'));
    EXPECT_LT(garbage.text().size(), platform::xpc::maximumFrameLength);
}

}  // namespace
