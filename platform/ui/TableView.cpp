#include "platform/ui/TableView.hpp"

#include "platform/ui/Event.hpp"
#include "platform/ui/ScrollView.hpp"
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
    tileRows(0, 0);
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
    if (auto* scroll = dynamic_cast<ScrollView*>(superview())) scroll->scrollTo(scroll->scrollOffset());
    if (selectedRow_ >= rows) selectedRow_ = -1;
    tile();
}

void TableView::scrollRowToVisible(int row) {
    auto* scroll = dynamic_cast<ScrollView*>(superview());
    if (scroll == nullptr || row < 0 || row >= numberOfRows()) return;
    const Rect target = rect(row);
    const double page = scroll->bounds().height();
    double offset = scroll->scrollOffset();
    if (target.minY() < offset) {
        offset = target.minY();
    } else if (target.maxY() > offset + page) {
        offset = target.maxY() - page;
    }
    scroll->scrollTo(offset);
    tile();
}

void TableView::tile() {
    const Rect inView = superview() ? convertFrom(superview()->bounds(), superview()) : bounds();
    // Row frames run top down without gaps: the rows in view are one stretch of them.
    const auto first = std::ranges::upper_bound(rowFrames_, inView.minY(), {}, &Rect::maxY);
    const auto end = std::ranges::lower_bound(first, rowFrames_.end(), inView.maxY(), {}, &Rect::minY);
    tileRows(static_cast<int>(first - rowFrames_.begin()), static_cast<int>(end - rowFrames_.begin()));
}

void TableView::tileRows(int first, int end) {
    if (first == tiledFirst_ && end == tiledEnd_) return;
    std::vector<std::vector<std::shared_ptr<View>>> cells;
    // Rows that left the view give their cells back for reuse, the last row first (the top
    // subview is the cheapest to take out); rows still in view keep theirs.
    for (int row = tiledEnd_ - 1; row >= tiledFirst_; --row) {
        auto& built = cells_[static_cast<std::size_t>(row - tiledFirst_)];
        if (row >= first && row < end) continue;
        for (auto cell = built.rbegin(); cell != built.rend(); ++cell) {
            if (!*cell) continue;
            (*cell)->removeFromSuperview();
            if (!(*cell)->identifier().empty()) reusable_[(*cell)->identifier()].push_back(*cell);
        }
    }
    const auto builder = delegate();
    const double width = frame().width();
    for (int row = first; row < end; ++row) {
        if (row >= tiledFirst_ && row < tiledEnd_) {
            cells.push_back(std::move(cells_[static_cast<std::size_t>(row - tiledFirst_)]));
            continue;
        }
        const Rect& rowFrame = rowFrames_[static_cast<std::size_t>(row)];
        std::vector<std::shared_ptr<View>> rowCells(columns_.size());
        double left = 0;
        for (std::size_t column = 0; column < columns_.size() && builder; ++column) {
            const bool last = column + 1 == columns_.size();
            const double columnWidth = last ? std::max(0.0, width - left) : columns_[column]->width();
            auto cell = builder->tableView(*this, columns_[column].get(), row);
            if (cell) {
                cell->setFrame({left, rowFrame.minY(), columnWidth, rowFrame.height()});
                addSubview(cell);
            }
            rowCells[column] = std::move(cell);
            left += columnWidth;
        }
        cells.push_back(std::move(rowCells));
    }
    cells_ = std::move(cells);
    tiledFirst_ = first;
    tiledEnd_ = end;
}

void TableView::viewWillDraw() {
    tile();
}

View* TableView::hitTest(Point point) {
    tile();
    return Control::hitTest(point);
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
                return tiledFirst_ + static_cast<int>(index);
            }
        }
        return -1;
    }
    return -1;
}

std::shared_ptr<View> TableView::view(int column, int row) const {
    if (row < tiledFirst_ || row >= tiledEnd_ || column < 0 || column >= static_cast<int>(columns_.size())) return nullptr;
    return cells_[static_cast<std::size_t>(row - tiledFirst_)][static_cast<std::size_t>(column)];
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
