#include "platform/ui/SearchField.hpp"

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
    drawText(context, cell_->searchTextRect(bounds()));
}

}  // namespace platform::ui
