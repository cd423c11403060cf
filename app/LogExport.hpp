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

// Lists the folder and returns; the folder is packed on a worker thread, its progress logged on
// the main queue, and the save panel then begun as a sheet on `window`. Only regular files that
// lie in the folder are packed, no symbolic link followed and none with a second name (a hard
// link); every other entry (a link, a FIFO, a device) is left out with one warning line. A folder that cannot be listed or packed
// gives one error line and no panel. On OK the copy replaces the chosen file whole (a failed copy is logged and shown in an
// alert, and leaves the chosen file as it was); when the panel closes, however it closes, the archive is removed, unless the
// chosen file is the archive itself. The archive is always a new file: when the minute's name is taken (an earlier export's
// archive that the user kept in place), it gets "-2", "-3", … after the date. A click while an export runs, up to its panel's
// close, does nothing.
void start(platform::ui::Window* window);

}  // namespace LogExport

}  // namespace corvantis
