#include "app/LocationsViewController.hpp"

#include "app/LocationsView.hpp"

namespace corvantis {

void LocationsViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "locationsViewController", [] { return std::make_shared<LocationsViewController>(); },
        [](platform::ui::ViewController&) { return std::make_shared<LocationsView>(platform::ui::Rect(0, 0, 300, 400)); });
}


}  // namespace corvantis
