#pragma once

#include "StatusPopup/StatusPopupBackgroundView.hpp"
#include "StatusPopup/StatusPopupContainerView.hpp"
#include "StatusPopup/StatusPopupKeys.hpp"
#include "StatusPopup/StatusPopupLayout.hpp"
#include "StatusPopup/StatusPopupPanel.hpp"
#include "platform/ui/Application.hpp"
#include "platform/ui/StatusItem.hpp"
#include "platform/ui/WindowController.hpp"
#include "platform/ui/WindowDelegate.hpp"

#include <functional>
#include <memory>
#include <optional>

namespace corvantis {

// Owns the application's status item and the popup panel that hangs under it: builds the panel
// and its views, turns clicks on the item into opening and closing (press to toggle, a press held
// over 0.35 s closes on release, a right click offers "Quit"), places the panel under the icon,
// opens it at once and fades it out on close. An open popup follows its icon when the tray moves
// it, and one opened before the tray has placed the icon (at start-up) shows once it has. Its
// sheets hang from its body, and close and come back with it. The panel is never ordered out: a
// closed popup is the same panel at alpha 0 with its content hidden.
//
// Made by `make`: the event monitors hold the controller weakly, which needs it in a shared
// pointer first. It removes its monitors and its status item when released. Main queue only.
class StatusPopupController final : public platform::ui::WindowController, public platform::ui::WindowDelegate {
public:
    using OpenCallback = std::function<void(StatusPopupKeys keys)>;
    using Callback = std::function<void()>;

    // A controller around `contentView`, the popup's first screen, with its panel sized to it.
    static std::shared_ptr<StatusPopupController> make(std::shared_ptr<platform::ui::View> contentView);
    ~StatusPopupController() override;

    std::shared_ptr<platform::ui::StatusItem> statusItem() const { return statusItem_; }
    std::shared_ptr<StatusPopupPanel> panel() const { return panel_; }
    std::shared_ptr<StatusPopupBackgroundView> backgroundView() const { return backgroundView_; }
    std::shared_ptr<StatusPopupContainerView> containerView() const { return containerView_; }

    // One-shot permission to open: an open happens only while it is set, and clears it.
    bool statusItemClicked = false;
    std::shared_ptr<platform::ui::View> contentView;
    // Kept for callers; opening shows the panel at full opacity at once.
    double openDuration = 0.15;
    // Seconds the fade-out of a close takes.
    double closeDuration = 0.2;
    // While set, losing key focus does not close the popup.
    bool isOpening = false;

    // Called at the start of every open with the click's modifier keys.
    OpenCallback willOpenPopup;
    // Called once an open has finished with the popup still open.
    Callback didOpenPopup;
    // Called at the start of every close.
    Callback willClosePopup;
    // Called when a fade-out ends and the popup was not opened again meanwhile.
    Callback didClosePopup;

    // The last left press on the status item.
    std::optional<platform::ui::Event> lastMouseDownEvent;

    bool isOpen() const { return isOpen_; }
    // Opening highlights the status item's button; only a finished close takes the highlight off.
    void setIsOpen(bool isOpen);

    platform::ui::Size arrowSize() const { return backgroundView_->arrowSize; }
    void setArrowSize(platform::ui::Size size) { backgroundView_->arrowSize = size; }
    double contentInset() const { return containerView_->contentInset; }
    // Resizes the panel around the container's size as it was before the change.
    void setContentInset(double inset);

    // Opens the popup (as a click on the item would) and makes the panel key.
    void openPopup();
    void closePopup();
    // Opens a closed popup when a click allowed it, closes an open one.
    void togglePopup();
    // Sizes the panel around content of `width` × `height`, keeping its top edge and its centre.
    void resizePopup(double width, double height);
    void resizePopupWidth(double width);
    void resizePopupHeight(double height);
    // The "Quit" menu item's action: ends the application.
    void quitMenuItemClick();
    // Points the arrow at the icon's centre.
    void repositionPopupArrow();
    void openPanel();

    // The panel's delegate.
    void windowWillClose(platform::ui::Window& window) override;
    void windowDidResize(platform::ui::Window& window) override;
    void windowDidResignKey(platform::ui::Window& window) override;
    platform::ui::Rect windowWillPositionSheet(platform::ui::Window& window, platform::ui::Window& sheet,
                                               platform::ui::Rect rect) override;

private:
    explicit StatusPopupController(std::shared_ptr<platform::ui::View> contentView);
    void setup();
    void addEventMonitors();
    void configurePanel();
    void closePanel();
    // Puts the panel under (or over) the icon and points the arrow at it.
    void placePanel();
    // The tray placed or moved the icon: an open popup follows it, and shows if it waited for it.
    void statusItemMoved();
    void escapePressed();
    platform::ui::Rect statusRect() const;
    StatusPopupLayout rectsForPanel() const;
    // The status-bar window that the last press on the item reached.
    std::shared_ptr<platform::ui::Window> clickedStatusWindow() const;

    void leftMouseDown(const platform::ui::Event& event);
    void leftMouseUp(const platform::ui::Event& event);
    void showQuitMenu();

    std::shared_ptr<platform::ui::StatusItem> statusItem_;
    std::shared_ptr<StatusPopupPanel> panel_;
    std::shared_ptr<StatusPopupBackgroundView> backgroundView_;
    std::shared_ptr<StatusPopupContainerView> containerView_;
    bool isOpen_ = false;
    // Open, but kept transparent until the tray has placed the icon.
    bool waitingForIcon_ = false;
    std::optional<platform::ui::EventMonitor> mouseDownEventMonitor_;
    std::optional<platform::ui::EventMonitor> mouseUpEventMonitor_;
    std::optional<platform::ui::EventMonitor> mouseRightUpEventMonitor_;
};

}  // namespace corvantis
