#pragma once

namespace platform::ui::testing {

// Puts the layer's process-wide state back to its start: image names, the animation log and
// the font registry. Tests call it between cases.
void reset();

}  // namespace platform::ui::testing
