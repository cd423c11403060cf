#include "platform/animation/testing/Reset.hpp"

#include "platform/animation/Composition.hpp"

namespace platform::animation::testing {

void reset() {
    Composition::forgetLoaded();
}

}  // namespace platform::animation::testing
