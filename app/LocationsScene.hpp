#pragma once

#include <memory>

namespace corvantis {

class LocationsView;
class LocationsViewController;

// The locations scene of the "Main" storyboard: registers the screen's images, builds its view
// with the pill, back button, tabs, search bar and city table, connects the controller's and the
// view's outlets and wires the actions, as the interface definition would.
class LocationsScene {
public:
    static std::shared_ptr<LocationsView> loadView(LocationsViewController& owner);
};

}  // namespace corvantis
