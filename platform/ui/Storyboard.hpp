#pragma once

#include "platform/ui/ViewController.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>

namespace platform::ui {

// A named set of scenes: each makes a view controller and knows how to build its view. The
// application registers its scenes in code; `instantiateController` then makes a new controller
// whose view is built on first use. Main thread only.
class Storyboard {
public:
    using ControllerFactory = std::function<std::shared_ptr<ViewController>()>;

    // The storyboard of that name: the same object on every call, empty until scenes are registered.
    static std::shared_ptr<Storyboard> named(const std::string& name);
    // Forgets every storyboard (used between tests).
    static void forgetAll();

    explicit Storyboard(std::string name) : name_(std::move(name)) {}

    const std::string& name() const { return name_; }
    // Registers (or replaces) the scene `identifier`.
    void registerScene(const std::string& identifier, ControllerFactory makeController, ViewController::ViewLoader loadView);
    // A new controller of the scene `identifier`; none when there is no such scene or its
    // factory made none.
    std::shared_ptr<ViewController> instantiateController(const std::string& identifier) const;

private:
    struct Scene {
        ControllerFactory makeController;
        ViewController::ViewLoader loadView;
    };

    std::string name_;
    std::map<std::string, Scene> scenes_;
};

}  // namespace platform::ui
