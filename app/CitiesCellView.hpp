#pragma once

#include "platform/ui/Button.hpp"
#include "platform/ui/ImageView.hpp"
#include "platform/ui/TableCellView.hpp"
#include "platform/ui/TextField.hpp"

#include <memory>

namespace corvantis {

// One row of the city list ("MainCell"): flag, name and favourite star. The cell's subviews
// own what the outlets point at. Main queue only.
class CitiesCellView : public platform::ui::TableCellView {
public:
    // Lays the row out at the list's width and row height.
    explicit CitiesCellView(platform::ui::Rect frame = {0, 0, 300, 40});

    std::shared_ptr<platform::ui::ImageView> imgLoad;
    std::shared_ptr<platform::ui::ImageView> imgFlag;
    std::shared_ptr<platform::ui::TextField> txtName;
    // Its image tells the star's state.
    std::shared_ptr<platform::ui::Button> btnFavourite;
};

}  // namespace corvantis
