#include "platform/ui/TableView.hpp"

#include "platform/ui/Event.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>

namespace platform::ui {

void TableView::registerCellPrototype(const std::string& identifier, CellFactory factory) {
    prototypes_[identifier] = std::move(factory);
}

std::shared_ptr<View> TableView::makeView(const std::string& identifier) {
    if (auto& free = reusable_[identifier]; !free.empty()) {
        auto view = std::move(free.back());
        free.pop_back();
        return view;
    }
    const auto prototype = prototypes_.find(identifier);
    if (prototype == prototypes_.end()) return nullptr;
    auto view = prototype->second();
    if (view) view->setIdentifier(identifier);
    return view;
}

void TableView::reloadData() {
    // Last row first: each cell is then the top subview, so taking it out is cheap.
    for (auto row = cells_.rbegin(); row != cells_.rend(); ++row) {
        for (auto cell = row->rbegin(); cell != row->rend(); ++cell) {
            if (!*cell) continue;
            (*cell)->removeFromSuperview();
            if (!(*cell)->identifier().empty()) reusable_[(*cell)->identifier()].push_back(*cell);
        }
    }
    cells_.clear();
    rowFrames_.clear();

    const auto source = dataSource();
    const auto builder = delegate();
    const int rows = source ? std::max(0, source->numberOfRows(*this)) : 0;
    const double width = frame().width();
    double top = 0;
    for (int row = 0; row < rows; ++row) {
        const double height = builder ? builder->tableView(*this, row) : rowHeight_;
        rowFrames_.emplace_back(0, top, width, height);
        top += height;
    }
    const double minimum = superview() ? superview()->bounds().height() : 0;
    setFrameSize({width, std::max(top, minimum)});
    if (selectedRow_ >= rows) selectedRow_ = -1;

    // As in AppKit, only the rows in view get cells: those inside the superview's bounds (the
    // scroll view's page), or every row of a table outside any view. A long list then costs a
    // page of cells, not a cell per row.
    const Rect inView = superview() ? convertFrom(superview()->bounds(), superview()) : bounds();
    cells_.assign(rowFrames_.size(), std::vector<std::shared_ptr<View>>(columns_.size()));
    for (int row = 0; row < rows; ++row) {
        const Rect& rowFrame = rowFrames_[static_cast<std::size_t>(row)];
        if (!builder || rowFrame.maxY() <= inView.minY() || rowFrame.minY() >= inView.maxY()) continue;
        double left = 0;
        for (std::size_t column = 0; column < columns_.size(); ++column) {
            const bool last = column + 1 == columns_.size();
            const double columnWidth = last ? std::max(0.0, width - left) : columns_[column]->width();
            auto cell = builder->tableView(*this, columns_[column].get(), row);
            if (cell) {
                cell->setFrame({left, rowFrame.minY(), columnWidth, rowFrame.height()});
                addSubview(cell);
            }
            cells_[static_cast<std::size_t>(row)][column] = std::move(cell);
            left += columnWidth;
        }
    }
}

Rect TableView::rect(int row) const {
    if (row < 0 || row >= numberOfRows()) return {};
    return rowFrames_[static_cast<std::size_t>(row)];
}

int TableView::row(Point point) const {
    for (std::size_t index = 0; index < rowFrames_.size(); ++index) {
        if (rowFrames_[index].contains(point)) return static_cast<int>(index);
    }
    return -1;
}

int TableView::row(const View& view) const {
    for (const View* step = &view; step != nullptr; step = step->superview()) {
        if (step->superview() != this) continue;
        for (std::size_t index = 0; index < cells_.size(); ++index) {
            const auto& cells = cells_[index];
            if (std::any_of(cells.begin(), cells.end(), [&](const auto& cell) { return cell.get() == step; })) {
                return static_cast<int>(index);
            }
        }
        return -1;
    }
    return -1;
}

std::shared_ptr<View> TableView::view(int column, int row) const {
    if (row < 0 || row >= numberOfRows() || column < 0 || column >= static_cast<int>(columns_.size())) return nullptr;
    return cells_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)];
}

void TableView::clickRow(int row) {
    const Rect target = rect(row);
    const Point middle = row >= 0 && row < numberOfRows()
                             ? Point{target.midX(), target.midY()}
                             : Point{bounds().midX(), rowFrames_.empty() ? 0.5 : rowFrames_.back().maxY() + 0.5};
    const Point inWindow = convert(middle, nullptr);
    Window* host = window();
    const auto shared = host ? host->sharedWindow() : nullptr;
    const auto keepAlive = sharedView();
    mouseDown(Event::mouseEvent(EventType::leftMouseDown, inWindow, shared));
    mouseUp(Event::mouseEvent(EventType::leftMouseUp, inWindow, shared));
}

void TableView::mouseDown(const Event& event) {
    if (!isEnabled()) return;
    pressed_ = true;
    pressedRow_ = row(convertFrom(event.locationInWindow(), nullptr));
}

void TableView::mouseUp(const Event&) {
    if (!pressed_) return;
    pressed_ = false;
    const auto rules = delegate();
    if (!rules || rules->selectionShouldChange(*this)) selectedRow_ = pressedRow_;
    clickedRow_ = pressedRow_;
    sendAction(action(), target());
    clickedRow_ = -1;
}

}  // namespace platform::ui
