#pragma once

#include "platform/ui/SearchFieldCell.hpp"

namespace corvantis {

// The city search field's cell: the text takes the whole width but a 20-point strip at the
// right, where the search button sits. Both rectangles come from the field's frame, whatever
// bounds are passed; the cell must belong to a field. Main queue only.
class SearchFieldCell : public platform::ui::SearchFieldCell {
public:
    platform::ui::Rect searchTextRect(const platform::ui::Rect& bounds) const override;
    // Zero high, as the field has always drawn it.
    platform::ui::Rect searchButtonRect(const platform::ui::Rect& bounds) const override;

    // Gives the search button the image "SearchIcon" at 17.6 x 20 points on a clear background.
    void setUI();
};

}  // namespace corvantis
