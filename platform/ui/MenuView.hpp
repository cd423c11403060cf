#pragma once

#include "platform/ui/Menu.hpp"
#include "platform/ui/View.hpp"

#include <functional>
#include <memory>

namespace platform::ui {

// What a popped-up menu shows: a white body with a thin border and a soft shadow round it, one
// row per item in the appearance's face and text colour, the row under the pointer highlighted
// in the accent colour with its title in white. A row clicked reports its item's index.
class MenuView final : public View {
public:
    static constexpr double rowHeight = 22;
    static constexpr double horizontalPadding = 14;
    static constexpr double minimumWidth = 120;
    // Above and below the rows, inside the body.
    static constexpr double verticalPadding = 4;
    // Round the body, where its shadow falls.
    static constexpr double shadowMargin = 8;

    MenuView(const Menu& menu, std::function<void(int index)> chosen);

    // The body: the menu as the person sees it, inside the shadow's margin.
    Rect body() const;
    // The index of the row under the pointer, or -1.
    int highlightedRow() const;

    void draw(GraphicsContext& context, const Rect& dirtyRect) override;
};

}  // namespace platform::ui
