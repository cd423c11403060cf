#include "app/EditingKeyEquivalents.hpp"

#include "platform/ui/Application.hpp"

#include <array>
#include <string_view>
#include <utility>

namespace corvantis {

namespace {
using platform::ui::ModifierFlags::deviceIndependentFlagsMask;

constexpr std::array<std::pair<std::string_view, std::string_view>, 5> commandActions{{
    {"x", "cut:"},
    {"c", "copy:"},
    {"v", "paste:"},
    {"z", "undo:"},
    {"a", "selectAll:"},
}};

bool send(std::string_view action, platform::ui::Object& field) {
    return platform::ui::Application::shared().sendAction(std::string(action), nullptr, &field);
}
}  // namespace

bool EditingKeyEquivalents::perform(const platform::ui::Event& event, platform::ui::Object& field) const {
    if (event.type() != platform::ui::EventType::keyDown) return false;
    const auto modifiers = event.modifierFlags() & deviceIndependentFlagsMask;
    const std::string_view characters = event.charactersIgnoringModifiers();
    if (modifiers == commandKey) {
        for (const auto& [key, action] : commandActions) {
            if (characters == key) return send(action, field);
        }
        return false;
    }
    return modifiers == commandShiftKey && characters == "Z" && send("redo:", field);
}

}  // namespace corvantis
