#pragma once

#include "app/MainWindow.hpp"
#include "platform/ui/Window.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace corvantis::tools {

// The scenes the render tool can draw: each is a screen of the "Main" storyboard, built by the
// main window object and switched to as the popup does, in the popup's panel; each has named
// states that put the screen in a look a person would see. A state may show another window the
// screen opens (a hint's popover, the Quit menu): it returns that window; none means the panel.
// Add a state by adding an entry to the scene's table.
class SceneCatalog {
public:
    using State = std::function<std::shared_ptr<platform::ui::Window>(MainWindow& main)>;
    struct Scene {
        std::vector<View> path;  // the screens switched to, in order
        std::map<std::string, State> states;
    };

    SceneCatalog();

    const std::map<std::string, Scene>& scenes() const { return scenes_; }
    // The popup's panel showing the scene's screen in that state, or the window the state opened;
    // none, with the reason in `error`, for an unknown scene or state.
    std::shared_ptr<platform::ui::Window> build(const std::string& scene, const std::string& state, std::string& error) const;

private:
    std::map<std::string, Scene> scenes_;
};

}  // namespace corvantis::tools
