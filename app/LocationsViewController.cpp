#include "app/LocationsViewController.hpp"

#include "app/AppDelegate.hpp"
#include "app/CitiesCellView.hpp"
#include "app/CitySearch.hpp"
#include "app/FlagImages.hpp"
#include "app/LocationsScene.hpp"
#include "app/MainWindow.hpp"
#include "app/UserSettings.hpp"
#include "platform/foundation/UserDefaults.hpp"
#include "platform/ui/AnimationContext.hpp"
#include "platform/ui/Window.hpp"

#include <algorithm>

namespace corvantis {

namespace ui = platform::ui;

namespace {

constexpr const char* cellIdentifier = "MainCell";
constexpr const char* favouriteActive = "FavouriteActive";
constexpr const char* favouriteInactive = "FavouriteInactive";
constexpr const char* favouriteValue = "true";
constexpr double rowHeight = 40.0;

std::shared_ptr<prq::PRQLogger> logger() {
    const auto delegate = AppDelegate::shared();
    return delegate ? delegate->logger : prq::PRQLogger::defaultLogger();
}

// Stores or removes the favourite flag under the city's domain; a failed write is logged.
void storeFavourite(const City& city, bool favourite) {
    if (!city.domain) return;
    const auto defaults = platform::foundation::UserDefaults::standard();
    const auto written = favourite ? defaults->set(favouriteValue, *city.domain) : defaults->removeObject(*city.domain);
    if (!written) {
        logger()->error([&] { return "The favourite \"" + *city.domain + "\" could not be saved: " + written.error().message; });
    }
}

// The saved server becomes `city`: its host route replaces the old one, then the connect screen
// shows it (and reconnects when a tunnel is up).
void switchServer(const City& city) {
    const auto delegate = AppDelegate::shared();
    delegate->removeSavedServerFromRoute();
    UserSettings::setHostname(city.domain);
    delegate->addSavedServerToRoute([](bool) {});
    MainWindow::shared().switchToView(View::connectView);
}

}  // namespace

LocationsViewController::LocationsViewController() {
    setActionHandler("btnFavouriteClicked:", [this](ui::Object* sender) { btnFavouriteClicked(sender); });
    setActionHandler("mainTableClicked:", [this](ui::Object* sender) { mainTableClicked(sender); });
    setActionHandler("btnSearchClick:", [this](ui::Object* sender) { btnSearchClick(sender); });
    setActionHandler("btnCancelClick:", [this](ui::Object* sender) { btnCancelClick(sender); });
    setActionHandler("searchServers:", [this](ui::Object* sender) { searchServers(sender); });
}

void LocationsViewController::registerScene(ui::Storyboard& storyboard) {
    storyboard.registerScene(
        "locationsViewController", [] { return std::make_shared<LocationsViewController>(); },
        [](ui::ViewController& owner) { return LocationsScene::loadView(static_cast<LocationsViewController&>(owner)); });
}

void LocationsViewController::viewDidLoad() {
    ViewController::viewDidLoad();
    tableView->setDataSource(sharedAs(this));
    viewSearchBar->setAlphaValue(0.0);
}

void LocationsViewController::assignTableViewDelegate() {
    tableView->setDelegate(sharedAs(this));
    reloadTableView();
}

void LocationsViewController::reloadTableView() {
    tableView->reloadData();
}

std::optional<LocationsViewController::Cities> LocationsViewController::getActiveList() const {
    const auto delegate = AppDelegate::shared();
    if (!delegate || !delegate->allCities) return std::nullopt;
    const Cities& all = *delegate->allCities;
    Cities active;
    if (!viewSearchBar->isHidden()) {
        const std::string& text = searchField->stringValue();
        if (text.empty()) return all;
        const CitySearch search(text);
        std::ranges::copy_if(all, std::back_inserter(active),
                             [&](const auto& city) { return search.matches(city->name.value_or("")); });
        return active;
    }
    if (MainWindow::shared().locationsView->allTabSelected) return all;
    std::ranges::copy_if(all, std::back_inserter(active), [](const auto& city) { return city->isFavourite; });
    return active;
}

int LocationsViewController::numberOfRows(ui::TableView&) {
    rows_ = getActiveList().value_or(Cities{});
    return static_cast<int>(rows_.size());
}

std::shared_ptr<ui::View> LocationsViewController::viewFor(ui::TableView& table, ui::TableColumn* column, int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
    if (column == nullptr || column->identifier() != cellIdentifier) return nullptr;
    auto cell = std::dynamic_pointer_cast<CitiesCellView>(table.makeView(cellIdentifier));
    if (!cell) return nullptr;
    const City& city = *rows_[static_cast<std::size_t>(row)];
    cell->imgFlag->setImage(FlagImages::flag(city.countryCode));
    cell->txtName->setStringValue(city.name.value_or(""));
    cell->btnFavourite->setImage(ui::Image::named(city.isFavourite ? favouriteActive : favouriteInactive));
    cell->btnFavourite->setTarget(sharedAs(this));
    cell->btnFavourite->setAction("btnFavouriteClicked:");
    return cell;
}

double LocationsViewController::heightOfRow(ui::TableView&, int) {
    return rowHeight;
}

bool LocationsViewController::selectionShouldChange(ui::TableView&) {
    return false;
}

void LocationsViewController::btnFavouriteClicked(ui::Object* sender) {
    auto* button = dynamic_cast<ui::Button*>(sender);
    if (button == nullptr) return;
    const int row = tableView->row(*button);
    const auto list = getActiveList();
    if (!list || row < 0 || static_cast<std::size_t>(row) >= list->size()) return;
    City& city = *(*list)[static_cast<std::size_t>(row)];
    const bool switchingOff = button->image() != nullptr && button->image() == ui::Image::named(favouriteActive);
    button->setImage(ui::Image::named(switchingOff ? favouriteInactive : favouriteActive));
    city.isFavourite = !switchingOff;
    storeFavourite(city, !switchingOff);
    reloadTableView();
}

void LocationsViewController::mainTableClicked(ui::Object*) {
    const auto list = getActiveList();
    if (tableView->numberOfRows() < 1 || tableView->clickedRow() == -1 || !list) return;
    const int row = tableView->clickedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= list->size()) return;
    const auto city = (*list)[static_cast<std::size_t>(row)];
    if (MainWindow::shared().connectView->connectionState != ConnectionState::connected) {
        switchServer(*city);
        return;
    }
    AppDelegate::shared()->alert("Do you want to connect to this server?", "Your current location will be disconnected",
                                 "Connect", "Cancel", [city](bool connect) {
                                     if (connect) switchServer(*city);
                                 });
}

void LocationsViewController::btnSearchClick(ui::Object*) {
    viewSearchBar->setHidden(false);
    viewControls->setHidden(true);
    if (auto* window = searchField->window()) window->makeFirstResponder(searchField);
    ui::AnimationContext::runAnimationGroup(1.0, [this] { viewSearchBar->animator().setAlphaValue(1.0); });
}

void LocationsViewController::btnCancelClick(ui::Object*) {
    resetSearchField();
}

void LocationsViewController::resetSearchField() {
    viewSearchBar->setHidden(true);
    viewControls->setHidden(false);
    searchField->setStringValue("");
    viewSearchBar->setAlphaValue(0.0);
    btnCancelSearch->setAlphaValue(0.0);
    reloadTableView();
}

void LocationsViewController::searchServers(ui::Object*) {}

void LocationsViewController::controlTextDidChange(ui::TextField&) {
    if (!searchField->stringValue().empty()) {
        ui::AnimationContext::runAnimationGroup(0.5, [this] { btnCancelSearch->animator().setAlphaValue(1.0); });
    } else {
        btnCancelSearch->setAlphaValue(0.0);
    }
    reloadTableView();
    // A new filter starts the list at its top, wherever the last one was scrolled to.
    tableView->scrollRowToVisible(0);
}

void LocationsViewController::controlTextDidEndEditing(ui::TextField&) {}

}  // namespace corvantis
