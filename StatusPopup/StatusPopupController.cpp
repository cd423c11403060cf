#include "StatusPopup/StatusPopupController.hpp"

#include "StatusPopup/StatusItemClicks.hpp"
#include "StatusPopup/StatusPopup.hpp"
#include "StatusPopup/StatusPopupHost.hpp"
#include "platform/foundation/Console.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/Menu.hpp"
#include "platform/ui/Screen.hpp"
#include "platform/ui/StatusBar.hpp"
#include "platform/ui/WindowLevel.hpp"
#include "platform/ui/WindowStyleMask.hpp"

#include <cmath>
#include <utility>

namespace corvantis {

using platform::ui::Application;
using platform::ui::Event;

namespace {
// A press held on the icon longer than this closes the popup when it is released there.
constexpr long long longPressNanoseconds = 350'000'000;
const platform::ui::Selector quitAction = "quitMenuItemClick:";
}  // namespace

std::shared_ptr<StatusPopupController> StatusPopupController::make(std::shared_ptr<platform::ui::View> contentView) {
    std::shared_ptr<StatusPopupController> controller(new StatusPopupController(std::move(contentView)));
    controller->setup();
    return controller;
}

StatusPopupController::StatusPopupController(std::shared_ptr<platform::ui::View> content)
    : WindowController(std::make_shared<StatusPopupPanel>()),
      contentView(std::move(content)),
      statusItem_(platform::ui::StatusBar::system().statusItem(platform::ui::StatusBar::variableLength)),
      panel_(std::static_pointer_cast<StatusPopupPanel>(window())),
      backgroundView_(std::make_shared<StatusPopupBackgroundView>()),
      containerView_(std::make_shared<StatusPopupContainerView>()) {}

StatusPopupController::~StatusPopupController() {
    auto& application = Application::shared();
    for (const auto& monitor : {mouseDownEventMonitor_, mouseUpEventMonitor_, mouseRightUpEventMonitor_}) {
        if (monitor) application.removeMonitor(*monitor);
    }
    platform::ui::StatusBar::system().removeStatusItem(statusItem_);
}

void StatusPopupController::setup() {
    StatusPopup::setStatusItemButton(statusItem_->button());
    addEventMonitors();
    configurePanel();
    const std::weak_ptr<StatusPopupController> weakSelf = sharedAs(this);
    statusItem_->setPlacementObserver([weakSelf] {
        if (const auto self = weakSelf.lock()) self->statusItemMoved();
    });
    panel_->escapePressed = [weakSelf] {
        if (const auto self = weakSelf.lock()) self->escapePressed();
    };
    panel_->setContentView(backgroundView_);
    backgroundView_->addSubview(containerView_);
    const auto size = contentView->frame().size;
    containerView_->setup();
    containerView_->setContentView(contentView);
    panel_->setInitialFirstResponder(contentView);
    setActionHandler(quitAction, [this](platform::ui::Object*) { quitMenuItemClick(); });
    resizePopup(size.width, size.height);
}

void StatusPopupController::addEventMonitors() {
    auto& application = Application::shared();
    const std::weak_ptr<StatusPopupController> weakSelf = sharedAs(this);
    // Every handler passes the event on unchanged: the popup only watches.
    mouseDownEventMonitor_ =
        application.addLocalMonitorForEvents(platform::ui::EventMask::leftMouseDown, [weakSelf](const Event& event) {
            if (const auto self = weakSelf.lock()) self->leftMouseDown(event);
            return std::optional<Event>(event);
        });
    mouseUpEventMonitor_ =
        application.addLocalMonitorForEvents(platform::ui::EventMask::leftMouseUp, [weakSelf](const Event& event) {
            if (const auto self = weakSelf.lock()) self->leftMouseUp(event);
            return std::optional<Event>(event);
        });
    mouseRightUpEventMonitor_ =
        application.addLocalMonitorForEvents(platform::ui::EventMask::rightMouseUp, [weakSelf](const Event& event) {
            if (const auto self = weakSelf.lock()) self->showQuitMenu();
            return std::optional<Event>(event);
        });
}

void StatusPopupController::configurePanel() {
    panel_->setAcceptsMouseMovedEvents(true);
    panel_->setLevel(platform::ui::WindowLevel::popUpMenu);
    panel_->setOpaque(false);
    panel_->setBackgroundColor(platform::ui::Color::clear());
    // No title bar or frame.
    panel_->setStyleMask(platform::ui::WindowStyleMask::nonactivatingPanel);
    panel_->setHidesOnDeactivate(false);
    panel_->setHasShadow(true);
    panel_->setDelegate(std::shared_ptr<platform::ui::WindowDelegate>(sharedAs(this), this));
}

// ---- Events

void StatusPopupController::leftMouseDown(const Event& event) {
    if (!shouldTrigger(*statusItem_, event)) return;
    statusItemClicked = true;
    lastMouseDownEvent = event;
    togglePopup();
}

void StatusPopupController::leftMouseUp(const Event& event) {
    if (!lastMouseDownEvent || !isOpen_ || !shouldTrigger(*statusItem_, event)) return;
    // Compared in whole nanoseconds, so that a release exactly 0.35 s after the press stays a
    // short click whatever the rounding of the two timestamps.
    const auto heldNanoseconds = std::llround((event.timestamp() - lastMouseDownEvent->timestamp()) * 1e9);
    if (heldNanoseconds <= longPressNanoseconds) return;
    statusItemClicked = true;
    togglePopup();
}

void StatusPopupController::showQuitMenu() {
    platform::ui::Menu menu;
    menu.addItem("Quit", quitAction, "")->setTarget(sharedAs(this));
    // At the lower-left corner of the icon's window, in screen coordinates.
    const auto button = statusItem_->button();
    auto* const window = button ? button->window() : nullptr;
    const platform::ui::Point location = window != nullptr ? window->frame().origin : platform::ui::Point{};
    menu.popUp(nullptr, location, nullptr);
}

void StatusPopupController::quitMenuItemClick() {
    if (const auto& quit = StatusPopupHost::current().quit) quit();
}

// ---- Opening and closing

void StatusPopupController::setIsOpen(bool isOpen) {
    isOpen_ = isOpen;
    if (!isOpen_) return;
    if (const auto button = statusItem_->button()) button->highlight(true);
}

void StatusPopupController::openPopup() {
    statusItemClicked = true;
    platform::foundation::consolePrint("openPopup");
    openPanel();
    if (const auto popupWindow = window()) popupWindow->makeKey();
}

void StatusPopupController::closePopup() {
    closePanel();
}

void StatusPopupController::togglePopup() {
    platform::foundation::consolePrint("togglePopup");
    if (!isOpen_) {
        openPanel();
    } else {
        closePanel();
    }
}

void StatusPopupController::openPanel() {
    if (!statusItemClicked) return;
    statusItemClicked = false;
    isOpening = true;
    if (willOpenPopup) {
        const auto event = Application::shared().currentEvent();
        const bool pressed = event && event->type() == platform::ui::EventType::leftMouseDown;
        willOpenPopup(pressed ? pressedModifiers(*event) : StatusPopupKeys::none);
    }
    setIsOpen(true);
    contentView->setHidden(false);
    Application::shared().activate();
    panel_->setAlphaValue(0);
    placePanel();
    panel_->makeKeyAndOrderFront();
    // Under an icon the tray has not placed yet the popup would point at nothing: it shows once
    // the icon's place is known (see `statusItemMoved`).
    waitingForIcon_ = !statusItem_->isPlaced();
    if (!waitingForIcon_) panel_->setAlphaValue(1.0);
    isOpening = false;
    if (!isOpen_) return;
    if (didOpenPopup) didOpenPopup();
    panel_->makeKeyAndOrderFront();
}

void StatusPopupController::statusItemMoved() {
    if (!isOpen_) return;
    placePanel();
    if (std::exchange(waitingForIcon_, false)) panel_->setAlphaValue(1.0);
}

void StatusPopupController::escapePressed() {
    // Escape is the person closing the popup, also the one opened at start-up, which losing the
    // keys leaves open.
    isOpening = false;
    if (isOpen_) closePopup();
}

void StatusPopupController::closePanel() {
    if (willClosePopup) willClosePopup();
    waitingForIcon_ = false;
    setIsOpen(false);
    contentView->setHidden(true);
    const auto self = sharedAs(this);
    platform::ui::AnimationContext::runAnimationGroup(
        closeDuration, [self] { self->panel_->animator().setAlphaValue(0); },
        [self] {
            // A popup opened again during the fade keeps its highlight.
            if (self->isOpen_) return;
            if (const auto button = self->statusItem_->button()) button->highlight(false);
            if (self->didClosePopup) self->didClosePopup();
        });
}

// ---- Geometry

void StatusPopupController::setContentInset(double inset) {
    const auto size = containerView_->frame().size;
    containerView_->contentInset = inset;
    resizePopup(size.width, size.height);
}

void StatusPopupController::resizePopup(double width, double height) {
    auto frame = panel_->frame();
    const double inset = containerView_->contentInset;
    const double newHeight = height + backgroundView_->arrowSize.height + 2 * inset;
    const double newWidth = width + 2 * inset;
    // The top edge stays.
    frame.origin.y -= newHeight - frame.height();
    frame.size.height = newHeight;
    // So does the horizontal centre.
    if (const double growth = newWidth - frame.width(); growth != 0) {
        frame.origin.x -= growth / 2;
        frame.size.width = newWidth;
    }
    containerView_->resetConstraints();
    panel_->setFrame(frame, true, panel_->isVisible());
}

void StatusPopupController::resizePopupWidth(double width) {
    resizePopup(width, contentView->frame().height());
}

void StatusPopupController::resizePopupHeight(double height) {
    resizePopup(contentView->frame().width(), height);
}

std::shared_ptr<platform::ui::Window> StatusPopupController::clickedStatusWindow() const {
    const auto item = lastMouseDownEvent ? clickedStatusItem(*lastMouseDownEvent) : nullptr;
    return item ? realWindow(*item) : nullptr;
}

platform::ui::Rect StatusPopupController::statusRect() const {
    const auto icon = globalRect(*statusItem_, clickedStatusWindow());
    return StatusPopupLayout::bandBelow(icon.value_or(platform::ui::Rect{}));
}

StatusPopupLayout StatusPopupController::rectsForPanel() const {
    const auto statusWindow = clickedStatusWindow();
    auto screen = statusWindow ? statusWindow->screen() : nullptr;
    if (!screen) screen = platform::ui::Screen::main();
    if (!screen) return {};
    return StatusPopupLayout::place(screen->frame(), statusRect(), panel_->frame(), backgroundView_->arrowSize.height);
}

void StatusPopupController::placePanel() {
    const auto placed = rectsForPanel();
    if (placed.arrowPointsDown != backgroundView_->arrowPointsDown) {
        backgroundView_->arrowPointsDown = placed.arrowPointsDown;
        containerView_->resetConstraints();
    }
    panel_->setFrame(placed.panelRect, true, false);
    repositionPopupArrow();
}

void StatusPopupController::repositionPopupArrow() {
    backgroundView_->setArrowX(StatusPopupLayout::arrowX(statusRect(), panel_->frame()));
}

// ---- The panel's delegate

void StatusPopupController::windowWillClose(platform::ui::Window&) {
    closePopup();
}

void StatusPopupController::windowDidResize(platform::ui::Window&) {
    repositionPopupArrow();
}

platform::ui::Rect StatusPopupController::windowWillPositionSheet(platform::ui::Window& window, platform::ui::Window&,
                                                                  platform::ui::Rect rect) {
    // A sheet hangs from the popup's body, not from the tip of its arrow.
    if (!backgroundView_->arrowPointsDown) rect.origin.y = window.frame().height() - backgroundView_->arrowSize.height;
    return rect;
}

void StatusPopupController::windowDidResignKey(platform::ui::Window&) {
    // The popup's own sheet took the keys: it is part of the popup, which stays.
    if (panel_->attachedSheet()) return;
    const auto& host = StatusPopupHost::current();
    const bool helperJustInstalled = host.helperJustInstalled && host.helperJustInstalled();
    const auto popupWindow = window();
    if (popupWindow && popupWindow->isVisible() && !isOpening && !helperJustInstalled) closePopup();
    // Only the first loss of focus after the helper was installed is forgiven.
    if (helperJustInstalled && host.setHelperJustInstalled) host.setHelperJustInstalled(false);
}

}  // namespace corvantis
