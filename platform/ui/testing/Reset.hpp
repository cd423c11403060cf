#pragma once

namespace platform::ui::testing {

// Puts the layer's process-wide state back to its start: image names and loader, the animation log, the
// font registry, the application (delegate, monitors, windows, handlers), the status bar, the
// screens, the storyboards, pending alerts, the appearance, the menu handler, the status-bar button filter and
// the general pasteboard. Tests call it between cases.
void reset();

}  // namespace platform::ui::testing
