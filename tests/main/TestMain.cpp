// Every test binary's entry point: the application's real platform collaborators first (a test
// replaces the ones it fakes through ScopedServices), then the tests.
#include "platform/assembly/application/ApplicationServices.hpp"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    platform::installApplicationServices();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
