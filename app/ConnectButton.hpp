#pragma once

#include "platform/ui/Button.hpp"
#include "platform/ui/Color.hpp"
#include "platform/ui/Cursor.hpp"

#include <memory>
#include <string_view>

namespace corvantis {

// The connect screen's big round button. The screen sets its images itself; the title helpers
// below are kept for a button that shows a text. Main queue only.
class ConnectButton : public platform::ui::Button {
public:
    using Button::Button;
    using Button::setTitle;

    bool isConnected = false;
    // The pointer over the whole button; none keeps the default one.
    std::shared_ptr<platform::ui::Cursor> cursor;

    void resetCursorRects() override;

    void setDisconnected();
    // Shows "Connect" in grey over the image "Connect Button", only while not connected.
    void setBackgroundImage();
    // `title` centred, in the thin system font of 12 points, in `color`.
    void setTitle(std::string_view title, const platform::ui::Color& color);
};

}  // namespace corvantis
