#include "platform/ui/testing/Reset.hpp"

#include "platform/ui/AnimationLog.hpp"
#include "platform/ui/FontRegistry.hpp"
#include "platform/ui/Image.hpp"

namespace platform::ui::testing {

void reset() {
    Image::forgetNames();
    AnimationLog::shared().clear();
    FontRegistry::shared().reset();
}

}  // namespace platform::ui::testing
