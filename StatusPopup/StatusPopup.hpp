#pragma once

#include "platform/ui/StatusBarButton.hpp"

#include <memory>

namespace corvantis {

// The process-wide state of the popup's status-bar button. Main queue only.
class StatusPopup {
public:
    // The button whose presses belong to the popup; none until a popup controller is set up.
    static std::shared_ptr<platform::ui::StatusBarButton> statusItemButton();
    // Records `button` and takes its mouse-down from the platform: the button neither tracks nor
    // highlights on its own, so its highlight follows the popup. Other status-bar buttons keep
    // their default handling.
    static void setStatusItemButton(std::shared_ptr<platform::ui::StatusBarButton> button);
};

}  // namespace corvantis
