#include "app/SettingsViewController.hpp"

#include "app/SettingsView.hpp"

namespace corvantis {

void SettingsViewController::registerScene(platform::ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "settingsViewController", [] { return std::make_shared<SettingsViewController>(); },
        [](platform::ui::ViewController&) { return std::make_shared<SettingsView>(platform::ui::Rect(0, 0, 300, 400)); });
}


}  // namespace corvantis
