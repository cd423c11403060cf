#pragma once

#include "platform/ui/Storyboard.hpp"
#include "platform/ui/ViewController.hpp"

#include <memory>

namespace corvantis {

// The connect screen's controller, made by the "Main" storyboard as "connectViewController".
class ConnectViewController : public platform::ui::ViewController {
public:
    // Registers the scene "connectViewController" in `storyboard`: the controller, its view
    // and subviews, outlets connected before `viewDidLoad`, actions wired.
    static void registerScene(platform::ui::Storyboard& storyboard);

    void viewWillAppear() override {}
};

}  // namespace corvantis
