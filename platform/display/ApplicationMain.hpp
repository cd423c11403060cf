#pragma once

namespace platform::display {

// Runs the application as `ui::applicationMain` does, on the X display named by $DISPLAY: its
// windows shown, its status item in the tray, input from the person. Without a display (or when
// none answers) it says so on the console and runs headless. Returns 0.
int applicationMain();

}  // namespace platform::display
