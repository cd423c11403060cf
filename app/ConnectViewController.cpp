#include "app/ConnectViewController.hpp"

#include "app/ConnectView.hpp"

namespace corvantis {

void ConnectViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "connectViewController", [] { return std::make_shared<ConnectViewController>(); },
        [](platform::ui::ViewController&) { return std::make_shared<ConnectView>(platform::ui::Rect(0, 0, 300, 400)); });
}


}  // namespace corvantis
