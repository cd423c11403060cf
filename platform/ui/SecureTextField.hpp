#pragma once

#include "platform/ui/TextField.hpp"

namespace platform::ui {

// A field for a password: it shows a round bullet as high as its face's lower-case letters per
// character, and its text never reaches the pasteboard (cut and copy do nothing, though the
// field still takes them).
class SecureTextField : public TextField {
public:
    using TextField::TextField;

protected:
    bool allowsCopying() const override { return false; }
    std::string displayedString(std::string_view text) const override;
    double widthOf(std::string_view text) const override;
    void drawLine(GraphicsContext& context, std::string_view text, const Rect& box) const override;

private:
    // The bullet's diameter: the x-height of the field's face.
    double bulletSize() const;
};

}  // namespace platform::ui
