#include "app/InfoIconImage.hpp"

#include "app/HintViewController.hpp"
#include "app/MainWindow.hpp"
#include "platform/ui/Storyboard.hpp"

namespace corvantis {

void InfoIconImage::viewDidMoveToWindow() {
    if (trackingArea_) removeTrackingArea(trackingArea_);
    trackingArea_ = std::make_shared<platform::ui::TrackingArea>(
        bounds(), platform::ui::TrackingArea::mouseEnteredAndExited | platform::ui::TrackingArea::activeAlways, sharedView());
    addTrackingArea(trackingArea_);

    const auto controller = std::dynamic_pointer_cast<HintViewController>(
        platform::ui::Storyboard::named("Main")->instantiateController("hintController"));
    hintView = controller ? std::dynamic_pointer_cast<HintView>(controller->view()) : nullptr;
    popover.setBehavior(platform::ui::PopoverBehavior::applicationDefined);
    popover.setContentViewController(controller);
    popover.setContentSize({HintViewController::width, HintViewController::height});
}

void InfoIconImage::mouseEntered(const platform::ui::Event&) {
    // Without a hint view there is nothing to say, so no empty bubble either.
    if (!hintView) return;
    if (tag() == 0) hintView->setHint(killSwitchHint);
    if (tag() == 1) hintView->setHint(shieldHint);
    if (MainWindow::shared().isOpen()) popover.show(bounds(), *this, platform::ui::RectEdge::minY);
}

void InfoIconImage::mouseExited(const platform::ui::Event&) {
    popover.close();
}

}  // namespace corvantis
