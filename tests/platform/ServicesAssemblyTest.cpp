#include "platform/Services.hpp"
#include "platform/assembly/helper/HelperServices.hpp"

#include <gtest/gtest.h>

// The helper's start-up provides what the daemon runs and no more: asking it for a URL session
// stops the program with a message naming the missing collaborator, not a crash on an empty
// pointer somewhere later.
TEST(ServicesAssemblyDeathTest, TheHelpersAssemblyStopsAtTheFirstCollaboratorItLacksAndNamesIt) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            platform::installHelperServices();
            const auto& services = platform::Services::current();
            if (services.clock() && services.processLauncher() && services.keychain() && services.xpcConnector() &&
                services.serviceManager()) {
                (void)services.urlSession();
            }
        },
        "asked for the real urlSession, but its start-up assembled no urlSession");
}
