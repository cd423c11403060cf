#pragma once

namespace platform::ui {

// How a modal session or a sheet ended, with AppKit's raw values. An alert's buttons answer
// 1000, 1001, 1002 and on, one per button in the order they were added.
enum class ModalResponse : long {
    cancel = 0,
    ok = 1,
    stop = -1000,
    abort = -1001,
    alertFirstButtonReturn = 1000,
    alertSecondButtonReturn = 1001,
    alertThirdButtonReturn = 1002,
};

}  // namespace platform::ui
