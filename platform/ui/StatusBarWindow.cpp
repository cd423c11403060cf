#include "platform/ui/StatusBarWindow.hpp"

namespace platform::ui {

StatusBarWindow::StatusBarWindow() : Window({}, WindowStyleMask::borderless) {
    setLevel(WindowLevel::statusBar);
}

}  // namespace platform::ui
