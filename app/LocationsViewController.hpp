#pragma once

#include "app/City.hpp"
#include "app/TableViewRoles.hpp"
#include "platform/ui/Button.hpp"
#include "platform/ui/Storyboard.hpp"
#include "platform/ui/TableView.hpp"
#include "platform/ui/TextField.hpp"
#include "platform/ui/TextFieldDelegate.hpp"
#include "platform/ui/ViewController.hpp"

#include <memory>
#include <optional>
#include <vector>

namespace corvantis {

// The locations screen's controller, made by the "Main" storyboard as "locationsViewController":
// the city table's data source and delegate and the search field's delegate. It lists the
// cities by tab or by search text, toggles favourites and switches the server. Main queue only.
class LocationsViewController : public platform::ui::ViewController,
                                public TableViewRoles,
                                public platform::ui::TextFieldDelegate {
public:
    using Cities = std::vector<std::shared_ptr<City>>;

    LocationsViewController();

    // Registers the scene "locationsViewController" in `storyboard`: the controller, its view
    // and subviews, outlets connected before `viewDidLoad`, actions wired.
    static void registerScene(platform::ui::Storyboard& storyboard);

    // The city list.
    std::shared_ptr<platform::ui::TableView> tableView;
    // The strip shown while the search bar is closed.
    std::shared_ptr<platform::ui::View> viewControls;
    // The search bar: the search field and the cancel button.
    std::shared_ptr<platform::ui::View> viewSearchBar;
    std::shared_ptr<platform::ui::TextField> searchField;
    std::shared_ptr<platform::ui::Button> btnCancelSearch;
    // Declared only: the list follows the view's `LocationsView::allTabSelected`.
    bool allTabSelected = true;

    void viewDidLoad() override;

    // Makes the controller the table's delegate and reloads the table.
    void assignTableViewDelegate();
    void reloadTableView();
    // The cities shown now, in list order: those whose name holds the search text while the
    // search bar is open (all of them for an empty text), else all or the favourites by tab.
    // None before there is a city list.
    std::optional<Cities> getActiveList() const;

    // The table counts its rows first on every reload: the list is filtered then, once, and
    // the row builders read that list.
    int numberOfRows(platform::ui::TableView& table) override;
    bool selectionShouldChange(platform::ui::TableView& table) override;

    // The star's current image decides: on becomes off, anything else becomes on.
    void btnFavouriteClicked(platform::ui::Object* sender);
    // A row click makes its city the saved server, asking first while connected. Clicks outside
    // the list (below the last row, or past the end of a list rebuilt since) do nothing.
    void mainTableClicked(platform::ui::Object* sender);
    void btnSearchClick(platform::ui::Object* sender);
    void btnCancelClick(platform::ui::Object* sender);
    // Closes the search bar, clears its text and reloads the table; the focus stays put.
    void resetSearchField();
    void searchServers(platform::ui::Object* sender);

    void controlTextDidChange(platform::ui::TextField& field) override;
    void controlTextDidEndEditing(platform::ui::TextField& field) override;

protected:
    std::shared_ptr<platform::ui::View> viewFor(platform::ui::TableView& table, platform::ui::TableColumn* column,
                                                int row) override;
    double heightOfRow(platform::ui::TableView& table, int row) override;

private:
    // The list as the table last counted it.
    Cities rows_;
};

}  // namespace corvantis
