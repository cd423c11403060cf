#pragma once

#include "platform/ui/TableView.hpp"

#include <memory>

namespace corvantis {

// A table's data source and delegate for a controller whose table outlet is itself named
// `tableView`: C++ cannot hold that member beside the delegate's `tableView` overloads in one
// class, so the row builders are overridden here under names of their own.
class TableViewRoles : public platform::ui::TableViewDataSource, public platform::ui::TableViewDelegate {
protected:
    virtual std::shared_ptr<platform::ui::View> viewFor(platform::ui::TableView& table, platform::ui::TableColumn* column,
                                                        int row) = 0;
    virtual double heightOfRow(platform::ui::TableView& table, int row) = 0;

private:
    std::shared_ptr<platform::ui::View> tableView(platform::ui::TableView& table, platform::ui::TableColumn* column,
                                                  int row) final {
        return viewFor(table, column, row);
    }
    double tableView(platform::ui::TableView& table, int row) final { return heightOfRow(table, row); }
};

}  // namespace corvantis
