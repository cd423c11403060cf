#pragma once

#include "platform/ui/AttributedString.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Image.hpp"
#include "platform/ui/ParagraphStyle.hpp"
#include "platform/ui/ScrollView.hpp"
#include "platform/ui/TextAttributes.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/View.hpp"

#include <memory>
#include <optional>

namespace corvantis {

class LocationsViewController;

// The popup's locations screen: the saved location's pill, the back button, the all-cities and
// favourites tabs and the scroll view around the city list. The tab titles get their two looks
// when the view first moves into the popup's container; tab actions and `show` need them.
// Main queue only.
class LocationsView : public platform::ui::View {
public:
    // The screen's images must be registered first: the tab backgrounds are taken by name.
    explicit LocationsView(platform::ui::Rect frame = {});

    std::shared_ptr<LocationsViewController> viewController;
    std::shared_ptr<platform::ui::View> viewLocation;
    // The saved location's short name, inside the pill.
    std::shared_ptr<platform::ui::TextField> lblLocation;
    platform::ui::ParagraphStyle paragraph;
    std::optional<platform::ui::TextAttributes> inactiveLabelAttr;
    std::optional<platform::ui::TextAttributes> activeLabelAttr;
    std::optional<platform::ui::AttributedString> activeAppTitle;
    std::optional<platform::ui::AttributedString> activeAccountTitle;
    std::optional<platform::ui::AttributedString> inactiveAppTitle;
    std::optional<platform::ui::AttributedString> inactiveAccountTitle;
    std::shared_ptr<platform::ui::Button> btnAll;
    std::shared_ptr<platform::ui::Button> btnFavourites;
    const std::shared_ptr<platform::ui::Image> tabLeftActiveImage;
    const std::shared_ptr<platform::ui::Image> tabRightActiveImage;
    const std::shared_ptr<platform::ui::Image> tabLeftInactiveImage;
    const std::shared_ptr<platform::ui::Image> tabRightInactiveImage;
    // True while the all-cities tab is selected.
    bool allTabSelected = true;
    std::shared_ptr<platform::ui::ScrollView> tableScrollView;

    // Fades in over 0.7 s on the all-cities tab, the saved location and the list refreshed.
    virtual void show();
    // At once, no fade.
    virtual void hide();
    // Each tab acts only when it changes the tab: the search bar closes, the list reloads.
    void btnAllClick(platform::ui::Object* sender);
    void btnFavouritesClick(platform::ui::Object* sender);
    void btnBackButtonClick(platform::ui::Object* sender);
    // Fits the pill to the label's text and centres it in the view.
    virtual void alignLocationLabel();

    // Builds the tabs' attributes and titles and gives the tabs the all-cities look.
    void viewDidMoveToSuperview() override;
};

}  // namespace corvantis
