#include "StatusPopup/StatusPopupContainerView.hpp"

#include "StatusPopup/StatusPopupBackgroundView.hpp"
#include "platform/foundation/NumberText.hpp"
#include "platform/ui/AnimationContext.hpp"

namespace corvantis {

namespace {
// Seconds a slide of `switchView` takes.
constexpr double slideDuration = 1.0;

void moveOneWidthLeft(platform::ui::View& view) {
    const auto frame = view.frame();
    view.animator().setFrameOrigin({frame.minX() - frame.width(), frame.minY()});
}
}  // namespace

void StatusPopupContainerView::setLoginView(std::shared_ptr<platform::ui::View> view) {
    loginView_ = std::move(view);
    if (!loginView_) return;
    loginView_->setAlphaValue(0);
    addSubview(loginView_);
}

void StatusPopupContainerView::setConnectView(std::shared_ptr<platform::ui::View> view) {
    connectView_ = std::move(view);
    if (!connectView_) return;
    connectView_->setAlphaValue(0);
    connectView_->setHidden(true);
    addSubview(connectView_);
}

void StatusPopupContainerView::setSettingsView(std::shared_ptr<platform::ui::View> view) {
    settingsView_ = std::move(view);
    if (!settingsView_) return;
    settingsView_->setAlphaValue(0);
    addSubview(settingsView_);
}

void StatusPopupContainerView::setLocationsView(std::shared_ptr<platform::ui::View> view) {
    locationsView_ = std::move(view);
    if (!locationsView_) return;
    locationsView_->setAlphaValue(0);
    addSubview(locationsView_);
}

void StatusPopupContainerView::setTempView(std::shared_ptr<platform::ui::View> view) {
    tempView_ = std::move(view);
    if (!tempView_) return;
    addSubview(tempView_);
    const auto frame = tempView_->frame();
    tempView_->setFrameOrigin({frame.minX() + frame.width(), frame.minY()});
}

void StatusPopupContainerView::setContentView(std::shared_ptr<platform::ui::View> view) {
    contentView_ = std::move(view);
    if (contentView_) addSubview(contentView_);
}

void StatusPopupContainerView::setup() {
    setTranslatesAutoresizingMaskIntoConstraints(false);
    resetConstraints();
}

std::string StatusPopupContainerView::horizontalFormat(double contentInset) {
    const auto inset = platform::foundation::doubleDescription(contentInset);
    return "H:|-(" + inset + ")-[containerView]-(" + inset + ")-|";
}

std::string StatusPopupContainerView::verticalFormat(double arrowHeight, double contentInset, bool arrowPointsDown) {
    const auto withArrow = platform::foundation::doubleDescription(arrowHeight + contentInset);
    const auto plain = platform::foundation::doubleDescription(contentInset);
    const auto& top = arrowPointsDown ? plain : withArrow;
    const auto& bottom = arrowPointsDown ? withArrow : plain;
    return "V:|-(" + top + ")-[containerView]-(" + bottom + ")-|";
}

void StatusPopupContainerView::resetConstraints() {
    auto* const background = dynamic_cast<StatusPopupBackgroundView*>(superview());
    if (background == nullptr) return;
    background->removeConstraints(superviewConstraints_);
    const platform::ui::LayoutConstraint::Views views{{"containerView", sharedView()}};
    auto constraints = platform::ui::LayoutConstraint::constraintsWithVisualFormat(horizontalFormat(contentInset), views);
    const auto vertical = platform::ui::LayoutConstraint::constraintsWithVisualFormat(
        verticalFormat(background->arrowSize.height, contentInset, background->arrowPointsDown), views);
    constraints.insert(constraints.end(), vertical.begin(), vertical.end());
    superviewConstraints_ = std::move(constraints);
    background->addConstraints(superviewConstraints_);
}

void StatusPopupContainerView::switchView(std::shared_ptr<platform::ui::View> view) {
    setTempView(std::move(view));
    platform::ui::AnimationContext::runAnimationGroup(slideDuration, [this] {
        if (contentView_) moveOneWidthLeft(*contentView_);
        if (tempView_) moveOneWidthLeft(*tempView_);
    });
}

}  // namespace corvantis
