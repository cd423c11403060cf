#pragma once

#include "platform/ui/Button.hpp"
#include "platform/ui/Cursor.hpp"
#include "platform/ui/TextField.hpp"

#include <memory>

namespace corvantis {

// The pill under the connect button that names the chosen city and opens the locations
// screen. Main queue only.
class LocationButton : public platform::ui::Button {
public:
    using Button::Button;

    // The pointing hand from the first draw on.
    std::shared_ptr<platform::ui::Cursor> cursor;
    // The label inside the button, held weakly.
    std::weak_ptr<platform::ui::TextField> lblLocation;

    void draw(platform::ui::GraphicsContext& context, const platform::ui::Rect& dirtyRect) override;
    void viewDidMoveToWindow() override {}
    void resetCursorRects() override;
    // The normal click tracking, then the action once more, wherever the mouse goes up.
    void mouseDown(const platform::ui::Event& event) override;
};

}  // namespace corvantis
