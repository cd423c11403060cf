#pragma once

#include <chrono>
#include <functional>

namespace corvantis::testing {

// How long a test waits for something it knows will happen: `usual`, a bound far above the
// slowest seen on a busy machine, times CORVANTIS_TEST_PATIENCE (a number, 1 when unset) for a
// machine slower still. A wait ends as soon as its event comes; the bound only ends a test that
// would otherwise hang.
std::chrono::milliseconds patience(std::chrono::milliseconds usual);

// Checks `done` until it holds or patience(`usual`) has passed, for a state that only polling can
// see (a file's content, a firewall table, another process's state); the last check decides.
bool eventually(const std::function<bool()>& done, std::chrono::milliseconds usual = std::chrono::seconds(60));

}  // namespace corvantis::testing
