#pragma once

namespace platform::ui {

class TableView;

// Tells a table how many rows it has.
class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;

    virtual int numberOfRows(TableView& tableView) = 0;
};

}  // namespace platform::ui
