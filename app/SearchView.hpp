#pragma once

#include "platform/ui/View.hpp"

namespace corvantis {

// The search bar's background: white, rounded, with a thin grey border. Main queue only.
class SearchView : public platform::ui::View {
public:
    using View::View;

    // Sets the layer's look on every draw; setting it again leaves one border, not two.
    void draw(platform::ui::GraphicsContext& context, const platform::ui::Rect& dirtyRect) override;
};

}  // namespace corvantis
