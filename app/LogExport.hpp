#pragma once

namespace platform::ui {
class Window;
}

namespace corvantis {

// The export of the application's log folder: the folder ("CorvantisLogs" in the private
// temporary folder) is packed, hidden entries included, into "CorvantisVPN_<ddMMyyyyHHmm>.zip"
// beside it, and a save panel on the window lets the user keep a copy. Each step is logged under
// "mouseDown(with:)", the label's handler that starts it. Main queue only.
namespace LogExport {

// Lists and packs the folder at once, then begins the save panel as a sheet on `window` and
// returns. A folder that cannot be listed or packed gives one error line and no panel. On OK the
// copy replaces the chosen file whole (a failed copy is logged and shown in an alert, and leaves
// the chosen file as it was); when the panel closes, however it closes, the archive is removed,
// unless the chosen file is the archive itself.
void start(platform::ui::Window* window);

}  // namespace LogExport

}  // namespace corvantis
