#include "platform/ui/TableViewDelegate.hpp"

#include "platform/ui/TableView.hpp"

namespace platform::ui {

std::shared_ptr<View> TableViewDelegate::tableView(TableView&, TableColumn*, int) {
    return nullptr;
}

double TableViewDelegate::tableView(TableView& tableView, int) {
    return tableView.rowHeight();
}

bool TableViewDelegate::selectionShouldChange(TableView&) {
    return true;
}

}  // namespace platform::ui
