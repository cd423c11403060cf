#pragma once

#include "platform/ui/ButtonCell.hpp"
#include "platform/ui/Rect.hpp"

#include <memory>

namespace platform::ui {

class View;

// Lays a search field out: where its text goes and where its search button sits, and the cell
// that draws that button. Subclasses move them.
class SearchFieldCell {
public:
    virtual ~SearchFieldCell() = default;

    // The field this cell belongs to; none until it is given to one.
    View* controlView() const { return controlView_; }

    // By default the search button is a square at the left edge and the text takes the rest
    // but a square at the right edge (for the cancel button).
    virtual Rect searchTextRect(const Rect& bounds) const;
    virtual Rect searchButtonRect(const Rect& bounds) const;

    std::shared_ptr<ButtonCell> searchButtonCell() const { return searchButtonCell_; }
    void setSearchButtonCell(std::shared_ptr<ButtonCell> cell) { searchButtonCell_ = std::move(cell); }

private:
    friend class SearchField;

    View* controlView_ = nullptr;  // the field owns this cell
    std::shared_ptr<ButtonCell> searchButtonCell_ = std::make_shared<ButtonCell>();
};

}  // namespace platform::ui
