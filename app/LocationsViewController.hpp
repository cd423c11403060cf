#pragma once

#include "platform/ui/TableView.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/ViewController.hpp"

#include <memory>

namespace corvantis {

// The locations screen's controller, made by the "Main" storyboard as "locationsViewController".
class LocationsViewController : public platform::ui::ViewController {
public:
    // Registers the scene "locationsViewController" in `storyboard`: the controller, its view
    // and subviews, outlets connected before `viewDidLoad`, actions wired.
    static void registerScene(platform::ui::Storyboard& storyboard);

    // The city list.
    std::shared_ptr<platform::ui::TableView> tableView;
};

}  // namespace corvantis
