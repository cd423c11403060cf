#pragma once

#include "platform/ui/LayoutConstraint.hpp"
#include "platform/ui/View.hpp"

#include <memory>
#include <string>
#include <vector>

namespace corvantis {

// Holds the popup's screens, stacked, inside the background view: pinned to it beside the
// arrow's strip, inset by `contentInset`. The screens show and hide themselves; a screen handed
// over here starts transparent. Main queue only.
class StatusPopupContainerView : public platform::ui::View {
public:
    using View::View;

    // The screens. Assigning a view stores it, makes it transparent (the connect screen also
    // hidden) and adds it; assigning none only forgets the old one.
    std::shared_ptr<platform::ui::View> loginView() const { return loginView_; }
    void setLoginView(std::shared_ptr<platform::ui::View> view);
    std::shared_ptr<platform::ui::View> connectView() const { return connectView_; }
    void setConnectView(std::shared_ptr<platform::ui::View> view);
    std::shared_ptr<platform::ui::View> settingsView() const { return settingsView_; }
    void setSettingsView(std::shared_ptr<platform::ui::View> view);
    std::shared_ptr<platform::ui::View> locationsView() const { return locationsView_; }
    void setLocationsView(std::shared_ptr<platform::ui::View> view);

    double contentInset = 0;

    // A view about to slide in: added one own width to the right of where it was.
    std::shared_ptr<platform::ui::View> tempView() const { return tempView_; }
    void setTempView(std::shared_ptr<platform::ui::View> view);
    // The first screen; added as it is.
    std::shared_ptr<platform::ui::View> contentView() const { return contentView_; }
    void setContentView(std::shared_ptr<platform::ui::View> view);

    // The constraints that pin this view to its superview, as last installed.
    const std::vector<std::shared_ptr<platform::ui::LayoutConstraint>>& superviewConstraints() const {
        return superviewConstraints_;
    }

    // Lets constraints place this view and installs them; run once it is in the background view.
    void setup();
    // Replaces the pinning constraints from the current inset and arrow height. Nothing happens
    // unless the superview is the popup's background view.
    void resetConstraints();
    // Slides `view` in from the right over a second while the content view slides out left.
    void switchView(std::shared_ptr<platform::ui::View> view);

    // The two pinning formats, numbers written as the system prints doubles ("0.0", "8.0"). The
    // arrow's strip is at the top, or at the bottom when the arrow points down.
    static std::string horizontalFormat(double contentInset);
    static std::string verticalFormat(double arrowHeight, double contentInset, bool arrowPointsDown = false);

private:
    std::shared_ptr<platform::ui::View> loginView_;
    std::shared_ptr<platform::ui::View> connectView_;
    std::shared_ptr<platform::ui::View> settingsView_;
    std::shared_ptr<platform::ui::View> locationsView_;
    std::shared_ptr<platform::ui::View> tempView_;
    std::shared_ptr<platform::ui::View> contentView_;
    std::vector<std::shared_ptr<platform::ui::LayoutConstraint>> superviewConstraints_;
};

}  // namespace corvantis
