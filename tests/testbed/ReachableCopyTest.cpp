// Copies of the build's programs for another user: refused, by name, where that user cannot
// reach them; run by that user where it can.

#include "support/ProgramRun.hpp"
#include "support/TemporaryFolder.hpp"
#include "testbed/helper/ReachableCopy.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using corvantis::testbed::ReachableCopy;

TEST(ReachableCopy, IsRefusedBehindAFolderOthersCannotEnterAndRunsAsAnotherUserElsewhere) {
    if (::geteuid() != 0) GTEST_SKIP() << "runs a program as another user, which needs root";
    const corvantis::testing::TemporaryFolder folder;  // mode 0700, as a private home folder
    const auto refused = ReachableCopy::in(folder / "programs");
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find(folder.path().string() + " keeps other users out"), std::string::npos)
        << refused.error().message;

    ASSERT_EQ(::chmod(folder.path().c_str(), 0755), 0);
    const auto copy = ReachableCopy::in(folder / "programs");
    ASSERT_TRUE(copy) << copy.error().message;
    const auto program = copy.value().program("/bin/true", "bin/true");
    ASSERT_TRUE(program) << program.error().message;
    const auto run = corvantis::testing::runProgram(
        {"/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "/usr/bin/env", program.value().string()}, {}});
    EXPECT_TRUE(run.exit.succeeded()) << run.standardError;
}

}  // namespace
