#pragma once

#include "platform/ui/Color.hpp"
#include "platform/ui/View.hpp"

#include <optional>

namespace platform::ui {

// A plain rectangle filled with one colour (a line under a field, say).
class Box : public View {
public:
    using View::View;

    const std::optional<Color>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<Color> color);

    void draw(GraphicsContext& context, const Rect& dirtyRect) override;

private:
    std::optional<Color> fillColor_;
};

}  // namespace platform::ui
