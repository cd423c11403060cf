#pragma once

namespace platform::animation::testing {

// Forgets the scenes loaded by name. Tests call it between cases.
void reset();

}  // namespace platform::animation::testing
