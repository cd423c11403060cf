#include "platform/ui/Storyboard.hpp"

namespace platform::ui {

namespace {
std::map<std::string, std::shared_ptr<Storyboard>>& storyboards() {
    static std::map<std::string, std::shared_ptr<Storyboard>> named;
    return named;
}
}  // namespace

std::shared_ptr<Storyboard> Storyboard::named(const std::string& name) {
    auto& slot = storyboards()[name];
    if (!slot) slot = std::make_shared<Storyboard>(name);
    return slot;
}

void Storyboard::forgetAll() {
    storyboards().clear();
}

void Storyboard::registerScene(const std::string& identifier, ControllerFactory makeController,
                               ViewController::ViewLoader loadView) {
    scenes_[identifier] = {std::move(makeController), std::move(loadView)};
}

std::shared_ptr<ViewController> Storyboard::instantiateController(const std::string& identifier) const {
    const auto scene = scenes_.find(identifier);
    if (scene == scenes_.end() || !scene->second.makeController) return nullptr;
    auto controller = scene->second.makeController();
    if (controller) controller->setViewLoader(scene->second.loadView);
    return controller;
}

}  // namespace platform::ui
