#pragma once

#include "platform/ui/Storyboard.hpp"
#include "platform/ui/ViewController.hpp"

namespace corvantis {

// The controller of a hint popover, made by the "Main" storyboard as "hintController"; its view
// is a `HintView`.
class HintViewController : public platform::ui::ViewController {
public:
    // The popover's content size.
    static constexpr double width = 250;
    static constexpr double height = 59;

    // Registers the scene "hintController" in `storyboard`.
    static void registerScene(platform::ui::Storyboard& storyboard);
};

}  // namespace corvantis
