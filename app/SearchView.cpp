#include "app/SearchView.hpp"

namespace corvantis {

void SearchView::draw(platform::ui::GraphicsContext& context, const platform::ui::Rect& dirtyRect) {
    setWantsLayer(true);
    if (auto* look = layer()) {
        look->masksToBounds = true;
        look->cornerRadius = 4.0;
        look->backgroundColor = platform::ui::Color::white();
        look->borderWidth = 1.0;
        look->borderColor = platform::ui::Color::generic(213 / 255.0, 213 / 255.0, 213 / 255.0, 1.0);
    }
    View::draw(context, dirtyRect);
}

}  // namespace corvantis
