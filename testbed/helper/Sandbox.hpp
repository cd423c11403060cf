#pragma once

namespace corvantis::testbed {

// Whether scripts/sandbox started this process and it really runs in a network namespace of its
// own, where tests may change routes and devices.
bool inSandbox();

}  // namespace corvantis::testbed
