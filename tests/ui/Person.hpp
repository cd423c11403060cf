#pragma once

#include "platform/ui/Application.hpp"
#include "platform/ui/Event.hpp"
#include "platform/ui/View.hpp"
#include "platform/ui/Window.hpp"

#include <memory>
#include <string>

namespace corvantis::testing {

// What a person does with the mouse and the keyboard, as events sent through the application.
struct Person {
    // A key press (down and up) in the key window.
    static void press(const std::string& characters, std::uint64_t modifiers = 0,
                      std::optional<std::string> ignoringModifiers = std::nullopt) {
        auto& application = platform::ui::Application::shared();
        const auto window = application.keyWindow();
        application.sendEvent(
            platform::ui::Event::keyEvent(platform::ui::EventType::keyDown, window, characters, modifiers, ignoringModifiers));
        application.sendEvent(
            platform::ui::Event::keyEvent(platform::ui::EventType::keyUp, window, characters, modifiers, ignoringModifiers));
    }

    // A mouse event at `location` of `window` (window coordinates).
    static void mouse(platform::ui::EventType type, const std::shared_ptr<platform::ui::Window>& window,
                      platform::ui::Point location, std::uint64_t modifiers = 0) {
        platform::ui::Application::shared().sendEvent(platform::ui::Event::mouseEvent(type, location, window, modifiers));
    }

    // The pointer moves to the middle of `view`.
    static void hover(platform::ui::View& view) {
        const auto bounds = view.bounds();
        mouse(platform::ui::EventType::mouseMoved, view.window()->sharedWindow(),
              view.convert(platform::ui::Point{bounds.midX(), bounds.midY()}, nullptr));
    }
};

// A visible window of `frame` whose content view is a plain view.
inline std::shared_ptr<platform::ui::Window> shownWindow(platform::ui::Rect frame) {
    auto window = std::make_shared<platform::ui::Window>(frame);
    window->setContentView(std::make_shared<platform::ui::View>());
    window->orderFront();
    return window;
}

}  // namespace corvantis::testing
