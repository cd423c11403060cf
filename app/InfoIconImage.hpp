#pragma once

#include "app/HintView.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/Popover.hpp"
#include "platform/ui/TrackingArea.hpp"

#include <memory>
#include <string>

namespace corvantis {

// An information icon beside a settings control: while the settings screen is open, the
// pointer over the icon shows a hint in a popover below it, chosen by the icon's tag (0 the
// kill switch, 1 the Shield, any other keeps the hint view's text). Main queue only.
class InfoIconImage : public platform::ui::ImageView {
public:
    using ImageView::ImageView;

    // Made with the icon and kept for its whole life.
    platform::ui::Popover popover;
    // The popover's content; none until the icon has been placed in a window.
    std::shared_ptr<HintView> hintView;
    const std::string killSwitchHint = "Kill Switch will automatically disconnect the Internet when VPN connection is lost";
    const std::string shieldHint = "Corvantis Shield keeps the Internet off unless you're connected to VPN";

    // Tracks the pointer over the icon's bounds and makes a new hint controller for the popover.
    void viewDidMoveToWindow() override;
    void mouseEntered(const platform::ui::Event& event) override;
    // Closes the popover, whatever the screen's state, so that no hint outlives the pointer.
    void mouseExited(const platform::ui::Event& event) override;

private:
    // The one area this icon tracks; a new placement replaces it rather than adding another,
    // which would report every entry and exit twice.
    std::shared_ptr<platform::ui::TrackingArea> trackingArea_;
};

}  // namespace corvantis
