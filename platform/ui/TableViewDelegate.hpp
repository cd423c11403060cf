#pragma once

#include <memory>

namespace platform::ui {

class TableColumn;
class TableView;
class View;

// Gives a table its cells and row heights and rules on selection.
class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;

    // The view of the cell in `tableColumn` and `row`; none leaves the cell empty.
    virtual std::shared_ptr<View> tableView(TableView& tableView, TableColumn* tableColumn, int row);
    // The height of `row`; the table's row height by default.
    virtual double tableView(TableView& tableView, int heightOfRow);
    // Whether a click may change the selection; yes by default.
    virtual bool selectionShouldChange(TableView& tableView);
};

}  // namespace platform::ui
