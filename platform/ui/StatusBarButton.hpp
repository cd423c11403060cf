#pragma once

#include "platform/ui/Button.hpp"

#include <functional>

namespace platform::ui {

// The button of a status item. The application may take over its presses: while the
// process-wide filter answers true for a button, a mouse-down on it does nothing at all (no
// highlight, no tracking, no action), so the press is the application's own business.
class StatusBarButton : public Button {
public:
    using MouseDownFilter = std::function<bool(const StatusBarButton& button)>;

    using Button::Button;

    // Installs the filter for every status-bar button; an empty one restores the default.
    static void setSkipsDefaultMouseDown(MouseDownFilter filter);

    void mouseDown(const Event& event) override;
};

}  // namespace platform::ui
