#pragma once

#include "platform/ui/Control.hpp"
#include "platform/ui/TableColumn.hpp"
#include "platform/ui/TableViewDataSource.hpp"
#include "platform/ui/TableViewDelegate.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::ui {

// A list of rows in columns, built from a data source and a delegate. `reloadData` lays every
// row out at once, top down (the table counts y downwards), and the table grows to hold them (at
// least as tall as its superview). As in AppKit, only the rows in view have cells: those inside
// the superview's bounds (a scroll view's page), or every row of a table outside any view. Rows
// that scroll into view get theirs before the table is drawn or hit, and rows that leave give
// theirs back. Cell views come from prototypes registered by identifier and are reused.
//
// A click on a row (not on a control inside it) sets `clickedRow` for the length of the
// action, selects the row when the delegate allows it, and sends the table's action; a click
// below the last row has the clicked row -1. In a scroll view, a reload that leaves fewer rows
// keeps the scroll within the shorter document, as AppKit's clip view does.
class TableView : public Control {
public:
    using CellFactory = std::function<std::shared_ptr<View>()>;
    static constexpr double defaultRowHeight = 17;

    using Control::Control;

    bool isFlipped() const override { return true; }

    // Both held weakly.
    std::shared_ptr<TableViewDataSource> dataSource() const { return dataSource_.lock(); }
    void setDataSource(const std::shared_ptr<TableViewDataSource>& source) { dataSource_ = source; }
    std::shared_ptr<TableViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TableViewDelegate>& delegate) { delegate_ = delegate; }

    void addTableColumn(std::shared_ptr<TableColumn> column) { columns_.push_back(std::move(column)); }
    const std::vector<std::shared_ptr<TableColumn>>& tableColumns() const { return columns_; }

    // Makes `identifier` stand for the cell views that `factory` makes.
    void registerCellPrototype(const std::string& identifier, CellFactory factory);
    // A cell view of `identifier`: one set free by the last reload, else a new one; none when
    // the identifier is unknown.
    std::shared_ptr<View> makeView(const std::string& identifier);

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }

    // Rebuilds the rows from the data source and the delegate.
    void reloadData();
    int numberOfRows() const { return static_cast<int>(rowFrames_.size()); }
    // Where `row` lies in the table; the zero rectangle for a row that does not exist.
    Rect rect(int row) const;
    // The row at `point` (table coordinates), or -1.
    int row(Point point) const;
    // The row whose cell holds `view`, or -1.
    int row(const View& view) const;
    // The built cell of `column` (index) and `row`; none when there is none (a row out of view has none).
    std::shared_ptr<View> view(int column, int row) const;

    // Scrolls the enclosing scroll view, if there is one, the least that shows `row` whole.
    void scrollRowToVisible(int row);

    // Makes the cells of the rows now in view and frees those of rows out of view.
    void tile();
    void viewWillDraw() override;
    View* hitTest(Point point) override;

    int clickedRow() const { return clickedRow_; }
    int selectedRow() const { return selectedRow_; }

    // A person clicking the middle of `row`, as if it were scrolled into view; a row past the
    // end clicks below the last row. The press and release go straight to the table.
    void clickRow(int row);

    void mouseDown(const Event& event) override;
    void mouseUp(const Event& event) override;

private:
    std::weak_ptr<TableViewDataSource> dataSource_;
    std::weak_ptr<TableViewDelegate> delegate_;
    std::vector<std::shared_ptr<TableColumn>> columns_;
    std::map<std::string, CellFactory> prototypes_;
    std::map<std::string, std::vector<std::shared_ptr<View>>> reusable_;
    std::vector<Rect> rowFrames_;
    // Gives rows `first` to `end` (excluded) their cells and no other row any.
    void tileRows(int first, int end);

    std::vector<std::vector<std::shared_ptr<View>>> cells_;  // per row in view, per column
    int tiledFirst_ = 0;                                     // the rows that have cells: from this one
    int tiledEnd_ = 0;                                       // up to this one, excluded
    double rowHeight_ = defaultRowHeight;
    int clickedRow_ = -1;
    int pressedRow_ = -1;
    bool pressed_ = false;
    int selectedRow_ = -1;
};

}  // namespace platform::ui
