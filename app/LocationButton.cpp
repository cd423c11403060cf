#include "app/LocationButton.hpp"

namespace corvantis {

void LocationButton::draw(platform::ui::GraphicsContext& context, const platform::ui::Rect& dirtyRect) {
    Button::draw(context, dirtyRect);
    cursor = platform::ui::Cursor::pointingHand();
}

void LocationButton::resetCursorRects() {
    if (cursor) addCursorRect(bounds(), cursor);
}

void LocationButton::mouseDown(const platform::ui::Event& event) {
    const auto keepAlive = sharedView();  // the action may take the button out of its tree
    Button::mouseDown(event);
    if (const auto receiver = target()) receiver->perform(action(), this);
}

}  // namespace corvantis
