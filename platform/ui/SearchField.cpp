#include "platform/ui/SearchField.hpp"

#include <algorithm>
#include <stdexcept>

namespace platform::ui {

SearchField::SearchField(Rect frame) : TextField(frame) {
    setCell(std::make_shared<SearchFieldCell>());
}

SearchField::~SearchField() {
    cell_->controlView_ = nullptr;
}

void SearchField::setCell(std::shared_ptr<SearchFieldCell> cell) {
    if (!cell) throw std::invalid_argument("SearchField::setCell: no cell given");
    if (cell_) cell_->controlView_ = nullptr;
    cell_ = std::move(cell);
    cell_->controlView_ = this;
}

void SearchField::draw(GraphicsContext& context, const Rect&) {
    if (const auto button = cell_->searchButtonCell()) {
        button->draw(context, cell_->searchButtonRect(bounds()), *this, false);
    }
    drawText(context, textRect());
}

Rect SearchField::textRect() const {
    // A cell may give a text rectangle taller than the field; the text goes where it overlaps
    // the field, or it would be drawn out of sight.
    const Rect text = cell_->searchTextRect(bounds());
    const double bottom = std::max(text.minY(), bounds().minY());
    const double top = std::min(text.maxY(), bounds().maxY());
    return {text.minX(), bottom, text.width(), std::max(0.0, top - bottom)};
}

}  // namespace platform::ui
